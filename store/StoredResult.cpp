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

QString StoredResult::TestedAt(const QStringList& fields) {
    if (fields.size() < 15)
        return {};
    QDate date = QDate::fromString(fields[13].trimmed(), QStringLiteral("yy/MM/dd"));
    const QTime time = QTime::fromString(fields[14].trimmed(), QStringLiteral("hh:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return {};
    // Two-digit years are this century's.
    if (date.year() < 2000)
        date = date.addYears(100);
    return date.toString(Qt::ISODate) + QLatin1Char('T') + time.toString(Qt::ISODate);
}
