#include "store/ResultsTrend.h"

#include "results/BatchStatistics.h"
#include "results/WeibullEstimate.h"

#include <QHash>
#include <QMap>
#include <algorithm>
#include <cmath>

void ResultsTrend::add(const QString& sample, const QString& testedAt, std::optional<double> stress,
                       const QString& comment) {
    // The statistics' rules: a stress must be a positive number, an "ignore" comment leaves it out.
    if (!stress || !std::isfinite(*stress) || *stress <= 0 || BatchStatistics::IsIgnored(comment))
        return;
    const QDate day = QDate::fromString(testedAt.left(10), Qt::ISODate);
    if (!day.isValid())
        return;
    m_entries.append({sample.isEmpty() ? QStringLiteral("(no sample)") : sample, day, *stress});
}

QList<SampleTrend> ResultsTrend::trends(int maxSamples) const {
    QHash<QString, QMap<QDate, QList<double>>> bySample;
    for (const Entry& e : m_entries)
        bySample[e.sample][e.day].append(e.stress);
    QList<SampleTrend> out;
    for (auto s = bySample.cbegin(); s != bySample.cend(); ++s) {
        SampleTrend trend;
        trend.sample = s.key();
        for (auto d = s->cbegin(); d != s->cend(); ++d) {
            QList<double> values = d.value();
            std::sort(values.begin(), values.end());
            const qsizetype n = values.size();
            TrendPoint p;
            p.day = d.key();
            p.count = int(n);
            p.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
            if (Weibull::Estimable(values))
                if (const auto ml = Weibull::MaximumLikelihoodEstimate([&values] {
                        QList<double> logs;
                        for (double v : values)
                            logs.append(std::log(v));
                        return logs;
                    }()))
                    p.weibullM = ml->m;
            trend.points.append(p);
        }
        out.append(trend);
    }
    auto size = [](const SampleTrend& t) {
        int n = 0;
        for (const TrendPoint& p : t.points)
            n += p.count;
        return n;
    };
    std::sort(out.begin(), out.end(), [&](const SampleTrend& a, const SampleTrend& b) {
        return size(a) != size(b) ? size(a) > size(b) : a.sample < b.sample;
    });
    if (out.size() > maxSamples)
        out.resize(maxSamples);
    return out;
}
