#include "results/SampleStatistics.h"

#include "results/RowTitle.h"

const QString SampleStatistics::NoSample = QStringLiteral("no sample");

QString SampleGroup::title() const {
    return sample + QStringLiteral(" \u00b7 ") + group.rate;
}

QString SampleStatistics::SampleOf(const QStringList& fields) {
    return RowTitle::Note(fields.value(BatchStatistics::ParametersField), QStringLiteral("sample:"))
        .trimmed();
}

SampleStatistics::SampleStatistics(const QList<QStringList>& rows) {
    QStringList order;
    QHash<QString, QList<int>> rowsOf;
    for (int r = 0; r < rows.size(); ++r) {
        QString sample = SampleOf(rows[r]);
        if (sample.isEmpty())
            sample = NoSample;
        if (!rowsOf.contains(sample))
            order.append(sample);
        rowsOf[sample].append(r);
    }
    m_samples = int(order.size());
    for (const QString& sample : order) {
        const QList<int>& indices = rowsOf[sample];
        QList<QStringList> subset;
        subset.reserve(indices.size());
        for (int r : indices)
            subset.append(rows[r]);
        const BatchStatistics stats(subset);
        for (GroupStatistics g : stats.groups()) {
            // Row indices name the batch's rows, not the sample's.
            for (int& r : g.rows)
                r = indices[r];
            m_groups.append({sample, g});
        }
    }
}

QString SampleStatistics::KeyValueText() const {
    QString text;
    for (const SampleGroup& s : m_groups) {
        const QString prefix = QStringLiteral("sample:") + BatchStatistics::GroupKey(s.sample) +
                               QLatin1Char(':') + BatchStatistics::GroupKey(s.group.rate) + QLatin1Char(':');
        for (const StatisticFigure& f : BatchStatistics::Figures(s.group))
            if (f.listed && f.value)
                text +=
                    prefix + f.key + QLatin1Char('\t') +
                    (f.count ? QString::number(qRound64(*f.value)) : BatchStatistics::ShortNumber(*f.value)) +
                    QLatin1Char('\n');
    }
    return text;
}
