#pragma once

#include <QString>
#include <cstdio>

struct ProgramOptions;

// The headless commands of the lab database.
namespace LabCommands {
// Exit codes beside the usual 0 and 2.
constexpr int ResultsWaiting = 3;
constexpr int LabRefused = 5; // the server refused or cannot be reached (the reason on err)

// The lab database of this run: --db, else the option kept in the settings file; empty when none.
QString Address(const ProgramOptions& options);

// --stats --db: the batch statistics of the lab's results that pass the filters.
int Stats(const ProgramOptions& options, std::FILE* out, std::FILE* err);

// --db-init: creates the lab database's tables and the testers' role (the administrator's login).
int Init(const ProgramOptions& options, std::FILE* out, std::FILE* err);
} // namespace LabCommands
