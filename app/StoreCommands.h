#pragma once

#include <QString>
#include <cstdio>

struct ProgramOptions;

// The results store's commands without a window: --db-path, --db-import, --db-export, --audit-verify
// and --history. Exit codes: 0 done, 2 a store or data file that cannot be used (the reason on err),
// 4 an audit trail that does not verify.
namespace StoreCommands {
// The store this run uses.
QString StorePath(const ProgramOptions& options);
int Run(const ProgramOptions& options, std::FILE* out, std::FILE* err);
} // namespace StoreCommands
