#include "results/DataFile.h"

#include "params/Cp1252.h"
#include "results/DatasheetTexts.h"
#include "results/SafeReplace.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <filesystem>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace T = DatasheetTexts;

QStringList DataFile::Refusals(const QString& path) {
    QStringList reasons;
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.utf16()));
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        const DWORD relevant = attributes & ~DWORD(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL);
        if (relevant & FILE_ATTRIBUTE_READONLY)
            reasons << T::ReadOnlyFile;
        if (relevant & FILE_ATTRIBUTE_HIDDEN)
            reasons << T::HiddenFile;
        if (relevant & FILE_ATTRIBUTE_SYSTEM)
            reasons << T::SystemFile;
        if (relevant & FILE_ATTRIBUTE_DIRECTORY)
            reasons << T::DirectoryFile;
        if (relevant > 1023)
            reasons << T::OtherAttribute;
        return reasons;
    }
#endif
    std::error_code error;
    const auto status = std::filesystem::status(std::filesystem::path(path.toStdU16String()), error);
    if (error || !std::filesystem::exists(status))
        return reasons;
    if (std::filesystem::is_directory(status))
        return {T::DirectoryFile};
    // Devices, pipes and sockets would never end or never answer.
    if (!std::filesystem::is_regular_file(status))
        return {T::NotRegularFile};
    const QFileInfo info(path);
    if (SafeReplace::ReadOnly(path))
        reasons << T::ReadOnlyFile;
    if (!info.isReadable())
        reasons << T::NoAccess;
    return reasons;
}

namespace {
// Bytes that no text line of a data file holds: controls other than tab, CR and LF, and DEL.
bool controlByte(unsigned char b) {
    return (b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7F;
}

// Whether the first line that is not blank or a note carries the data file's titles, as every file
// this program writes does (a few may differ, as in files of older versions).
bool startsWithTitles(QByteArrayView head) {
    qsizetype pos = 0;
    while (pos < head.size()) {
        qsizetype end = pos;
        while (end < head.size() && head[end] != '\n' && head[end] != '\r')
            ++end;
        const QByteArrayView stripped = DataLine::StripLine(head.sliced(pos, end - pos));
        if (!DataLine::IsSkipped(stripped)) {
            DataLine::Fields fields;
            DataLine::ParseDataLine(Cp1252::decode(stripped), fields);
            int same = 0;
            for (int c = 1; c < DataLine::ParameterColumn; ++c)
                same += fields[size_t(c)] == DataLine::Titles()[size_t(c)] ? 1 : 0;
            return same >= DataLine::ParameterColumn - 1 - DataLine::HeaderMismatchLimit;
        }
        pos = end + 1;
    }
    return false;
}

// Whether the start of a file is plainly binary data. A stray control character in a comment is no
// reason to refuse a file; one byte in fifty is, unless the file begins with the data file's titles:
// control characters in the comments of a few rows must not turn away a file this program wrote.
// The first megabyte tells, and a large file is not gone through twice.
bool binaryHead(QByteArrayView head) {
    qsizetype controls = 0;
    for (const char c : head)
        controls += controlByte(static_cast<unsigned char>(c)) ? 1 : 0;
    return controls > 0 && controls * 50 > head.size() && !startsWithTitles(head);
}

// The first line of a specimen's load/time record: tab-separated titles starting with the position.
bool isLoadTimeHeader(QStringView stripped) {
    return stripped.contains(QLatin1Char('\t')) && !stripped.contains(QLatin1Char(',')) &&
           stripped.startsWith(QLatin1String("position ("));
}
} // namespace

std::optional<FileFault> DataFile::Read(const QString& path, DataFileContents& contents) {
    contents = DataFileContents();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileFault::of(file);
    if (file.size() > MaxBytes)
        return FileFault{
            7,
            QStringLiteral("The file is too large for a data file (%1 MB)").arg(file.size() / (1024 * 1024))};

    // A block at a time: a large file is never held whole beside the rows it becomes. What makes a
    // file no data file is decided as if it had been read whole: a UTF-16 mark at its start, a NUL
    // byte anywhere, then a binary first megabyte, then a load/time record's header.
    constexpr qsizetype Block = 1024 * 1024;
    QByteArray buffer;
    qsizetype pos = 0;     // where the next line starts in the buffer
    qsizetype scanned = 0; // how far the end of that line has been looked for
    bool first = true;
    bool atEnd = false;
    bool parse = true;
    QString refusal;
    int rowNumber = 0;
    auto nulBytes = [&contents] {
        contents = DataFileContents();
        contents.notDataFile = T::NulBytes;
        return std::nullopt;
    };
    while (!atEnd && !contents.stoppedEarly) {
        buffer.remove(0, pos);
        scanned -= pos;
        pos = 0;
        const qsizetype had = buffer.size();
        buffer.resize(had + Block);
        const qint64 got = file.read(buffer.data() + had, Block);
        if (got < 0)
            return FileFault::of(file);
        buffer.resize(had + qsizetype(got));
        atEnd = got == 0;
        const QByteArrayView fresh(buffer.constData() + had, qsizetype(got));
        if (first && !atEnd) {
            first = false;
            if (fresh.startsWith("\xFF\xFE") || fresh.startsWith("\xFE\xFF")) {
                contents.notDataFile = T::Utf16Text;
                return std::nullopt;
            }
            if (binaryHead(fresh)) {
                refusal = T::BinaryData;
                parse = false;
            }
            // Room for the rows at the first block's line length, so that a large file's rows are
            // not moved over and over as they grow; never more than a bound, as the first block
            // may be all blank lines. Past it the rows grow as they come.
            const qsizetype lines = fresh.count('\n') + (fresh.contains('\n') ? 0 : fresh.count('\r'));
            if (lines > 0 && parse)
                contents.rows.reserve(std::min(
                    std::size_t(double(file.size()) / double(fresh.size()) * double(lines) * 1.02) + 16,
                    ReservedRows));
        }
        if (fresh.contains('\0'))
            return nulBytes();
        if (!parse) {
            pos = buffer.size();
            continue;
        }

        const char* data = buffer.constData();
        const qsizetype n = buffer.size();
        qsizetype nextLf = -1; // the first LF at or after the line's start, n when there is none
        while (pos < n) {
            // Lines end in CR LF, LF or CR. A line may run on into the next block, and a CR at the
            // end of a block may have its LF there.
            const qsizetype from = std::max(pos, scanned);
            if (nextLf < from) {
                const void* lf = std::memchr(data + from, '\n', std::size_t(n - from));
                nextLf = lf ? static_cast<const char*>(lf) - data : n;
            }
            qsizetype end = nextLf;
            if (const void* cr = std::memchr(data + from, '\r', std::size_t(end - from)))
                end = static_cast<const char*>(cr) - data;
            scanned = end;
            if (!atEnd && (end == n || (data[end] == '\r' && end + 1 == n)))
                break;
            // Windows-1252 is one byte a character: the line is split as the file holds it, and
            // only the header is turned into text.
            const QByteArrayView raw(data + pos, end - pos);
            const QByteArrayView stripped = DataLine::StripLine(raw);
            pos = std::min(n, end + (end + 1 < n && data[end] == '\r' && data[end + 1] == '\n' ? 2 : 1));
            scanned = pos;
            if (DataLine::IsSkipped(stripped)) {
                // A run of such lines is kept as one, so that a million blank lines cost their bytes only.
                const int rowsBefore = contents.headerFound ? rowNumber : -1;
                if (contents.keptLines.empty() || contents.keptLines.back().rowsBefore != rowsBefore)
                    contents.keptLines.push_back({rowsBefore, QByteArray()});
                QByteArray& kept = contents.keptLines.back().bytes;
                kept.append(raw);
                kept.append("\r\n", 2);
                continue;
            }
            if (!contents.headerFound) {
                const QString header = Cp1252::decode(stripped);
                if (isLoadTimeHeader(header)) {
                    refusal = T::LoadTimeRecord;
                    parse = false;
                    pos = n;
                    break;
                }
                contents.headerFound = true;
                DataLine::ParseDataLine(header, contents.header);
                continue;
            }
            DataRow& row = contents.rows.emplace_back();
            bool extra = false;
            contents.badItems += DataLine::ParseDataLine(stripped, row, &extra);
            row.setNumber(++rowNumber);
            if (extra)
                contents.longRows.push_back(rowNumber);
            if (contents.badItems > DataLine::MaxBadItems) {
                contents.stoppedEarly = true;
                break;
            }
        }
    }
    if (!refusal.isEmpty()) {
        contents = DataFileContents();
        contents.notDataFile = refusal;
        return std::nullopt;
    }
    if (contents.stoppedEarly) {
        // What reading did not reach, byte for byte.
        QByteArray tail = buffer.mid(pos);
        if (!atEnd) {
            tail += file.readAll();
            if (file.error() != QFileDevice::NoError)
                return FileFault::of(file);
        }
        if (tail.contains('\0'))
            return nulBytes();
        contents.unreadTail = std::move(tail);
        // The rows left unread, split as reading would have split them: counted, and kept for
        // whoever follows every row of a file (the results store).
        for (const QString& line : Cp1252::splitLines(Cp1252::decode(contents.unreadTail))) {
            const QStringView stripped = DataLine::StripLine(line);
            if (DataLine::IsSkipped(stripped))
                continue;
            DataRow& row = contents.tailRows.emplace_back();
            DataLine::ParseDataLine(stripped, row);
            row.setNumber(rowNumber + int(contents.tailRows.size()));
        }
        contents.unreadRows = int(contents.tailRows.size());
    }
    return std::nullopt;
}

QByteArray DataFile::Encoded(const DataRow& row) {
    QByteArray bytes = DataLine::FileBytes(row);
    bytes.append("\r\n", 2);
    return bytes;
}

QByteArray DataFile::Encoded(const QString& line) {
    QByteArray bytes = Cp1252::encode(line);
    bytes.append("\r\n", 2);
    return bytes;
}
