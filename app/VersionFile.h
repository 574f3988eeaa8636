#pragma once

#include <QByteArray>
#include <QString>

// What the check for a newer version shows, decided from what the server sent.
struct VersionVerdict {
    QString title;
    QString text;
    QString clipboard; // the download address; empty when nothing goes to the clipboard
    bool failed = false;
};

// The version file: lines of "title,version,file,date,size[,...]". It comes from the network and
// is not trusted: any bytes, any line length; only the first matching line is used. A line whose
// version is empty or whose file is not a plain file name is skipped as bad.
namespace VersionFile {
constexpr qint64 MaxBytes = 65536;
constexpr int MaxFieldLength = 256; // longer fields are cut for display

// folder: the download folder address (ending in "/"); error: what the fetch reported, empty when
// it succeeded; title and version: this program's.
VersionVerdict Decide(const QString& folder, const QByteArray& body, const QString& error,
                      const QString& title, const QString& version);
} // namespace VersionFile
