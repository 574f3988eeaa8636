#pragma once

#include <QString>

// What the results store says to the operator and on the command line.
namespace StoreTexts {
inline const QString StatusFailed =
    QStringLiteral("Results store not written, tried again (the data file has every result): %1");
inline const QString StatusRecovered =
    QStringLiteral("Results store written again: %1 waiting entries caught up.");
inline const QString NotDatabase =
    QStringLiteral("the file \"%1\" is not a results store (not an SQLite database)");
inline const QString Damaged = QStringLiteral("the results store \"%1\" is damaged (%2)");
inline const QString ReadOnly = QStringLiteral("the results store \"%1\" cannot be written (read-only)");
inline const QString DiscFull = QStringLiteral("the disc of the results store \"%1\" is full");
inline const QString NotOpened = QStringLiteral("the results store \"%1\" cannot be opened (%2)");
inline const QString Failed = QStringLiteral("the results store \"%1\" failed (%2)");
inline const QString Interrupted =
    QStringLiteral("the comparison of a data file with the results store \"%1\" was left for the next start");
inline const QString NewerSchema =
    QStringLiteral("the results store \"%1\" was written by a newer version of the program");
inline const QString EmptyStore =
    QStringLiteral("The results store \"%1\" is empty (0 bytes): it holds no results and no audit trail.");
inline const QString DamagedNoWrite = QStringLiteral(
    "The results store \"%1\" is damaged (%2): nothing is exported from it or written into it.");
inline const QString PagesDamaged = QStringLiteral("Audit trail broken: the store's pages are damaged (%1)");
inline const QString RebuildHint =
    QStringLiteral("Keep the file as it is (it holds the audit trail) and run: stavely --db-restore, which "
                   "rebuilds the store from the lab database; without a lab database, put back the last "
                   "backup of the store");
inline const QString OtherComputer = QStringLiteral(
    "the results store \"%1\" belongs to the computer \"%2\": it was copied here (a cloned disc?), and two "
    "computers must not write one audit trail. On this computer move the file aside: the program then "
    "starts a store of its own. If this computer replaces that one, run: stavely --db-restore");
inline const QString CopyGap = QStringLiteral("the lab database's copy of the audit trail lacks entry %1");
inline const QString CopyBroken = QStringLiteral("the lab database's copy of the audit trail does not "
                                                 "verify at %1: %2");
inline const QString OwnTrailBroken = QStringLiteral(
    "the audit trail of the store does not verify (%1); run stavely --db-restore to rebuild it");

inline const QString RestoreNeedsLab = QStringLiteral(
    "--db-restore takes the audit trail from the lab database: name it with --db URI or the option "
    "\"Lab database\".");
inline const QString RestoreNeedsInstrument =
    QStringLiteral("The results store \"%1\" cannot be read: name the instrument whose trail to restore "
                   "with --instrument ID (the id the lab database lists for this tester).");
inline const QString RestoreNothing =
    QStringLiteral("The lab database holds no audit trail of instrument %1.");
inline const QString RestoreUpToDate =
    QStringLiteral("Results store brought up to date from the lab database: %1 entries taken in, %2 entries "
                   "of its own chained after them (%3 results it had filed again were the lab database's).");
inline const QString RestoreRebuilt =
    QStringLiteral("Results store rebuilt from the lab database: %1 entries, %2 results of instrument %3.");
inline const QString RestoreKeptAside = QStringLiteral("The old store is kept as \"%1\".");
inline const QString RestoreNotMoved = QStringLiteral(
    "The rebuilt store \"%1\" could not be put in the place of \"%2\": move it there by hand.");

inline const QString ChangedOutsideTitle = QStringLiteral("DATA FILE CHANGED OUTSIDE THE PROGRAM");
inline const QString ChangedOutsideIntro =
    QStringLiteral("The data file \"%1\" differs from the results store in %2 row(s) changed outside this "
                   "program (by another program or by hand):");
inline const QString ChangedOutsideEnd =
    QStringLiteral("The file is kept as it is now; the changes are recorded in the audit trail.");
inline const QString MoreRows = QStringLiteral("... and %1 more");

// Event kinds, as the audit trail and --history name them.
inline const QString EventAdded = QStringLiteral("result added");
inline const QString EventComment = QStringLiteral("comment edited");
inline const QString EventIgnore = QStringLiteral("row marked ignore");
inline const QString EventDeleted = QStringLiteral("row deleted");
inline const QString EventSortRewrite = QStringLiteral("file rewritten in sorted order");
inline const QString EventOpened = QStringLiteral("data file opened");
inline const QString EventSavedAs = QStringLiteral("data file saved under a new name");
inline const QString EventCalibration = QStringLiteral("calibration changed");
inline const QString EventOption = QStringLiteral("option changed");
inline const QString EventChangedOutside = QStringLiteral("row changed outside the program");
inline const QString EventRemovedOutside = QStringLiteral("row removed outside the program");
inline const QString EventAddedOutside = QStringLiteral("row added outside the program");
inline const QString EventPlacedAgain = QStringLiteral("row placed again (its result was stored)");

inline const QString WindowTitle = QStringLiteral("Results store");
inline const QString TrailTitle = QStringLiteral("Audit trail");
} // namespace StoreTexts
