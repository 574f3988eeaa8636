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
// Where the results are when this run reads the instrument's store and they went to the
// simulator's (or the other way round): " The simulator's results are in ... (--simulate)." Empty when
// the other store is not there or the run keeps its store beside its own settings file.
QString OtherStore(const ProgramOptions& options);
} // namespace HistoryCommand
