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
inline const QString NewerSchema =
    QStringLiteral("the results store \"%1\" was written by a newer version of the program");
inline const QString RebuildHint =
    QStringLiteral("Move the file aside and run: stavely --db-import DATAFILE...");

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

inline const QString WindowTitle = QStringLiteral("Results store");
inline const QString TrailTitle = QStringLiteral("Audit trail");
} // namespace StoreTexts
