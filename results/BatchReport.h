#pragma once

#include "results/BatchCurves.h"
#include "results/BatchStatistics.h"
#include "results/ChartData.h"
#include "results/DataRow.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QIODevice;

// The batch report as a PDF: the data file's name, the date, the test parameters of the rows, the
// statistics per group, the datasheet table (40 rows a page) and the Weibull and fatigue plots.
// The statistics take every row; the table shows at most MaxTableRows of them and says how many it
// left out, and the plots are thinned to what a page can show.
class BatchReport {
public:
    static constexpr int RowsPerPage = 40;
    static constexpr int ChartsPerPage = 4;
    static constexpr int MaxTableRows = 1000; // 25 pages
    // Fewer breaks than this draw no Weibull plot.
    static constexpr int MinWeibullPoints = 2;
    static constexpr int SignatureHeight = 90; // page pixels kept for the signatures at the end
    // Up to this many groups get a panel each for their curves against strain.
    static constexpr int MaxStrainPanels = 4;

    BatchReport(const QString& dataFileName, const QList<QStringList>& rows);
    // From the compact rows of a data file, without a copy of every field of every row.
    BatchReport(const QString& dataFileName, const std::vector<DataRow>& rows);

    void setDate(const QDateTime& date) { m_date = date; }
    // The load-cell calibration the program has in use ("serial SIM-2041, slope …"); a report made
    // from the data file alone says it does not know.
    void setCalibration(const QString& calibration) { m_calibration = calibration; }
    // The electronic signatures of the batch, one line each, drawn under the pen signatures.
    void setSignatures(const QStringList& lines) { m_signatures = lines; }
    // The distinct operators and samples the rows name in their conditions text, comma separated;
    // "not given" when none does.
    QString Operators() const;
    QString Samples() const;
    void setPageSize(const QPageSize& size) { m_pageSize = size; }
    // A page drawn by another part of the program, after the charts (the page's rectangle in pixels,
    // the footer line kept free).
    using PagePainter = std::function<void(QPainter& painter, const QRectF& page)>;
    void addPage(const PagePainter& page) { m_extraPages.append(page); }
    // A chart drawn as the report draws its own, with its caption above it.
    static void DrawChart(QPainter& painter, const ChartData& data, const QString& caption,
                          const QRectF& box);
    // The rows' load/time curves for the overlay page; without them the report has none.
    void setCurves(const BatchCurves& curves) { m_curves = curves; }

    // "diameter 125 µm, gauge length 500 mm, …" from the first six items of a conditions text; the
    // items as they are when they do not read as that.
    static QString SetupText(const QString& items);
    // A data file's "yy/MM/dd" as "yyyy-MM-dd"; anything else unchanged.
    static QString IsoDate(const QString& date);
    // A table row as the report prints it: the dates in ISO form.
    static QStringList TableRow(const QStringList& fields);
    // The lines of the left-out list: "specimen 3 (60 MPa/s): marked "ignore": slipped".
    const QStringList& LeftOutLines() const { return m_leftOutLines; }
    static constexpr int LeftOutPerPage = 40;
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
    // Draws the report onto the device; why it could not, empty when it could.
    QString draw(QIODevice& device) const;
    int chartCount() const;
    int leftOutPages() const;
    bool overlayPage() const { return !m_curves.isEmpty(); }
    bool signaturePage() const;
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
    QStringList m_signatures;
    QStringList m_leftOutLines;
    void listLeftOut(const std::function<QString(int row, int field)>& field);
    BatchCurves m_curves;
    QList<PagePainter> m_extraPages;
};
