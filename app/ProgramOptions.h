#pragma once

#include "app/TraceabilityOptions.h"

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
//   stavely --verify-statistics          (headless: the statistics against reference data sets)
//   stavely --lifetime OPTIONS...        (headless: fiber lifetime and proof stress)
//   stavely --help | --version           (headless: print and end)
struct ProgramOptions {
    QString settingsFile; // empty: the per-user default
    bool simulate = false;
    bool unattended = false; // STAVELY_UNATTENDED=1: print messages instead of showing them (tests)
    QString instanceName;    // empty: the per-user default
    QString statsFile;       // --stats: print the data file's statistics and end
    bool perSample = false;  // --per-sample: with --stats, the figures per sample and rate too
    QString reportFile;      // --report: write the data file's report as a PDF and end
    QString reportDataFile;
    // The results store's commands.
    bool dbPath = false;    // --db-path: print where the store is
    bool dbRestore = false; // --db-restore: the store from the lab database's copy of its trail
    QStringList dbImport;   // --db-import: data files to take in
    QString dbExport;       // --db-export: CSV or JSON file to write
    // --sample, --operator, --since, --until, --instrument: which results --db-export and --stats --db take.
    QString filterSample;
    QString filterOperator;
    QString filterSince;
    QString filterUntil;      // yyyy-mm-dd, inclusive (lab database)
    QString filterInstrument; // one tester's store (lab database)
    bool auditVerify = false; // --audit-verify
    QString historyFile;      // --history DATAFILE [ROW]
    int historyRow = 0;       // -1: no row given (the whole file); 0: option and calibration changes
    // The lab database.
    QString labDatabase;           // --db: the lab database for this run, instead of the option's
    bool labStats = false;         // --stats --db URI: the whole lab's results instead of a data file
    bool dbInit = false;           // --db-init: create the lab database's tables and role
    bool dbSync = false;           // --db-sync: send the results that wait for the lab database
    QString registerTester;        // --db-register-tester LOGIN: let a login send (administrator)
    bool help = false;             // --help, -h: the usage
    bool version = false;          // --version: the program's version
    bool verifyStatistics = false; // --verify-statistics: check the statistics on reference data
    bool lifetime = false;         // --lifetime: the lifetime model; the arguments after it are its own
    QStringList lifetimeArguments;
    TraceabilityOptions trace; // users and signatures

    bool storeCommand() const {
        return dbPath || dbRestore || !dbImport.isEmpty() || !dbExport.isEmpty() || auditVerify ||
               !historyFile.isEmpty();
    }
    bool headless() const {
        return help || version || !statsFile.isEmpty() || !reportFile.isEmpty() || storeCommand() ||
               labStats || dbInit || dbSync || !registerTester.isEmpty() || verifyStatistics || lifetime ||
               trace.any();
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
