#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// What the command line and the environment ask of this run:
//   stavely [--settings FILE] [--simulate]
//   stavely --stats DATAFILE             (headless: statistics as key/value lines)
//   stavely --report FILE.pdf DATAFILE   (headless: the batch report)
//   stavely --stats --db URI [--sample S] [--operator O] [--instrument I] [--since DATE] [--until DATE]
//                                        (headless: the statistics of the whole lab's results)
//   stavely --db-init --db URI           (headless: the lab database's tables, by its administrator)
//   stavely --db-sync [--db URI]         (headless: send what waits for the lab database)
//   stavely --help | --version           (headless: print and end)
struct ProgramOptions {
    QString settingsFile; // empty: the per-user default
    bool simulate = false;
    bool unattended = false; // STAVELY_UNATTENDED=1: print messages instead of showing them (tests)
    QString instanceName;    // empty: the per-user default
    QString statsFile;       // --stats: print the data file's statistics and end
    QString reportFile;      // --report: write the data file's report as a PDF and end
    QString reportDataFile;
    bool labStats = false; // --stats --db URI: the whole lab's results instead of a data file
    // Which of the lab's results --stats --db reads (empty: all).
    QString filterSample, filterOperator, filterInstrument, filterSince, filterUntil;
    QString labDatabase;  // --db: the lab database for this run, instead of the option's
    bool dbInit = false;  // --db-init: create the lab database's tables and role
    bool dbSync = false;  // --db-sync: send the results that wait for the lab database
    bool help = false;    // --help, -h: the usage
    bool version = false; // --version: the program's version

    bool headless() const {
        return help || version || !statsFile.isEmpty() || labStats || !reportFile.isEmpty() || dbInit ||
               dbSync;
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
