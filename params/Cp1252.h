#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <array>

// Windows-1252 text, the 8-bit form of every data, configuration and calibration file, so that
// files written by earlier installations read back byte for byte.
namespace Cp1252 {
// 0x80-0x9F; the five bytes Windows leaves undefined map to the C1 controls of the same number,
// so that any byte survives a decode/encode round trip.
inline constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The character a byte stands for.
inline char16_t decodeByte(unsigned char b) {
    return b >= 0x80 && b < 0xA0 ? HighControls[b - 0x80] : char16_t(b);
}
// The byte of a character; false when Windows-1252 has none for it.
inline bool encodeChar(char16_t c, char& byte) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        byte = char(c);
        return true;
    }
    for (std::size_t i = 0; i < HighControls.size(); ++i)
        if (HighControls[i] == c) {
            byte = char(0x80 + i);
            return true;
        }
    return false;
}

// Characters that Windows-1252 cannot hold become "?".
QByteArray encode(const QString& text);
QString decode(QByteArrayView bytes);

// Splits decoded text into lines ending in CR LF, LF or CR; a final line without an end counts,
// an empty tail after the last line end does not.
QStringList splitLines(const QString& text);

// Reads a whole file as Windows-1252 lines; false (and *error set) when the file cannot be read, is
// no ordinary file or is larger than any file of lines the program reads.
constexpr qint64 MaxLinesBytes = qint64(64) * 1024 * 1024;
bool readLines(const QString& fileName, QStringList& lines, QString* error = nullptr);
} // namespace Cp1252
