#include "results/RowTitle.h"

#include "results/BatchReport.h"
#include "results/BatchStatistics.h"
#include "results/StaticStatistics.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {
// The characters a conditions item cannot hold as they are, with their escapes.
constexpr std::pair<char16_t, const char*> NoteEscapes[] = {
    {u'%', "%25"}, {u',', "%2C"}, {u'"', "%22"}, {u'_', "%5F"}};
} // namespace

QString RowTitle::NoteItem(const QString& value) {
    QString item;
    item.reserve(value.size());
    for (const QChar c : value) {
        if (c.isSpace()) {
            item += QLatin1Char('_');
            continue;
        }
        const auto* e = std::find_if(std::begin(NoteEscapes), std::end(NoteEscapes),
                                     [c](const auto& pair) { return c.unicode() == pair.first; });
        if (e != std::end(NoteEscapes))
            item += QLatin1String(e->second);
        else
            item += c;
    }
    return item;
}

bool RowTitle::NoteEscaped(const QString& value) {
    return value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"'));
}

QString RowTitle::Note(const QString& conditions, const QString& note) {
    for (const QString& item : conditions.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (item.startsWith(note) && item.size() > note.size()) {
            const QString raw = item.mid(note.size());
            QString value;
            value.reserve(raw.size());
            for (qsizetype i = 0; i < raw.size(); ++i) {
                if (raw[i] == QLatin1Char('_')) {
                    value += QLatin1Char(' ');
                    continue;
                }
                if (raw[i] == QLatin1Char('%')) {
                    const QStringView code = QStringView(raw).mid(i, 3);
                    const auto* e = std::find_if(
                        std::begin(NoteEscapes), std::end(NoteEscapes), [code](const auto& pair) {
                            return code.compare(QLatin1String(pair.second), Qt::CaseInsensitive) == 0;
                        });
                    if (e != std::end(NoteEscapes)) {
                        value += QChar(e->first);
                        i += 2;
                        continue;
                    }
                }
                value += raw[i];
            }
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
