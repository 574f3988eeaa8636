#pragma once

#include <QString>
#include <cstdio>

struct ProgramOptions;

// The headless commands of the lab database.
namespace LabCommands {
// Exit codes beside the usual 0 and 2.
constexpr int ResultsWaiting = 3;
constexpr int LabRefused = 5; // the server refused or cannot be reached (the reason on err)
constexpr int TrailsPart = 7; // the store's trail and the server's copy part ways (restored or cloned)

// The lab database of this run: --db, else the option kept in the settings file; empty when none.
QString Address(const ProgramOptions& options);

// --stats --db: the batch statistics of the lab's results that pass the filters.
int Stats(const ProgramOptions& options, std::FILE* out, std::FILE* err);

// --db-sync: sends what waits in the results store; prints sent and waiting. 0 when none wait, else 3.
int Sync(const ProgramOptions& options, std::FILE* out, std::FILE* err);
// The lab's copy: --audit-verify --db (exit 4 when a chain is broken) and --db-export --db.
int AuditVerify(const ProgramOptions& options, std::FILE* out, std::FILE* err);
int Export(const ProgramOptions& options, std::FILE* out, std::FILE* err);

// --db-init: creates the lab database's tables and the testers' role (the administrator's login).
int Init(const ProgramOptions& options, std::FILE* out, std::FILE* err);
// --db-register-tester LOGIN [--instrument I]: lets a login send, and binds an instrument to it.
int RegisterTester(const ProgramOptions& options, std::FILE* out, std::FILE* err);
} // namespace LabCommands
