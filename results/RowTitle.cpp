#include "results/RowTitle.h"

#include "results/BatchReport.h"
#include "results/BatchStatistics.h"
#include "results/StaticStatistics.h"

QString RowTitle::Note(const QString& conditions, const QString& note) {
    for (const QString& item : conditions.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (item.startsWith(note) && item.size() > note.size()) {
            QString value = item.mid(note.size());
            value.replace(QLatin1Char('_'), QLatin1Char(' '));
            return value;
        }
    return {};
}

QString RowTitle::Text(const QStringList& fields) {
    const QString specimen = fields.value(0).trimmed();
    if (specimen.isEmpty())
        return {};
    const QString conditions = fields.value(BatchStatistics::ParametersField);
    const QString rate = fields.value(BatchStatistics::RateField).trimmed();
    QStringList parts{QStringLiteral("Specimen ") + specimen};
    if (const QString sample = Note(conditions, QStringLiteral("sample:")); !sample.isEmpty())
        parts << QStringLiteral("sample ") + sample;
    if (const QString name = Note(conditions, QStringLiteral("operator:")); !name.isEmpty())
        parts << QStringLiteral("operator ") + name;
    if (!rate.isEmpty())
        parts << rate;
    const QString stress = fields.value(BatchStatistics::StressField).trimmed();
    const QString time = fields.value(StaticStatistics::TimeField).trimmed();
    if (StaticStatistics::IsStaticLevel(rate)) {
        if (!time.isEmpty())
            parts << (StaticStatistics::IsRunout(fields.value(BatchStatistics::CommentField))
                          ? QStringLiteral("run-out after %1 s")
                          : QStringLiteral("time to failure %1 s"))
                         .arg(time);
    } else if (!stress.isEmpty()) {
        parts << QStringLiteral("break stress %1 MPa").arg(stress);
    }
    const QString date = BatchReport::IsoDate(fields.value(13).trimmed());
    const QString clock = fields.value(14).trimmed();
    if (!date.isEmpty())
        parts << (clock.isEmpty() ? date : date + QLatin1Char(' ') + clock);
    return parts.join(QStringLiteral(" \u00b7 "));
}
