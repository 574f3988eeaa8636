#pragma once

#include "store/Users.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

class Operator;

// Who works the program when the results store has users: asks for sign-in at start, switches user,
// locks after an idle time (a run in progress goes on and files its result: the lock waits for it)
// and asks for the reason of a change to a recorded result. Off when the store has no users.
class SignInGuard : public QObject {
    Q_OBJECT
public:
    SignInGuard(Operator& op, QString storePath, QString systemUser, QObject* parent = nullptr);

    // Reads whether sign-in is on; a store that cannot be read leaves it off (the typed name works).
    bool on();
    // Signs someone in: false when nobody did (cancelled, or nobody can answer).
    bool signIn(const QString& title);
    bool switchUser();
    // Locks now (at once, or as soon as the work in progress lets it); byHand: from the menu.
    void lock(bool byHand = false);
    const std::optional<UserInfo>& user() const { return m_user; }

    // The reason for a change of row rowNumber (nullopt: cancelled, the change is not made).
    std::optional<QString> askReason(int rowNumber, const QString& what);

    // What counts as work the lock waits for (a move, a question on the screen).
    void setBusy(std::function<bool()> busy) { m_busy = std::move(busy); }
    // Told each time a user signs in.
    void setSignedIn(std::function<void(const UserInfo&)> signedIn) { m_signedIn = std::move(signedIn); }
    // Starts watching the operator's input for the idle lock.
    void watchIdle(int minutes);
    // Tests: the idle time in milliseconds.
    void setIdleMs(int ms);
    bool locked() const { return m_locked; }
    int idleMinutes() const { return m_idleMinutes; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Users::SignIn check(const QString& name, const QByteArray& password, const QString& purpose);
    std::optional<UserInfo> ask(const QString& title, const QString& prompt, const QString& purpose);
    void idleTimeout();

    Operator& m_op;
    QString m_storePath;
    QString m_systemUser;
    std::optional<UserInfo> m_user;
    std::function<bool()> m_busy;
    std::function<void(const UserInfo&)> m_signedIn;
    QTimer m_idle;
    int m_idleMinutes = Users::DefaultIdleMinutes;
    int m_idleMs = 0;
    bool m_on = false;
    bool m_locked = false;
};
