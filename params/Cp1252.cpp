#include "params/Cp1252.h"

#include "params/RegularFile.h"

#include <QFile>
#include <array>

QByteArray Cp1252::encode(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // A character outside the basic plane is one "?", not two.
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        char byte = '?';
        if (!c.isSurrogate() && !encodeChar(c.unicode(), byte))
            byte = '?';
        bytes.append(byte);
    }
    return bytes;
}

QString Cp1252::decode(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (const char b : bytes)
        *out++ = decodeByte(static_cast<unsigned char>(b));
    return text;
}

QStringList Cp1252::splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

bool Cp1252::readLines(const QString& fileName, QStringList& lines, QString* error) {
    const std::optional<QByteArray> bytes = RegularFile::ReadAll(fileName, MaxLinesBytes, error);
    if (!bytes)
        return false;
    lines = splitLines(decode(*bytes));
    return true;
}
