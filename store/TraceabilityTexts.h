#pragma once

#include <QString>

// What users, sign-in and signatures write in the audit trail and say on the command line.
namespace TraceabilityTexts {
// Audit trail entry kinds.
inline const QString EventUserAdded = QStringLiteral("user added");
inline const QString EventSignInRefused = QStringLiteral("sign-in refused");
inline const QString EventUserLocked = QStringLiteral("user locked out");
inline const QString EventSigned = QStringLiteral("signature");
inline const QString EventReason = QStringLiteral("reason for change");
inline const QString EventIdleLock = QStringLiteral("idle lock set");

// The "what" of an entry about a user.
inline QString UserWhat(const QString& name) {
    return QStringLiteral("user ") + name;
}

inline const QString RoleOperator = QStringLiteral("operator");
inline const QString RoleReviewer = QStringLiteral("reviewer");
inline const QString RoleAdmin = QStringLiteral("admin");

inline const QString MeaningReviewed = QStringLiteral("reviewed");
inline const QString MeaningApproved = QStringLiteral("approved");
inline const QString MeaningRejected = QStringLiteral("rejected");

inline const QString BadName =
    QStringLiteral("A user name is 1 to 64 characters, without control characters or spaces at its ends.");
inline const QString ShortPassword = QStringLiteral("A password has at least %1 characters.");
inline const QString PasswordsDiffer = QStringLiteral("The two passwords differ: nothing was changed.");
inline const QString UserExists = QStringLiteral("There is a user \"%1\" already.");
inline const QString UnknownUser = QStringLiteral("There is no user \"%1\".");
inline const QString WrongPassword =
    QStringLiteral("Wrong password for \"%1\": refused and recorded (%2 more before a lock-out).");
inline const QString LockedOut = QStringLiteral(
    "The user \"%1\" is locked out until %2 UTC after %3 wrong passwords: refused and recorded.");
inline const QString NotAllowed = QStringLiteral("The user \"%1\" (%2) may not %3.");
inline const QString NeedsAdmin =
    QStringLiteral("Adding a user needs an administrator: --as ADMIN (the first user needs none).");

// Why a signature no longer holds.
inline const QString BrokenBy = QStringLiteral("broken by the change of row %1 on %2 by %3 (%4)");
inline const QString BrokenUnrecorded =
    QStringLiteral("broken: row %1 changed with no entry in the audit trail");
inline const QString BrokenRecord = QStringLiteral("broken: the signature's own record does not add up");
inline const QString NoReason = QStringLiteral("no reason given");
} // namespace TraceabilityTexts
