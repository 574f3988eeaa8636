#pragma once

#include "results/FileFault.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Writing files so that a crash, a power cut or a full disc never leaves a half-written one: new
// contents go to a temporary file in the same folder, are flushed to the disc and only then take the
// file's name. The platform calls live here and nowhere else.
namespace SafeReplace {
enum class Stage { None, DeleteBackup, SaveBackup, Write };

struct Outcome {
    Stage failed = Stage::None;
    FileFault fault;
    bool ok() const { return failed == Stage::None; }
};

// Replaces the file's contents; its old contents become `backup` (an older backup is deleted first).
// At every instant `path` holds either the whole old or the whole new contents.
Outcome Rewrite(const QString& path, const QString& backup, const QByteArray& contents);

// Replaces (or creates) the file's contents without keeping a backup, equally safely.
std::optional<FileFault> WriteWhole(const QString& path, const QByteArray& contents);

// Appends to an existing file and returns only once the bytes are on the disc.
std::optional<FileFault> AppendSynced(const QString& path, const QByteArray& bytes);

// The file a path names, symbolic links followed, so that replacing it keeps the link.
QString Target(const QString& path);
} // namespace SafeReplace
