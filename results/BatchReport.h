#pragma once

#include "results/BatchStatistics.h"
#include "results/DataRow.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QPageSize>
#include <QString>
#include <QStringList>
#include <vector>

// The batch report as a PDF: the data file's name, the date, the test parameters of the rows, the
// statistics per group, the datasheet table (40 rows a page) and the Weibull and fatigue plots.
// The statistics take every row; the table shows at most MaxTableRows of them and says how many it
// left out, and the plots are thinned to what a page can show.
class BatchReport {
public:
    static constexpr int RowsPerPage = 40;
    static constexpr int ChartsPerPage = 4;
    static constexpr int MaxTableRows = 1000; // 25 pages

    BatchReport(const QString& dataFileName, const QList<QStringList>& rows);
    // From the compact rows of a data file, without a copy of every field of every row.
    BatchReport(const QString& dataFileName, const std::vector<DataRow>& rows);

    void setDate(const QDateTime& date) { m_date = date; }
    // The load-cell calibration the program has in use ("serial SIM-2041, slope …"); a report made
    // from the data file alone says it does not know.
    void setCalibration(const QString& calibration) { m_calibration = calibration; }
    // The distinct operators and samples the rows name in their conditions text, comma separated;
    // "not given" when none does.
    QString Operators() const;
    QString Samples() const;
    void setPageSize(const QPageSize& size) { m_pageSize = size; }
    const BatchStatistics& statistics() const { return m_stats; }

    // A4, or Letter where the locale's paper is Letter.
    static QPageSize PageSizeFor(const QLocale& locale);

    int PageCount() const;
    // False with *error set when the file cannot be written.
    bool Write(const QString& pdfPath, QString* error) const;

    // The distinct test parameters of the rows (the first six items of the parameter column, without
    // the run's own start time and travel), each with the number of rows that carry them.
    QList<QPair<QString, int>> TestParameters() const { return m_parameters; }
    qsizetype RowCount() const { return m_rowCount; }
    // Rows the table leaves out (those after the first MaxTableRows).
    qsizetype RowsLeftOut() const { return m_rowCount - m_rows.size(); }
    // The line that says so, empty when the table holds every row.
    QString LeftOutText() const;

private:
    int chartCount() const;
    void addParameters(QStringView parameters);

    QString m_dataFileName;
    QList<QStringList> m_rows; // the rows of the table
    qsizetype m_rowCount = 0;
    QList<QPair<QString, int>> m_parameters;
    QHash<QString, qsizetype> m_parameterIndex;
    BatchStatistics m_stats;
    QDateTime m_date;
    QPageSize m_pageSize;
    QString m_calibration;
};
