#include "results/DataFileRows.h"

#include "results/DataFile.h"
#include "results/DatasheetTexts.h"

std::optional<std::vector<DataRow>> ReadDataFileRows(const QString& path, QString* error) {
    // Only what would keep the file from being read; a read-only file serves statistics well.
    const QStringList refusals = DataFile::Refusals(path);
    for (const QString& reason : {DatasheetTexts::DirectoryFile, DatasheetTexts::NotRegularFile})
        if (refusals.contains(reason)) {
            *error = reason;
            return std::nullopt;
        }
    DataFileContents contents;
    if (const std::optional<FileFault> fault = DataFile::Read(path, contents)) {
        *error = fault->description;
        return std::nullopt;
    }
    if (!contents.notDataFile.isEmpty()) {
        *error = contents.notDataFile;
        return std::nullopt;
    }
    if (contents.stoppedEarly) {
        *error = QStringLiteral("more than %1 items that are not numbers; reading stopped")
                     .arg(DataLine::MaxBadItems);
        return std::nullopt;
    }
    return std::move(contents.rows);
}
