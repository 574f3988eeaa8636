#include "app/SignInGuard.h"

#include "app/SignInTexts.h"
#include "base/Operator.h"
#include "store/PasswordHash.h"
#include "store/ResultsDatabase.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <algorithm>

namespace S = SignInTexts;

namespace {
// While something is on the screen or the capstans move, the lock looks again this often.
constexpr int BusyRetryMs = 5000;
} // namespace

SignInGuard::SignInGuard(Operator& op, QString storePath, QString systemUser, QObject* parent)
    : QObject(parent), m_op(op), m_storePath(std::move(storePath)), m_systemUser(std::move(systemUser)) {
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, [this] { idleTimeout(); });
}

bool SignInGuard::on() {
    m_on = false;
    if (!QFileInfo::exists(m_storePath))
        return false;
    ResultsDatabase db;
    if (!db.open(m_storePath))
        return false;
    Users users(db, m_systemUser);
    const std::optional<bool> any = users.ready() ? users.signInOn() : std::nullopt;
    m_on = any.value_or(false);
    m_idleMinutes = m_on ? users.idleLockMinutes() : Users::DefaultIdleMinutes;
    return m_on;
}

Users::SignIn SignInGuard::check(const QString& name, const QByteArray& password, const QString& purpose) {
    ResultsDatabase db;
    Users::SignIn out;
    if (!db.open(m_storePath)) {
        out.message = db.error();
        return out;
    }
    Users users(db, m_systemUser);
    if (!users.ready()) {
        out.message = users.error();
        return out;
    }
    return users.signIn(name, password, purpose);
}

std::optional<UserInfo> SignInGuard::ask(const QString& title, const QString& prompt,
                                         const QString& purpose) {
    QString name = m_user ? m_user->name : QString();
    for (;;) {
        if (!m_op.watched())
            return std::nullopt;
        const std::optional<QString> typed = m_op.inputBox(prompt, title, name);
        if (!typed)
            return std::nullopt;
        name = typed->trimmed();
        if (name.isEmpty())
            continue;
        const std::optional<QString> password = m_op.passwordBox(S::PasswordPrompt.arg(name), title);
        if (!password)
            continue;
        QByteArray bytes = password->toUtf8();
        const Users::SignIn result = check(name, bytes, purpose);
        PasswordHash::Wipe(bytes);
        if (result.outcome == Users::Outcome::Accepted)
            return result.user;
        m_op.msgBox(result.message, MsgStyle::OkOnly | MsgStyle::Exclamation, title);
        if (result.outcome == Users::Outcome::Failed)
            return std::nullopt;
    }
}

bool SignInGuard::signIn(const QString& title) {
    const std::optional<UserInfo> who = ask(title, S::UserPrompt, QStringLiteral("sign in"));
    if (!who)
        return false;
    m_user = who;
    m_locked = false;
    if (m_signedIn)
        m_signedIn(*m_user);
    if (m_idleMs > 0)
        m_idle.start(m_idleMs);
    return true;
}

bool SignInGuard::switchUser() {
    return signIn(S::SwitchTitle);
}

void SignInGuard::lock(bool byHand) {
    if (!m_on || m_locked)
        return;
    if (m_busy && m_busy()) {
        m_idle.start(std::min(BusyRetryMs, m_idleMs > 0 ? m_idleMs : BusyRetryMs));
        return;
    }
    m_locked = true;
    m_idle.stop();
    // Nobody works on until someone signs in; a program nobody watches stays locked.
    while (m_locked && m_op.watched()) {
        const std::optional<UserInfo> who =
            ask(S::LockedTitle, byHand ? S::LockedByHandPrompt : S::LockedPrompt.arg(m_idleMinutes),
                QStringLiteral("unlock"));
        if (!who)
            continue;
        m_user = who;
        m_locked = false;
        if (m_signedIn)
            m_signedIn(*m_user);
    }
    if (!m_locked && m_idleMs > 0)
        m_idle.start(m_idleMs);
}

void SignInGuard::idleTimeout() {
    lock();
}

void SignInGuard::watchIdle(int minutes) {
    m_idleMinutes = minutes;
    setIdleMs(minutes * 60 * 1000);
}

void SignInGuard::setIdleMs(int ms) {
    m_idleMs = std::max(ms, 0);
    QCoreApplication::instance()->removeEventFilter(this);
    if (m_idleMs == 0) {
        m_idle.stop();
        return;
    }
    m_idle.start(m_idleMs);
    QCoreApplication::instance()->installEventFilter(this);
}

bool SignInGuard::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        if (!m_locked && m_idleMs > 0)
            m_idle.start(m_idleMs);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

std::optional<QString> SignInGuard::askReason(int rowNumber, const QString& what) {
    if (!m_on)
        return QString();
    for (;;) {
        if (!m_op.watched())
            return std::nullopt;
        const std::optional<QString> reason =
            m_op.inputBox(S::ReasonPrompt(rowNumber, what), S::ReasonTitle, {});
        if (!reason)
            return std::nullopt;
        if (!reason->trimmed().isEmpty())
            return reason->trimmed();
    }
}
