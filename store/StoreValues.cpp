#include "store/StoreValues.h"

#include "params/Cp1252.h"
#include "results/DataLine.h"
#include "store/ResultIdentity.h"
#include "store/ResultsDatabase.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QUuid>
#include <cmath>

namespace StoreValues {

QString nowUtc() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QString newUuid() {
    // A random (version 4) UUID from the program's seeded generator: the system's would cost a call
    // into the kernel for each of the thousands of entries an import writes.
    quint32 words[4];
    QRandomGenerator::global()->fillRange(words);
    QByteArray bytes(reinterpret_cast<const char*>(words), sizeof words);
    bytes[6] = char((bytes[6] & 0x0F) | 0x40);
    bytes[8] = char((bytes[8] & 0x3F) | 0x80);
    return QUuid::fromRfc4122(bytes).toString(QUuid::WithoutBraces);
}

QVariant text(const QString& value) {
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

QVariant numberOrNull(QStringView text) {
    const std::optional<double> v = DataLine::Number(text);
    if (!v || !std::isfinite(*v))
        return QVariant(QMetaType(QMetaType::Double));
    // SQLite keeps -0 as 0: the chain covers what it reads back.
    return QVariant(*v == 0 ? 0.0 : *v);
}

bool storedNull(const QVariant& value) {
    if (value.isNull())
        return true;
    if (value.typeId() == QMetaType::QString)
        return static_cast<const QString*>(value.constData())->isNull();
    if (value.typeId() == QMetaType::QByteArray)
        return static_cast<const QByteArray*>(value.constData())->isNull();
    return false;
}

void addValue(CanonicalText& text, const QVariant& value) {
    if (storedNull(value)) {
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

QByteArray canonicalOf(const QList<QVariant>& values) {
    CanonicalText text;
    for (const QVariant& v : values)
        addValue(text, v);
    return text.bytes();
}

QString identityOfLine(const QString& line) {
    DataLine::Fields parsed;
    DataLine::ParseDataLine(line, parsed);
    QStringList fields;
    for (int c = 1; c < DataLine::Columns; ++c)
        fields << parsed[size_t(c)];
    return ResultIdentity::of(fields);
}

QString asFileHolds(const QString& text) {
    for (const QChar c : text)
        if (char byte = 0; c.unicode() >= 0x80 && !Cp1252::encodeChar(c.unicode(), byte))
            return Cp1252::decode(Cp1252::encode(text));
    return text;
}

QStringList asFileHolds(const QStringList& fields) {
    QStringList out = fields;
    for (QString& f : out)
        f = asFileHolds(f);
    return out;
}

} // namespace StoreValues
