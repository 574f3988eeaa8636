#pragma once

#include <QString>
#include <cstdio>

struct ProgramOptions;

// The results store's commands without a window: --db-path, --db-import, --db-export, --audit-verify,
// --history and --db-restore. Exit codes: 0 done, 2 a store or data file that cannot be used (the
// reason on err), 4 an audit trail that does not verify or rows an import found changed outside the
// program, 5 the lab database refused or cannot be reached (--db-restore).
namespace StoreCommands {
constexpr int ChangedOutside = 4;

// The store this run uses.
QString StorePath(const ProgramOptions& options);
int Run(const ProgramOptions& options, std::FILE* out, std::FILE* err);
} // namespace StoreCommands
