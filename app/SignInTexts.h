#pragma once

#include <QString>

// What sign-in, the idle lock and the reasons for changes put before the operator.
namespace SignInTexts {
inline const QString SignInTitle = QStringLiteral("SIGN IN");
inline const QString SwitchTitle = QStringLiteral("SWITCH USER");
inline const QString LockedTitle = QStringLiteral("LOCKED");
inline const QString UserPrompt = QStringLiteral("User name:");
inline const QString LockedPrompt =
    QStringLiteral("STAVELY locked after %1 minutes without use. Sign in to go on.\r\rUser name:");
inline const QString LockedByHandPrompt =
    QStringLiteral("STAVELY is locked. Sign in to go on.\r\rUser name:");
inline const QString PasswordPrompt = QStringLiteral("Password of %1:");
inline const QString NoUserSignedIn = QStringLiteral("Nobody signed in: STAVELY ends.");
inline const QString SwitchUserMenu = QStringLiteral("S&witch user");
inline const QString LockMenu = QStringLiteral("&Lock");

inline const QString ReasonTitle = QStringLiteral("REASON FOR CHANGE");
inline QString ReasonPrompt(int row, const QString& what) {
    return QStringLiteral("Row ") + QString::number(row) + QStringLiteral(": ") + what +
           QStringLiteral(".\r\rWhy? The reason goes into the audit trail with the change.");
}
// The status bar while someone is signed in.
inline QString SignedInAs(const QString& name, const QString& role) {
    return QStringLiteral("Signed in: ") + name + QStringLiteral(" (") + role + QLatin1Char(')');
}
} // namespace SignInTexts
