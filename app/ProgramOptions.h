#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// What the command line and the environment ask of this run:
//   stavely [--settings FILE] [--simulate]
//   stavely --stats DATAFILE             (headless: statistics as key/value lines)
//   stavely --report FILE.pdf DATAFILE   (headless: the batch report)
//   stavely --verify-statistics          (headless: the statistics against reference data sets)
//   stavely --help | --version           (headless: print and end)
struct ProgramOptions {
    QString settingsFile; // empty: the per-user default
    bool simulate = false;
    bool unattended = false; // STAVELY_UNATTENDED=1: print messages instead of showing them (tests)
    QString instanceName;    // empty: the per-user default
    QString statsFile;       // --stats: print the data file's statistics and end
    QString reportFile;      // --report: write the data file's report as a PDF and end
    QString reportDataFile;
    bool help = false;             // --help, -h: the usage
    bool version = false;          // --version: the program's version
    bool verifyStatistics = false; // --verify-statistics: check the statistics on reference data

    bool headless() const {
        return help || version || verifyStatistics || !statsFile.isEmpty() || !reportFile.isEmpty();
    }
    // Arguments that ask for a command without a window (checked before a display is needed).
    static bool asksHeadless(const QStringList& arguments);

    // nullopt with *error set when the arguments are not understood (the program name comes first).
    static std::optional<ProgramOptions> parse(const QStringList& arguments, QString* error);

    // The settings file this run uses.
    QString settingsPath() const;

    // False on a desktop system with no display to show windows on (and no platform chosen).
    static bool displayAvailable(const std::function<QString(const char*)>& environment,
                                 const QStringList& arguments);
};
