#include "store/StoreValues.h"

#include "results/DataLine.h"
#include "store/ResultsDatabase.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QUuid>
#include <cmath>

namespace StoreValues {

QString nowUtc() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QString newUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QVariant text(const QString& value) {
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

QVariant numberOrNull(QStringView text) {
    const std::optional<double> v = DataLine::Number(text);
    return v && std::isfinite(*v) ? QVariant(*v) : QVariant(QMetaType(QMetaType::Double));
}

void addValue(CanonicalText& text, const QVariant& value) {
    if (value.isNull()) {
        text.add(QByteArray("-"));
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Double:
        text.addNumber(value.toDouble());
        break;
    case QMetaType::LongLong:
    case QMetaType::Int:
        text.add(value.toLongLong());
        break;
    case QMetaType::QByteArray:
        text.add(value.toByteArray());
        break;
    default:
        text.add(value.toString());
        break;
    }
}

std::pair<QVariant, QString> splitRate(const QString& rate) {
    const qsizetype space = rate.trimmed().indexOf(QLatin1Char(' '));
    if (space < 0)
        return {numberOrNull(rate), QString()};
    const QString trimmed = rate.trimmed();
    return {numberOrNull(QStringView(trimmed).left(space)), trimmed.mid(space + 1)};
}

const QString EventColumns = QStringLiteral(
    "seq, uuid, utc, system_user, operator, kind, data_file, row_number, result_uuid, before, after, hash");

AuditEvent eventFrom(const QSqlQuery& q, int first) {
    AuditEvent e;
    e.seq = q.value(first).toLongLong();
    e.uuid = q.value(first + 1).toString();
    e.utc = q.value(first + 2).toString();
    e.systemUser = q.value(first + 3).toString();
    e.operatorName = q.value(first + 4).toString();
    e.kind = q.value(first + 5).toString();
    e.dataFile = q.value(first + 6).toString();
    e.rowNumber = q.value(first + 7).toInt();
    e.resultUuid = q.value(first + 8).toString();
    e.before = q.value(first + 9).toString();
    e.after = q.value(first + 10).toString();
    e.hash = q.value(first + 11).toByteArray();
    return e;
}

QByteArray canonicalOf(const QSqlQuery& q, int first) {
    CanonicalText text;
    for (int i = 0; i < ResultsDatabase::ResultColumns().size(); ++i)
        addValue(text, q.value(first + i));
    return text.bytes();
}

} // namespace StoreValues
