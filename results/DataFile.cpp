#include "results/DataFile.h"

#include "params/Cp1252.h"
#include "results/DatasheetTexts.h"
#include "results/SafeReplace.h"

#include <QFile>
#include <QFileInfo>
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

// What makes the bytes plainly something other than a data file; empty when they may be one.
QString notTextReason(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return T::Utf16Text;
    if (bytes.contains('\0'))
        return T::NulBytes;
    // A stray control character in a comment is no reason to refuse a file; one byte in fifty is.
    // The first megabyte tells, and a large file is not gone through twice.
    const QByteArrayView head = QByteArrayView(bytes).first(qMin(bytes.size(), qsizetype(1024 * 1024)));
    qsizetype controls = 0;
    for (const char c : head)
        controls += controlByte(static_cast<unsigned char>(c)) ? 1 : 0;
    if (controls > 0 && controls * 50 > head.size())
        return T::BinaryData;
    return {};
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
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return FileFault::of(file);

    contents.notDataFile = notTextReason(bytes);
    if (!contents.notDataFile.isEmpty())
        return std::nullopt;

    const char* data = bytes.constData();
    const qsizetype n = bytes.size();
    // One row a line at most: a large file is not copied over and over as its rows grow.
    contents.rows.reserve(std::size_t(bytes.count('\n')));
    qsizetype pos = 0;
    qsizetype tailStart = n;
    int rowNumber = 0;
    while (pos < n) {
        // Lines end in CR LF, LF or CR.
        qsizetype end = pos;
        while (end < n && data[end] != '\r' && data[end] != '\n')
            ++end;
        const QString line = Cp1252::decode(QByteArray::fromRawData(data + pos, end - pos));
        pos = end + (end + 1 < n && data[end] == '\r' && data[end + 1] == '\n' ? 2 : 1);

        const QStringView stripped = DataLine::StripLine(line);
        if (DataLine::IsSkipped(stripped))
            continue;
        if (!contents.headerFound) {
            if (isLoadTimeHeader(stripped)) {
                contents.notDataFile = T::LoadTimeRecord;
                return std::nullopt;
            }
            contents.headerFound = true;
            DataLine::ParseDataLine(stripped, contents.header);
            continue;
        }
        DataRow row;
        bool extra = false;
        const int bad = DataLine::ParseDataLine(stripped, row, &extra);
        row.squeeze();
        if (contents.stoppedEarly) {
            // Past the stop the lines are kept as bytes; their rows are only there to be counted
            // and for whoever keeps every row of a file (the results store).
            row.setNumber(rowNumber + int(contents.tailRows.size()) + 1);
            contents.tailRows.push_back(std::move(row));
            continue;
        }
        contents.badItems += bad;
        row.setNumber(++rowNumber);
        if (extra)
            contents.longRows.push_back(rowNumber);
        contents.rows.push_back(std::move(row));
        if (contents.badItems > DataLine::MaxBadItems) {
            contents.stoppedEarly = true;
            tailStart = pos;
        }
    }
    if (contents.stoppedEarly && tailStart < n) {
        contents.unreadTail = bytes.mid(tailStart);
        contents.unreadRows = int(contents.tailRows.size());
    } else {
        contents.tailRows.clear();
    }
    return std::nullopt;
}

QByteArray DataFile::Encoded(const QString& line) {
    QByteArray bytes = Cp1252::encode(line);
    bytes.append("\r\n", 2);
    return bytes;
}
