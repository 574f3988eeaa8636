#include "store/StoredResult.h"

#include "results/DataLine.h"
#include "results/RowTitle.h"

#include <QDate>
#include <QTime>

QString StoredResult::line() const {
    return DataLine::FileLine(fields);
}

QString StoredResult::ConditionsItem(const QString& conditions, const QString& name) {
    // As typed: the item's blanks and escapes read back.
    return RowTitle::Note(conditions, name + QLatin1Char(':'));
}

namespace {
// Two digits at text[at]; -1 when they are not.
int twoDigits(QStringView text, qsizetype at) {
    const QChar a = text[at];
    const QChar b = text[at + 1];
    if (a < QLatin1Char('0') || a > QLatin1Char('9') || b < QLatin1Char('0') || b > QLatin1Char('9'))
        return -1;
    return (a.unicode() - '0') * 10 + (b.unicode() - '0');
}

// "nn?nn?nn" as its three numbers, the separators as given; false for anything else.
bool threePairs(QStringView text, QChar separator, int out[3]) {
    if (text.size() != 8 || text[2] != separator || text[5] != separator)
        return false;
    for (int i = 0; i < 3; ++i)
        if ((out[i] = twoDigits(text, i * 3)) < 0)
            return false;
    return true;
}
} // namespace

QString StoredResult::TestedAt(const QStringList& fields) {
    if (fields.size() < 15)
        return {};
    // The form the program writes, read without the general date parser (an import reads thousands).
    int d[3];
    int t[3];
    if (threePairs(fields[13], QLatin1Char('/'), d) && threePairs(fields[14], QLatin1Char(':'), t)) {
        if (QDate::isValid(2000 + d[0], d[1], d[2]) && QTime::isValid(t[0], t[1], t[2])) {
            // "20yy-MM-ddThh:mm:ss", as the ISO form of the date and the time gives it.
            char16_t text[19] = {u'2', u'0', 0, 0,    u'-', 0, 0,    u'-', 0, 0,
                                 u'T', 0,    0, u':', 0,    0, u':', 0,    0};
            const int parts[6] = {d[0], d[1], d[2], t[0], t[1], t[2]};
            const int at[6] = {2, 5, 8, 11, 14, 17};
            for (int i = 0; i < 6; ++i) {
                text[at[i]] = char16_t(u'0' + parts[i] / 10);
                text[at[i] + 1] = char16_t(u'0' + parts[i] % 10);
            }
            return QString(reinterpret_cast<const QChar*>(text), 19);
        }
    }
    QDate date = QDate::fromString(fields[13].trimmed(), QStringLiteral("yy/MM/dd"));
    const QTime time = QTime::fromString(fields[14].trimmed(), QStringLiteral("hh:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return {};
    // Two-digit years are this century's.
    if (date.year() < 2000)
        date = date.addYears(100);
    return date.toString(Qt::ISODate) + QLatin1Char('T') + time.toString(Qt::ISODate);
}
