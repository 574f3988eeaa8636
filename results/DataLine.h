#pragma once

#include "results/DataRow.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <optional>

// The data file's line format: the column titles and header line, splitting a line into its 17
// fields, quoting a field for writing, and the number and date tests of the datasheet.
namespace DataLine {
constexpr int Columns = 18; // 0 (row number) to 17; DatasheetColumns
constexpr int CommentsColumn = 16;
constexpr int ParameterColumn = 17;
constexpr int DateColumn = 14;
constexpr int TimeColumn = 15;
constexpr int LastNumericColumn = 13; // columns 0 to 13 sort by value
constexpr int MaxBadItems = 100;      // reading stops beyond this
constexpr int CorruptedThreshold = 15;
constexpr int HeaderMismatchLimit = 6;

// Entries 1 to 17 carry the fields of a line; entry 0 is never filled.
using Fields = std::array<QString, Columns>;

// Titles of columns 0 to 17 (column 0 has none).
const std::array<QString, Columns>& Titles();
// What each column holds, for the titles' tool tips (entry 0: the row numbers).
const std::array<QString, Columns>& TitleTips();
// "N,Lt (N),...,df GL EA Eo Ea Preload start"
QString HeaderLine();

// Splits a line into entries 1 to 17 and returns the number of suspicious items: fewer than 17
// fields (a comma at the end of the line is followed by an empty field), text left over after 17, and each of
// entries 1 to 5 that is neither empty, a number nor a date.
int ParseDataLine(QStringView line, Fields& fields);
// The same, straight into a row of the datasheet; *extraFields tells whether the line held more
// than 17 fields.
int ParseDataLine(QStringView line, DataRow& row, bool* extraFields = nullptr);
// The same for a line as the file holds it, in Windows-1252 bytes.
int ParseDataLine(QByteArrayView line, DataRow& row, bool* extraFields = nullptr);

// Doubles double quotes; encloses a field holding a comma or a double quote in double quotes, and
// the first field of a line when it would read back as the start of a comment line.
QString QuoteField(const QString& field, bool first = false);
// A row's fields quoted and joined by commas: one line of the data file (without its line end).
QString FileLine(const QStringList& fields);
QString FileLine(const DataRow& row);
// That line as the file holds it, in Windows-1252 bytes (without its line end).
QByteArray FileBytes(const DataRow& row);

// A line as reading sees it: stripped of spaces at both ends (tabs stay); blank and ";" lines are skipped.
QStringView StripLine(QStringView line);
QByteArrayView StripLine(QByteArrayView line);
bool IsSkipped(QStringView stripped);
bool IsSkipped(QByteArrayView stripped);

// Whether a text survives a round trip through the file: Windows-1252 characters on one line, no NUL.
bool FileCanHold(QStringView text);

std::optional<double> Number(QStringView text);
// Field 1 to 17 of a row, read as Number does.
std::optional<double> Number(const DataRow& row, int column);
bool IsNumber(QStringView text);
bool IsDate(QStringView text);

// Count of header fields that differ from the titles, the speed column and column 17 left out.
int HeaderMismatches(const Fields& header);

// The .BAK beside a data file: run1.dat -> run1.BAK; a name without an extension gets ".BAK" added.
QString BackupName(const QString& dataFile);
} // namespace DataLine
