#pragma once

#include <QString>

// Texts of the lab database, shown on the status bar, in messages and by the headless commands.
namespace LabTexts {
inline const QString NoAddress =
    QStringLiteral("No lab database is set: give --db URI or the option \"Lab database\".");
inline const QString BadAddress =
    QStringLiteral("The lab database address is not a PostgreSQL connection string or URI (at \"%1\").");
inline const QString UnknownAddressKey =
    QStringLiteral("The lab database address names an unknown setting \"%1\".");
inline const QString PasswordInAddress =
    QStringLiteral("The lab database address must not hold a password: put it in ~/.pgpass (or the file "
                   "PGPASSFILE names) instead.");
inline const QString NoDriver =
    QStringLiteral("Qt's PostgreSQL driver is not installed (Debian package libqt6sql6-psql).");

// Why the server refused or could not be reached; %1 the address (user@host:port/database).
inline const QString Unreachable = QStringLiteral("The lab database server %1 cannot be reached: %2");
inline const QString WrongPassword =
    QStringLiteral("The lab database %1 refused the password (wrong password in ~/.pgpass or PGPASSFILE).");
inline const QString NoPassword =
    QStringLiteral("The lab database %1 asks for a password and none is set: add it to ~/.pgpass (or the "
                   "file PGPASSFILE names).");
inline const QString TlsNotOffered =
    QStringLiteral("The lab database server %1 does not offer TLS, which the address requires (sslmode=%2).");
inline const QString UnknownLogin =
    QStringLiteral("The lab database %1 does not know this login or database: %2");
inline const QString NoRights = QStringLiteral(
    "The lab database %1 refused: the login has no right to %2 (it needs the role stavely_tester).");
inline const QString NoSchema =
    QStringLiteral("The lab database %1 has no STAVELY tables: the administrator runs stavely --db-init.");
inline const QString OlderSchema =
    QStringLiteral("The lab database %1 has tables of version %2; this program "
                   "needs version %3: the administrator runs stavely --db-init.");
inline const QString NewerSchema = QStringLiteral(
    "The lab database %1 has tables of version %2, newer than this program's %3: update the program.");
inline const QString ServerError = QStringLiteral("The lab database %1 answered: %2");
inline const QString MissingColumn =
    QStringLiteral("The lab database %1 lacks a column or function of this program's tables (%2): the "
                   "administrator runs stavely --db-init.");
inline const QString OtherInstrument =
    QStringLiteral("The lab database %1 refused: %2. Each instrument's results are sent by one login; the "
                   "administrator registers it with stavely --db-register-tester.");
inline const QString ServerRefusedEntries = QStringLiteral(
    "The lab database %1 refused the audit trail: %2. The results stay in the store; nothing was lost.");

// The store's trail and the server's copy of it part ways: %1 the entry, %2 the address.
inline const QString Diverged = QStringLiteral(
    "The results store was restored from a backup or copied from another PC: its audit trail and the lab "
    "database's copy (%2) differ from entry %1 on. Nothing more is sent from it until stavely --db-restore "
    "brings it up to date; its results stay in the store and none is lost.");
inline const QString Behind = QStringLiteral(
    "The results store was restored from a backup: the lab database %2 holds entries up to %1 of its audit "
    "trail that the store no longer has. Nothing more is sent from it until stavely --db-restore brings it "
    "up "
    "to date; its results stay in the store and none is lost.");
inline const QString StoreUnreadable = QStringLiteral("The results store cannot be read: %1");

inline const QString SchemaFileMissing = QStringLiteral("The lab database schema file %1 is missing.");
inline const QString Initialised = QStringLiteral("Lab database %1: tables of version %2 ready.\n");

// Status bar.
inline const QString StatusUpToDate = QStringLiteral("Lab database: up to date");
inline const QString StatusWaitingOne = QStringLiteral("Lab database: 1 result waiting");
inline const QString StatusWaiting = QStringLiteral("Lab database: %1 results waiting");
inline const QString StatusUnreachableSince = QStringLiteral(" (server unreachable since %1)");
inline const QString StatusRefusedSince = QStringLiteral(" (refused since %1: %2)");
inline const QString StatusHeldSince = QStringLiteral(" (held back since %1: %2)");
inline const QString StatusSending = QStringLiteral(" (sending)");
inline const QString StatusStoreUnreadable = QStringLiteral("Lab database: nothing sent (%1)");

// Exit.
inline const QString ExitTitle = QStringLiteral("LAB DATABASE");
inline const QString WaitingAtExit = QStringLiteral(
    "%1 results have not reached the lab database yet; they are kept and sent on the next start.");
inline const QString WaitingAtExitOne =
    QStringLiteral("1 result has not reached the lab database yet; it is kept and sent on the next start.");

// --db-sync.
// Results sent, audit entries sent, results waiting.
inline const QString SyncSummary = QStringLiteral("sent\t%1\nentries sent\t%2\nwaiting\t%3\n");

// --db-register-tester.
inline const QString Registered = QStringLiteral("Lab database %1: %2 may send results.\n");
inline const QString RegisteredInstrument =
    QStringLiteral("Lab database %1: %2 may send results; the instrument %3 sends as %2 only.\n");

// --audit-verify --db: the heads each side acknowledged.
inline const QString ServerCut = QStringLiteral(
    "entry %1: missing; the server acknowledged the trail up to it, and its copy now ends at entry %2");
inline const QString ServerHeadDiffers =
    QStringLiteral("entry %1: differs from the entry the server acknowledged");
inline const QString StoreLacksServerHead =
    QStringLiteral("the results store lacks entries up to %1 that the lab database holds and acknowledged: "
                   "its tail was cut, or it was restored from a backup");
inline const QString ServerLacksStoreHead =
    QStringLiteral("the lab database lacks entry %1, which it acknowledged to this store: its copy was cut");
} // namespace LabTexts
