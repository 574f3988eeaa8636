#pragma once

#include <QString>
#include <cstdio>

class ResultsDatabase;
struct ProgramOptions;

// --history DATAFILE [ROW]: the audit trail of a row, of a whole data file (no row), or the option
// and calibration changes (row 0), each with the store it was read from.
namespace HistoryCommand {
// Without a row number given.
constexpr int WholeFile = -1;
int Run(const ProgramOptions& options, ResultsDatabase& db, std::FILE* out, std::FILE* err);
} // namespace HistoryCommand
