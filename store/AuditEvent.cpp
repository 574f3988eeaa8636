#include "store/AuditEvent.h"

#include <QCryptographicHash>

CanonicalText& CanonicalText::add(const QByteArray& bytes) {
    m_bytes += QByteArray::number(bytes.size());
    m_bytes += ':';
    m_bytes += bytes;
    m_bytes += ';';
    return *this;
}

CanonicalText& CanonicalText::add(const QString& text) {
    return add(text.toUtf8());
}

CanonicalText& CanonicalText::add(qint64 number) {
    return add(QByteArray::number(number));
}

CanonicalText& CanonicalText::addNumber(const std::optional<double>& value) {
    return add(value ? QByteArray::number(*value, 'g', 17) : QByteArray("-"));
}

QByteArray AuditEvent::canonicalText(const QByteArray& resultText) const {
    CanonicalText text;
    text.add(uuid).add(utc).add(systemUser).add(operatorName).add(kind).add(dataFile).add(qint64(rowNumber));
    text.add(resultUuid).add(before).add(after).add(resultText);
    return text.bytes();
}

QByteArray AuditEvent::chainHash(const QByteArray& previousHash, const QByteArray& canonical) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(previousHash);
    hash.addData(canonical);
    return hash.result().toHex();
}

QString AuditEvent::describe() const {
    QString what = utc + QStringLiteral(" \"") + kind + QLatin1Char('"');
    if (!dataFile.isEmpty())
        what += QStringLiteral(" of ") + dataFile;
    if (rowNumber > 0)
        what += QStringLiteral(" row ") + QString::number(rowNumber);
    return what + QStringLiteral(" (entry ") + QString::number(seq) + QLatin1Char(')');
}
