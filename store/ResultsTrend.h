#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The trend of a fiber's strength: per sample, nominal rate and test day, the median break stress
// and the Weibull m of the statistics window, computed by the same code from the same rows. Static
// holds and their run-outs are no strengths and never enter a point.
struct TrendPoint {
    QDate day;
    double median = 0; // MPa
    std::optional<double> weibullM;
    int count = 0;
};

struct SampleTrend {
    QString sample;
    QString rate;             // the nominal rate text, as the statistics group it
    QList<TrendPoint> points; // by day
    // "600 MPa/s · B7 preform 12"
    QString name() const;
    int results() const;
};

class ResultsTrend {
public:
    // One result: its sample, when it was tested ("yyyy-MM-ddThh:mm:ss") and its 17 fields as the
    // data file holds them now (the comment decides "ignore").
    void add(const QString& sample, const QString& testedAt, const QStringList& fields);
    // The series with the most results first, at most maxSeries of them.
    QList<SampleTrend> trends(int maxSeries) const;
    // Rows of static holds (breaks and run-outs alike) that the trend leaves out.
    int staticRows() const { return m_staticRows; }

private:
    // Per sample and day, the rows in the order they came.
    QHash<QString, QHash<QDate, QList<QStringList>>> m_rows;
    int m_staticRows = 0;
};
