#pragma once

#include "results/FileFault.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class QIODevice;

// Writing files so that a crash, a power cut or a full disc never leaves a half-written one: new
// contents go to a temporary file in the same folder, are flushed to the disc and only then take the
// file's name. The platform calls live here and nowhere else.
namespace SafeReplace {
enum class Stage { None, DeleteBackup, SaveBackup, Write };

struct Outcome {
    Stage failed = Stage::None;
    FileFault fault;
    // After a failure: the file still holds its old contents whole (nothing of the new reached it).
    bool oldContentsWhole = false;
    bool ok() const { return failed == Stage::None; }
};

// Replaces the file's contents; its old contents become `backup`, which keeps the older backup until
// the new contents are in place.
// At every instant `path` holds either the whole old or the whole new contents.
Outcome Rewrite(const QString& path, const QString& backup, const QByteArray& contents);

// Replaces (or creates) the file's contents without keeping a backup, equally safely.
std::optional<FileFault> WriteWhole(const QString& path, const QByteArray& contents);

// Replaces (or creates) the file with what `write` puts on the device it is handed, equally safely:
// a text returned by `write` (why it failed), a write the device refused or a full disc leaves the
// old file as it was, and the fault says why. For writers that stream, such as a PDF or a picture.
std::optional<FileFault> WriteThrough(const QString& path, const std::function<QString(QIODevice&)>& write);

// Appends to an existing file and returns only once the bytes are on the disc. A failed append
// takes the file back to its length before; `tailLeft` tells when even that failed and part of the
// bytes may still be at its end. A file that does not end with a line end gets one first, so an
// appended line never continues a broken one.
std::optional<FileFault> AppendSynced(const QString& path, const QByteArray& bytes, bool* tailLeft = nullptr);

// A file the program must not replace: one whose read-only attribute is set (no write permission
// at all) or that this user may not write. False for a file that does not exist.
bool ReadOnly(const QString& path);

// Whether two paths name the same file (links followed; device and inode, or the file ID).
bool SameFile(const QString& a, const QString& b);

// Removes temporaries of our own naming that a killed rewrite left beside the file; how many went.
int RemoveStaleTemporaries(const QString& path);

// The file a path names, symbolic links followed, so that replacing it keeps the link.
QString Target(const QString& path);
} // namespace SafeReplace
