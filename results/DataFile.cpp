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

    const char* data = bytes.constData();
    const qsizetype n = bytes.size();
    // One row a line at most: a large file is not copied over and over as its rows grow.
    contents.rows.reserve(std::size_t(bytes.count('\n')));
    qsizetype pos = 0;
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
            contents.headerFound = true;
            DataLine::ParseDataLine(stripped, contents.header);
            continue;
        }
        DataRow row;
        contents.badItems += DataLine::ParseDataLine(stripped, row);
        row.squeeze();
        row.setNumber(++rowNumber);
        contents.rows.push_back(std::move(row));
        if (contents.badItems > DataLine::MaxBadItems) {
            contents.stoppedEarly = true;
            break;
        }
    }
    return std::nullopt;
}

QByteArray DataFile::Encoded(const QString& line) {
    QByteArray bytes = Cp1252::encode(line);
    bytes.append("\r\n", 2);
    return bytes;
}
