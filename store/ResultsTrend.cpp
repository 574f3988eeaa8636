#include "store/ResultsTrend.h"

#include "results/BatchStatistics.h"
#include "results/StaticStatistics.h"

#include <algorithm>

QString SampleTrend::name() const {
    // The rate first: a legend short of room cuts the end of a long sample name, not the rate.
    return rate.isEmpty() ? sample : rate + QStringLiteral(" \u00b7 ") + sample;
}

int SampleTrend::results() const {
    int n = 0;
    for (const TrendPoint& p : points)
        n += p.count;
    return n;
}

void ResultsTrend::add(const QString& sample, const QString& testedAt, const QStringList& fields) {
    const QDate day = QDate::fromString(testedAt.left(10), Qt::ISODate);
    if (!day.isValid())
        return;
    if (StaticStatistics::IsStaticLevel(fields.value(BatchStatistics::RateField).trimmed())) {
        ++m_staticRows;
        return;
    }
    m_rows[sample.isEmpty() ? QStringLiteral("(no sample)") : sample][day].append(fields);
}

QList<SampleTrend> ResultsTrend::trends(int maxSeries) const {
    // Keyed by sample and rate; the points of a series come day by day.
    QHash<QString, qsizetype> index;
    QList<SampleTrend> out;
    for (auto s = m_rows.cbegin(); s != m_rows.cend(); ++s) {
        QList<QDate> days = s->keys();
        std::sort(days.begin(), days.end());
        for (const QDate& day : days) {
            // The statistics window's own figures for the rows of that sample and day.
            const BatchStatistics stats(s->value(day));
            for (const GroupStatistics& g : stats.groups()) {
                if (!g.median)
                    continue;
                const QString key = s.key() + QChar(0x1f) + g.rate;
                qsizetype i = index.value(key, -1);
                if (i < 0) {
                    i = out.size();
                    index.insert(key, i);
                    out.append({s.key(), g.rate, {}});
                }
                TrendPoint p;
                p.day = day;
                p.median = *g.median;
                p.count = g.specimens();
                if (g.maximumLikelihood && std::isfinite(g.maximumLikelihood->estimate.m))
                    p.weibullM = g.maximumLikelihood->estimate.m;
                out[i].points.append(p);
            }
        }
    }
    std::sort(out.begin(), out.end(), [](const SampleTrend& a, const SampleTrend& b) {
        const int na = a.results(), nb = b.results();
        if (na != nb)
            return na > nb;
        return a.sample != b.sample ? a.sample < b.sample : a.rate < b.rate;
    });
    if (out.size() > maxSeries)
        out.resize(maxSeries);
    return out;
}
