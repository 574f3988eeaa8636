#pragma once

#include <QString>

// Texts that start-up, shutdown and the shell windows put before the operator, exactly as shown.
namespace StartupTexts {
inline const QString ProgramEndingTitle = QStringLiteral("PROGRAM ENDING");

inline const QString SecondInstance =
    QStringLiteral("Only one instance of STAVELY is permitted\r\n at a time. This instance is terminating.");
inline const QString SecondInstanceTitle = QStringLiteral("THIS INSTANCE OF STAVELY IS CLOSING");

inline const QString NoPrecisionTimer = QStringLiteral(
    "This computer does not implement a precision timer.\rThe STAVELY program can not be run on "
    "this computer. \rPlease try running STAVELY on a newer computer.");
inline const QString TimerTooSlow = QStringLiteral(
    "The high precision timer does not run fast enough on this\rcomputer for the STAVELY program "
    "to run smoothly. \rPlease try running STAVELY on a faster computer.");

inline const QString VersionsDiffer =
    QStringLiteral("Warning: project and predefined version numbers differ!\r\r");

inline const QString ExitQuestion = QStringLiteral("Are you sure you want to exit the program?");
inline const QString ExitTitle = QStringLiteral("EXIT PROGRAM");
// Before the exit question when the load cell reads a loaded fiber; load in N with two decimals.
inline QString ExitWithLoadedFiber(const QString& load) {
    return QStringLiteral("The fiber is still loaded (") + load +
           QStringLiteral(" N). To unload it first, answer No and press \"Load fiber\": the capstans "
                          "come together and the fiber goes slack.\r\n");
}

inline const QString SysInfoUnavailable = QStringLiteral("System Information Is Unavailable At This Time");
inline const QString HelpNotOpened = QStringLiteral("The help file could not be opened:\r\n");
inline const QString SimulatorNotStarted =
    QStringLiteral("The simulated instrument could not be started:\r\n");

// The status line after --simulate took the calibration distributed for the simulated load cell.
inline QString DistributedCalibrationTaken(const QString& file) {
    return QStringLiteral("Load cell calibrated from ") + file +
           QStringLiteral(" (distributed for the simulated load cell)");
}

inline const QString SplashLine = QStringLiteral("Strength testing of optical fibers");

inline const QString NoDisplay =
    QStringLiteral("STAVELY needs a graphical display, but neither DISPLAY nor WAYLAND_DISPLAY is set "
                   "(try xvfb-run, or QT_QPA_PLATFORM=offscreen).");
inline const QString Usage = QStringLiteral(
    "Usage: stavely [--settings FILE] [--simulate] | stavely --stats DATAFILE | "
    "stavely --report FILE.pdf DATAFILE | stavely --db-path | stavely --db-import DATAFILE... | "
    "stavely --db-export OUT.csv|OUT.json [--sample S] [--operator O] [--since DATE] | "
    "stavely --audit-verify | stavely --history DATAFILE [ROW] | stavely --db-restore [--db URI] "
    "[--instrument I] | stavely --verify-statistics | stavely --lifetime OPTIONS | "
    "stavely --user-add NAME --role ROLE [--as ADMIN] | stavely --users | "
    "stavely --sign DATAFILE --as NAME --meaning MEANING [--note TEXT] | stavely --signatures DATAFILE");
inline const QString Help = QStringLiteral(
    "Usage: stavely [--settings FILE] [--simulate]\n"
    "       stavely --stats DATAFILE [--per-sample]\n"
    "       stavely --report FILE.pdf DATAFILE\n"
    "       stavely --db-path | --db-import DATAFILE... | --audit-verify\n"
    "       stavely --db-export OUT.csv|OUT.json [--sample S] [--operator O] [--since yyyy-mm-dd]\n"
    "       stavely --history DATAFILE [ROW]\n"
    "       stavely --stats --db URI [--sample S] [--operator O] [--instrument I] [--since DATE] [--until "
    "DATE]\n"
    "       stavely --db-init --db URI | stavely --db-sync [--db URI]\n"
    "       stavely --db-register-tester LOGIN [--instrument I] --db URI\n"
    "       stavely --db-restore [--db URI] [--instrument I]\n"
    "       stavely --verify-statistics\n"
    "       stavely --lifetime [--from DATAFILE | --sample NAME [--since DATE] [--until DATE]] [--m M]\n"
    "                [--n N] [--proof-stress MPa] [--proof-time s]\n"
    "                [--proof-breaks-per-km NP] [--length-km L] --service-stress MPa|--service-strain %\n"
    "                --years Y|--target-F F\n"
    "       stavely --user-add NAME --role operator|reviewer|admin [--as ADMIN] | stavely --users\n"
    "       stavely --sign DATAFILE --as NAME --meaning reviewed|approved|rejected [--note TEXT]\n"
    "       stavely --signatures DATAFILE | stavely --idle-lock MINUTES --as ADMIN\n"
    "       stavely --help | --version\n"
    "\n"
    "Control program of the STAVELY tensile tester for optical fibers.\n"
    "\n"
    "  --settings FILE   keep the settings in FILE instead of the per-user settings file\n"
    "  --simulate        run on the built-in simulated instrument (its own settings file)\n"
    "  --stats DATAFILE  print the batch statistics of a data file as key<TAB>value lines\n"
    "  --per-sample      with --stats DATAFILE: also the figures of each sample at each rate\n"
    "  --report FILE.pdf DATAFILE\n"
    "                    write the batch report of a data file as a PDF\n"
    "  --db-path         print where the results store is (with --simulate: the simulator's)\n"
    "  --db-import DATAFILE...\n"
    "                    take the rows of data files into the results store (again: nothing added)\n"
    "  --db-export OUT.csv|OUT.json\n"
    "                    write the stored results, filtered by --sample, --operator, --since\n"
    "  --audit-verify    check the audit trail: exit 0 and the count when intact, 4 and the first\n"
    "                    broken entry when anything stored was changed, removed or reordered;\n"
    "                    an intact trail also names each signature a later change broke\n"
    "  --history DATAFILE [ROW]\n"
    "                    print the audit trail of one row of a data file, of the whole file without\n"
    "                    ROW, or the option and calibration changes with ROW 0; the first line names\n"
    "                    the store read (with --simulate: the simulator's)\n"
    "  --db URI          the lab database (a PostgreSQL URI or connection string) for this run,\n"
    "                    instead of the option \"Lab database\"; its password comes from ~/.pgpass;\n"
    "                    --db-import also sends, --db-export and --audit-verify work on the lab's copy\n"
    "  --stats --db URI  the batch statistics of the lab database's results (every tester's), of one\n"
    "                    sample, operator or instrument, tested since/until a date (yyyy-mm-dd)\n"
    "  --db-init         create the lab database's tables and the role stavely_tester (administrator)\n"
    "  --db-register-tester LOGIN\n"
    "                    let a login send results (administrator); with --instrument, that\n"
    "                    instrument's results are taken from this login only\n"
    "  --db-sync         send the results that wait for the lab database; prints the results and\n"
    "                    audit entries sent and the results waiting (exit 0 when none wait, 3 when\n"
    "                    some still do, 6 when the store's trail and the lab's copy part ways)\n"
    "  --db-restore      bring the results store up to date from the lab database's copy of its\n"
    "                    audit trail (after a restore from a backup), or rebuild a lost or damaged\n"
    "                    store from it (the damaged file is kept aside; --instrument names the\n"
    "                    tester when the store cannot be read)\n"
    "  --verify-statistics\n"
    "                    compute the statistics of the reference data sets shipped with the\n"
    "                    program and print each figure beside its published reference value\n"
    "  --lifetime        failure probability, lifetime, allowed service stress and proof stress\n"
    "                    needed by the power law of crack growth, as key<TAB>value lines with the\n"
    "                    range the 90 % bounds of n and m give; inputs typed or from a data file's\n"
    "                    batch (--from) or a sample's results in the results store (--sample, part\n"
    "                    of the name, any case; --since, --until on the test's date); typed options\n"
    "                    win; also --m-low, --m-high, --n-low, --n-high; defaults: length 1 km,\n"
    "                    proof time 1 s\n"
    "  --user-add NAME --role operator|reviewer|admin [--as ADMIN]\n"
    "                    add a user of the results store; the first user needs no --as, becomes\n"
    "                    the administrator and turns sign-in on; passwords are read from standard\n"
    "                    input, one line each: the administrator's, then the new one twice\n"
    "  --users           list the users, their roles and lock-outs, and the idle lock\n"
    "  --sign DATAFILE --as NAME --meaning reviewed|approved|rejected [--note TEXT]\n"
    "                    sign the store's results of a data file (a reviewer or an administrator;\n"
    "                    the password from standard input); five wrong passwords lock the user out\n"
    "  --signatures DATAFILE\n"
    "                    list the signatures of a data file: valid, or broken and by which change\n"
    "  --idle-lock MINUTES --as ADMIN\n"
    "                    the idle time after which the window locks (default 15)\n"
    "  --help, -h        print this text\n"
    "  --version         print the program's version\n"
    "\n"
    "Exit codes: 0 done, 1 no display or another instance runs, or a statistic that differs from its\n"
    "reference, 2 bad arguments or an unreadable file or results store, 3 results still wait for the\n"
    "lab database, 4 an audit trail that does not verify, a broken signature or --db-import found rows\n"
    "changed outside the program, 5 the lab database refused or cannot be reached, 6 a sign-in refused\n"
    "(wrong password, locked out, unknown user or a role without the right), 7 the results store's audit\n"
    "trail and the lab database's copy part ways (a store restored from a backup or copied to another PC:\n"
    "--db-restore brings it up to date).\n");
} // namespace StartupTexts
