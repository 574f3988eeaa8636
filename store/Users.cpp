#include "store/Users.h"

#include "store/PasswordHash.h"
#include "store/ResultsDatabase.h"
#include "store/TraceabilityTexts.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace Tr = TraceabilityTexts;

namespace {
const char* const UserTables[] = {
    "CREATE TABLE IF NOT EXISTS users(name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, role TEXT NOT NULL, "
    "password_hash TEXT NOT NULL, created_utc TEXT NOT NULL, failures INTEGER NOT NULL DEFAULT 0, "
    "locked_until TEXT NOT NULL DEFAULT '')",
};
const QString VersionKey = QStringLiteral("users_version");
const QString IdleKey = QStringLiteral("idle_lock_minutes");

QString utcText(const QDateTime& t) {
    return t.toUTC().toString(Qt::ISODate);
}
} // namespace

Users::Users(ResultsDatabase& db, QString systemUser)
    : m_db(db), m_systemUser(std::move(systemUser)), m_now([] { return QDateTime::currentDateTimeUtc(); }) {}

bool Users::fail(const QString& what) {
    m_error = what;
    return false;
}

const QStringList& Users::Roles() {
    static const QStringList roles = {Tr::RoleOperator, Tr::RoleReviewer, Tr::RoleAdmin};
    return roles;
}

QString Users::CheckName(const QString& name) {
    if (name.isEmpty() || name.size() > 64 || name.trimmed() != name)
        return Tr::BadName;
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return Tr::BadName;
    return {};
}

QString Users::CheckPassword(const QByteArray& password) {
    if (QString::fromUtf8(password).size() < MinPasswordLength)
        return Tr::ShortPassword.arg(MinPasswordLength);
    return {};
}

bool Users::ready() {
    m_error.clear();
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    for (const char* statement : UserTables)
        if (!q.exec(QLatin1String(statement)))
            return fail(q.lastError().text());
    const std::optional<QString> version = meta(VersionKey);
    if (!version)
        return false;
    if (version->toInt() > TablesVersion)
        return fail(QStringLiteral("the users of the results store were written by a newer version of the "
                                   "program"));
    return version->toInt() == TablesVersion || setMeta(VersionKey, QString::number(TablesVersion));
}

std::optional<QString> Users::meta(const QString& key) {
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.prepare(QStringLiteral("SELECT value FROM meta WHERE key = ?"));
    q.addBindValue(key);
    if (!q.exec()) {
        fail(q.lastError().text());
        return std::nullopt;
    }
    return q.next() ? q.value(0).toString() : QString(QLatin1String(""));
}

bool Users::setMeta(const QString& key, const QString& value) {
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES (?, ?)"));
    q.addBindValue(key);
    q.addBindValue(value);
    return q.exec() || fail(q.lastError().text());
}

bool Users::record(const QString& who, const QString& kind, const QString& what, const QString& before,
                   const QString& after) {
    m_db.setWho(m_systemUser, who);
    return m_db.addEvent(kind, what, before, after) || fail(m_db.error());
}

std::optional<bool> Users::signInOn() {
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    if (!q.exec(QStringLiteral("SELECT EXISTS(SELECT 1 FROM users)")) || !q.next()) {
        fail(q.lastError().text());
        return std::nullopt;
    }
    return q.value(0).toBool();
}

std::optional<QList<UserInfo>> Users::list() {
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    if (!q.exec(QStringLiteral("SELECT name, role, created_utc, failures, locked_until FROM users ORDER BY "
                               "created_utc, name"))) {
        fail(q.lastError().text());
        return std::nullopt;
    }
    QList<UserInfo> users;
    while (q.next())
        users.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toInt(),
                      q.value(4).toString()});
    return users;
}

std::optional<std::optional<UserInfo>> Users::find(const QString& name) {
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.prepare(
        QStringLiteral("SELECT name, role, created_utc, failures, locked_until FROM users WHERE name = ?"));
    q.addBindValue(name);
    if (!q.exec()) {
        fail(q.lastError().text());
        return std::nullopt;
    }
    if (!q.next())
        return std::optional<UserInfo>();
    return std::optional<UserInfo>(UserInfo{q.value(0).toString(), q.value(1).toString(),
                                            q.value(2).toString(), q.value(3).toInt(),
                                            q.value(4).toString()});
}

bool Users::add(const QString& name, const QString& role, const QByteArray& password,
                const QString& byAdmin) {
    m_error.clear();
    if (const QString bad = CheckName(name); !bad.isEmpty())
        return fail(bad);
    if (!Roles().contains(role))
        return fail(QStringLiteral("A role is operator, reviewer or admin."));
    if (const QString bad = CheckPassword(password); !bad.isEmpty())
        return fail(bad);
    const std::optional<bool> on = signInOn();
    if (!on)
        return false;
    const std::optional<std::optional<UserInfo>> admin =
        byAdmin.isEmpty() ? std::optional<std::optional<UserInfo>>(std::optional<UserInfo>()) : find(byAdmin);
    if (!admin)
        return false;
    // The first user turns sign-in on and is the administrator; after that only an administrator adds.
    if (*on && (!*admin || (*admin)->role != Tr::RoleAdmin))
        return fail(Tr::NeedsAdmin);
    const QString granted = *on ? role : Tr::RoleAdmin;
    const QByteArray hash = PasswordHash::Make(password);
    if (hash.isEmpty())
        return fail(QStringLiteral("the password could not be hashed (out of memory)"));
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.prepare(
        QStringLiteral("INSERT INTO users(name, role, password_hash, created_utc) VALUES (?, ?, ?, ?)"));
    q.addBindValue(name);
    q.addBindValue(granted);
    q.addBindValue(QString::fromLatin1(hash));
    q.addBindValue(utcText(m_now()));
    if (!q.exec()) {
        if (const std::optional<std::optional<UserInfo>> there = find(name); there && *there)
            return fail(Tr::UserExists.arg((*there)->name));
        return fail(q.lastError().text());
    }
    if (record(*on ? (*admin)->name : name, Tr::EventUserAdded, Tr::UserWhat(name), {}, granted))
        return true;
    // A user the trail does not name may not sign in.
    const QString why = m_error;
    q.prepare(QStringLiteral("DELETE FROM users WHERE name = ?"));
    q.addBindValue(name);
    q.exec();
    return fail(why);
}

Users::SignIn Users::signIn(const QString& name, const QByteArray& password, const QString& purpose) {
    SignIn out;
    const std::optional<std::optional<UserInfo>> found = find(name);
    if (!found) {
        out.message = m_error;
        return out;
    }
    const QDateTime now = m_now();
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    auto refuse = [&](Outcome outcome, const QString& message, const QString& logged) {
        out.outcome = outcome;
        out.message = message;
        if (!record(QString(), Tr::EventSignInRefused, Tr::UserWhat(name), purpose, logged)) {
            out.outcome = Outcome::Failed;
            out.message = m_error;
        }
        return out;
    };
    if (!*found)
        return refuse(Outcome::UnknownUser, Tr::UnknownUser.arg(name), QStringLiteral("unknown user"));
    out.user = **found;
    const QDateTime lockedUntil = QDateTime::fromString(out.user.lockedUntil, Qt::ISODate);
    // While locked out the password is not even checked: nothing can be learned by guessing on.
    if (lockedUntil.isValid() && lockedUntil > now)
        return refuse(
            Outcome::LockedOut,
            Tr::LockedOut.arg(out.user.name, lockedUntil.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                .arg(MaxFailures),
            QStringLiteral("locked out"));
    q.prepare(QStringLiteral("SELECT password_hash FROM users WHERE name = ?"));
    q.addBindValue(out.user.name);
    if (!q.exec() || !q.next()) {
        out.message = q.lastError().text();
        return out;
    }
    const QByteArray hash = q.value(0).toString().toLatin1();
    q.finish();
    if (PasswordHash::Matches(hash, password)) {
        q.prepare(QStringLiteral("UPDATE users SET failures = 0, locked_until = '' WHERE name = ?"));
        q.addBindValue(out.user.name);
        if (!q.exec()) {
            out.message = q.lastError().text();
            return out;
        }
        out.user.failures = 0;
        out.user.lockedUntil.clear();
        out.outcome = Outcome::Accepted;
        return out;
    }
    // A lock-out that has run out starts the count afresh.
    const int failures = (lockedUntil.isValid() ? 0 : out.user.failures) + 1;
    const bool lock = failures >= MaxFailures;
    const QString until = lock ? utcText(now.addSecs(qint64(LockoutMinutes) * 60)) : QStringLiteral("");
    q.prepare(QStringLiteral("UPDATE users SET failures = ?, locked_until = ? WHERE name = ?"));
    q.addBindValue(lock ? 0 : failures);
    q.addBindValue(until);
    q.addBindValue(out.user.name);
    if (!q.exec()) {
        out.message = q.lastError().text();
        return out;
    }
    out.user.failures = lock ? 0 : failures;
    out.user.lockedUntil = until;
    out.attemptsLeft = lock ? 0 : MaxFailures - failures;
    refuse(Outcome::WrongPassword, Tr::WrongPassword.arg(out.user.name).arg(out.attemptsLeft),
           QStringLiteral("wrong password (%1 of %2)").arg(failures).arg(MaxFailures));
    if (lock && out.outcome == Outcome::WrongPassword &&
        !record(QString(), Tr::EventUserLocked, Tr::UserWhat(out.user.name), {}, until)) {
        out.outcome = Outcome::Failed;
        out.message = m_error;
    }
    if (lock && out.outcome == Outcome::WrongPassword)
        out.message =
            Tr::LockedOut
                .arg(out.user.name,
                     QDateTime::fromString(until, Qt::ISODate).toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                .arg(MaxFailures);
    return out;
}

int Users::idleLockMinutes() {
    const std::optional<QString> value = meta(IdleKey);
    bool ok = false;
    const int minutes = value ? value->toInt(&ok) : 0;
    return ok && minutes >= 1 && minutes <= 24 * 60 ? minutes : DefaultIdleMinutes;
}

bool Users::setIdleLockMinutes(int minutes, const QString& byAdmin) {
    if (minutes < 1 || minutes > 24 * 60)
        return fail(QStringLiteral("The idle lock is 1 to 1440 minutes."));
    const std::optional<std::optional<UserInfo>> admin = find(byAdmin);
    if (!admin)
        return false;
    if (!*admin || (*admin)->role != Tr::RoleAdmin)
        return fail(Tr::NotAllowed.arg(byAdmin, *admin ? (*admin)->role : QStringLiteral("unknown"),
                                       QStringLiteral("set the idle lock")));
    const int before = idleLockMinutes();
    return setMeta(IdleKey, QString::number(minutes)) &&
           record((*admin)->name, Tr::EventIdleLock, QStringLiteral("idle lock"), QString::number(before),
                  QString::number(minutes));
}
