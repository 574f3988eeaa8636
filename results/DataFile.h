#pragma once

#include "results/DataLine.h"
#include "results/DataRow.h"
#include "results/FileFault.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// Lines of a data file that are no rows (blank lines and ";" notes), kept so that a rewrite puts them
// back where they stood: each run of them as the file holds it, every line ending in CR LF, and the
// number of result rows before it (-1: before the header line).
struct KeptLines {
    int rowsBefore = 0;
    QByteArray bytes;
};

// What a data file holds, read without any window: the header line's fields and the result rows
// (numbered 1, 2, ... in file order), with the count of suspicious items.
struct DataFileContents {
    bool headerFound = false;
    DataLine::Fields header;
    std::vector<DataRow> rows;
    int badItems = 0;          // in the result lines
    bool stoppedEarly = false; // more than 100 suspicious items: the rest was not read
    // What reading did not reach, byte for byte from the line after the last row read, and how
    // many result lines it holds (blank and comment lines left out).
    QByteArray unreadTail;
    int unreadRows = 0;
    // Those result lines as rows, numbered on from the rows read.
    std::vector<DataRow> tailRows;
    // Numbers of the rows whose line held more than 17 fields.
    std::vector<int> longRows;
    // The blank and ";" lines of the part read, in file order.
    std::vector<KeptLines> keptLines;
    // Why the file is no data file at all (binary, UTF-16, a load/time record); empty when it may be.
    QString notDataFile;
};

// Reading and writing the data file on disc: Windows-1252 text, lines ending in CR LF.
namespace DataFile {
// No data file of a laboratory comes near this; anything larger is refused before it is read.
constexpr qint64 MaxBytes = qint64(256) * 1024 * 1024;

// Reading reserves room for no more rows than this before it has read them.
constexpr std::size_t ReservedRows = 65536;

// Why the path cannot serve as a data file, one line per reason in the order the operator is told;
// empty when it can.
QStringList Refusals(const QString& path);

// Reads the whole file. Blank lines and lines starting with ";" are skipped; the first other line is
// the header; reading stops once more than 100 suspicious items were counted. A file that is plainly
// no data file is not read into rows: notDataFile says what it is.
std::optional<FileFault> Read(const QString& path, DataFileContents& contents);

// One line of text as the file holds it, line end included.
QByteArray Encoded(const QString& line);
// A row's line as the file holds it, line end included.
QByteArray Encoded(const DataRow& row);
} // namespace DataFile
