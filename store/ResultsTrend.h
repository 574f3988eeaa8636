#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

// The trend of a fiber's strength: per sample and test day, the median break stress and the Weibull
// modulus m of the results not marked "ignore".
struct TrendPoint {
    QDate day;
    double median = 0; // MPa
    std::optional<double> weibullM;
    int count = 0;
};

struct SampleTrend {
    QString sample;
    QList<TrendPoint> points; // by day
};

class ResultsTrend {
public:
    // One result: its sample, when it was tested ("yyyy-MM-ddThh:mm:ss"), its stress and comment.
    void add(const QString& sample, const QString& testedAt, std::optional<double> stress,
             const QString& comment);
    // Samples with the most results first, at most maxSamples of them.
    QList<SampleTrend> trends(int maxSamples) const;

private:
    struct Entry {
        QString sample;
        QDate day;
        double stress;
    };
    QList<Entry> m_entries;
};
