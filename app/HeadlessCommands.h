#pragma once

#include <cstdio>

struct ProgramOptions;

// The commands that run without a window for scripts and laboratory systems: --stats, --report,
// --verify-statistics, --help and --version.
namespace HeadlessCommands {
// Builds the application object the command needs and runs it. Exit codes: 0 done, 2 a data file that
// cannot be read or a report that cannot be written (with the reason on err); --verify-statistics: 1
// when a figure differs from its reference.
int Run(const ProgramOptions& options, int& argc, char** argv);

// Without an application object of its own (the caller has one or needs none).
int Stats(const ProgramOptions& options, std::FILE* out, std::FILE* err);
int Report(const ProgramOptions& options, std::FILE* err);
// --help or --version: the text on out, exit code 0.
int Info(const ProgramOptions& options, std::FILE* out);
} // namespace HeadlessCommands
