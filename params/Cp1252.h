#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Windows-1252 text, the 8-bit form of every data, configuration and calibration file, so that
// files written by earlier installations read back byte for byte.
namespace Cp1252 {
// Characters that Windows-1252 cannot hold become "?".
QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);

// Splits decoded text into lines ending in CR LF, LF or CR; a final line without an end counts,
// an empty tail after the last line end does not.
QStringList splitLines(const QString& text);

// Reads a whole file as Windows-1252 lines; false (and *error set) when the file cannot be read, is
// no ordinary file or is larger than any file of lines the program reads.
constexpr qint64 MaxLinesBytes = qint64(64) * 1024 * 1024;
bool readLines(const QString& fileName, QStringList& lines, QString* error = nullptr);
} // namespace Cp1252
