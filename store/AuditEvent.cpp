#include "store/AuditEvent.h"

#include "store/Sha256.h"

#include <charconv>

CanonicalText& CanonicalText::add(QByteArrayView bytes) {
    char size[24];
    const auto end = std::to_chars(size, size + sizeof size, bytes.size()).ptr;
    m_bytes.append(size, end - size).append(':').append(bytes).append(';');
    return *this;
}

CanonicalText& CanonicalText::add(const QString& text) {
    // Most texts are ASCII: their UTF-8 is their characters.
    char ascii[128];
    if (text.size() <= qsizetype(sizeof ascii)) {
        qsizetype n = 0;
        for (const QChar c : text) {
            if (c.unicode() >= 0x80)
                return add(text.toUtf8());
            ascii[n++] = char(c.unicode());
        }
        return add(QByteArrayView(ascii, n));
    }
    return add(text.toUtf8());
}

CanonicalText& CanonicalText::add(qint64 number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    return add(QByteArrayView(digits, end - digits));
}

CanonicalText& CanonicalText::addNumber(const std::optional<double>& value) {
    if (!value)
        return add(QByteArrayView("-"));
    if (*value == 0)
        return add(QByteArrayView("0")); // -0 as well, as Qt writes it
    // A value half way between two 17-digit texts (its 18th digit a 5) is rounded up by Qt, to even by
    // the standard library: such values take Qt's way, so stores written before verify alike.
    char digits[40];
    const auto wide =
        std::to_chars(digits, digits + sizeof digits, *value, std::chars_format::scientific, 17);
    const qsizetype eighteenth = *value < 0 ? 19 : 18;
    if (wide.ec != std::errc() || (wide.ptr - digits > eighteenth && digits[eighteenth] == '5'))
        return add(QByteArray::number(*value, 'g', 17));
    const auto end =
        std::to_chars(digits, digits + sizeof digits, *value, std::chars_format::general, 17).ptr;
    return add(QByteArrayView(digits, end - digits));
}

QByteArray AuditEvent::canonicalText(const QByteArray& resultText) const {
    CanonicalText text;
    text.add(uuid).add(utc).add(systemUser).add(operatorName).add(kind).add(dataFile).add(qint64(rowNumber));
    text.add(resultUuid).add(before).add(after).add(resultText);
    return text.bytes();
}

QByteArray AuditEvent::chainHash(const QByteArray& previousHash, const QByteArray& canonical) {
    Sha256 hash;
    hash.addData(previousHash);
    hash.addData(canonical);
    return hash.resultHex();
}

QString AuditEvent::describe() const {
    QString what = utc + QStringLiteral(" \"") + kind + QLatin1Char('"');
    if (!dataFile.isEmpty())
        what += QStringLiteral(" of ") + dataFile;
    if (rowNumber > 0)
        what += QStringLiteral(" row ") + QString::number(rowNumber);
    return what + QStringLiteral(" (entry ") + QString::number(seq) + QLatin1Char(')');
}
