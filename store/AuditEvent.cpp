#include "store/AuditEvent.h"

#include "store/Sha256.h"

#include <charconv>
#include <cmath>
#include <cstring>

CanonicalText& CanonicalText::add(QByteArrayView bytes) {
    char size[24];
    const auto end = std::to_chars(size, size + sizeof size, bytes.size()).ptr;
    const qsizetype sizeLength = end - size;
    const qsizetype at = m_bytes.size();
    m_bytes.resize(at + sizeLength + bytes.size() + 2);
    char* to = m_bytes.data() + at;
    std::memcpy(to, size, size_t(sizeLength));
    to += sizeLength;
    *to++ = ':';
    if (!bytes.isEmpty())
        std::memcpy(to, bytes.data(), size_t(bytes.size()));
    to[bytes.size()] = ';';
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

namespace {
// value as "%.17g" writes it (and Qt's 'g' with 17 digits), from its first 18 significant digits and
// its exponent; false for a value half way between two 17-digit texts, which the caller leaves to Qt.
bool seventeenDigits(double value, char* out, qsizetype& length) {
    char wide[40];
    const auto done = std::to_chars(wide, wide + sizeof wide, value, std::chars_format::scientific, 17);
    if (done.ec != std::errc())
        return false;
    const char* p = wide;
    char* to = out;
    if (*p == '-')
        *to++ = *p++;
    // p: d.ddddddddddddddddde±XX
    if (done.ptr - p < 22 || p[1] != '.' || p[19] != 'e')
        return false;
    // The standard library rounds a tie to even, Qt rounds it up: an 18th digit of 5 may be a tie.
    if (p[18] == '5')
        return false;
    char digits[17];
    digits[0] = p[0];
    std::memcpy(digits + 1, p + 2, 16);
    int exponent = 0;
    std::from_chars(p[20] == '+' ? p + 21 : p + 20, done.ptr, exponent);
    if (p[18] > '5') {
        int i = 16;
        while (i >= 0 && digits[i] == '9')
            digits[i--] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            digits[0] = '1';
            ++exponent;
        }
    }
    int last = 16; // the last digit kept: trailing zeros go
    while (last > 0 && digits[last] == '0')
        --last;
    if (exponent < -4 || exponent >= 17) {
        *to++ = digits[0];
        if (last > 0) {
            *to++ = '.';
            std::memcpy(to, digits + 1, size_t(last));
            to += last;
        }
        *to++ = 'e';
        *to++ = exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10)
            *to++ = '0';
        to = std::to_chars(to, to + 4, magnitude).ptr;
    } else if (exponent >= 0) {
        std::memcpy(to, digits, size_t(exponent + 1));
        to += exponent + 1;
        if (last > exponent) {
            *to++ = '.';
            std::memcpy(to, digits + exponent + 1, size_t(last - exponent));
            to += last - exponent;
        }
    } else {
        *to++ = '0';
        *to++ = '.';
        for (int i = 0; i < -exponent - 1; ++i)
            *to++ = '0';
        std::memcpy(to, digits, size_t(last + 1));
        to += last + 1;
    }
    length = to - out;
    return true;
}
} // namespace

CanonicalText& CanonicalText::addNumber(const std::optional<double>& value) {
    if (!value)
        return add(QByteArrayView("-"));
    if (*value == 0)
        return add(QByteArrayView("0")); // -0 as well, as Qt writes it
    char text[40];
    qsizetype length = 0;
    if (!std::isfinite(*value) || !seventeenDigits(*value, text, length))
        return add(QByteArray::number(*value, 'g', 17));
    return add(QByteArrayView(text, length));
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
