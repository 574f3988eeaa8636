#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class ResultsDatabase;

// One user as the store keeps it (the password only as its slow hash, never read out).
struct UserInfo {
    QString name;
    QString role; // TraceabilityTexts::Role...
    QString createdUtc;
    int failures = 0;    // wrong passwords since the last accepted one
    QString lockedUntil; // ISO UTC; empty or past: not locked
};

// The users of a results store and their sign-in. Sign-in is off until the first user is added;
// that user is the administrator. Kept in tables of their own beside the results; every change
// and every refused sign-in is an entry of the audit trail.
class Users {
public:
    static constexpr int TablesVersion = 1;
    static constexpr int MaxFailures = 5;
    static constexpr int LockoutMinutes = 15;
    static constexpr int MinPasswordLength = 8;
    static constexpr int DefaultIdleMinutes = 15;

    enum class Outcome { Accepted, WrongPassword, LockedOut, UnknownUser, Failed };
    struct SignIn {
        Outcome outcome = Outcome::Failed;
        UserInfo user;
        int attemptsLeft = 0; // after a wrong password
        QString message;      // for the operator; never holds the password
    };

    // db must be open; systemUser: the account the entries name.
    Users(ResultsDatabase& db, QString systemUser);

    // Creates the tables when missing (an older store gains them in place); false with error().
    bool ready();
    QString error() const { return m_error; }

    static const QStringList& Roles();
    // Empty when the name can be a user's, else why not.
    static QString CheckName(const QString& name);
    // Empty when the password is long enough, else why not (never echoing it).
    static QString CheckPassword(const QByteArray& password);

    // Whether sign-in is on: some user exists (nullopt: the store failed).
    std::optional<bool> signInOn();
    std::optional<QList<UserInfo>> list();
    std::optional<std::optional<UserInfo>> find(const QString& name);

    // Adds a user; byAdmin names the administrator who does (empty for the first user, who becomes the
    // administrator whatever role was asked). False with error().
    bool add(const QString& name, const QString& role, const QByteArray& password, const QString& byAdmin);
    // Checks a password; a wrong one counts towards the lock-out and is recorded with purpose.
    SignIn signIn(const QString& name, const QByteArray& password, const QString& purpose);

    // The idle time after which the screen locks (minutes); set by an administrator.
    int idleLockMinutes();
    bool setIdleLockMinutes(int minutes, const QString& byAdmin);

    // Tests: the clock lock-outs are measured on.
    void setClock(std::function<QDateTime()> now) { m_now = std::move(now); }

private:
    bool fail(const QString& what);
    bool record(const QString& who, const QString& kind, const QString& what, const QString& before,
                const QString& after);
    std::optional<QString> meta(const QString& key);
    bool setMeta(const QString& key, const QString& value);

    ResultsDatabase& m_db;
    QString m_systemUser;
    QString m_error;
    std::function<QDateTime()> m_now;
};
