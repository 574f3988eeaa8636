#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <functional>

class Operator;
class SettingsStore;
class QUrl;

// The check for a newer version: fetches "versions.txt" from the download folder and tells the
// operator what it says. The download itself is left to the operator; only its address goes to the
// clipboard.
class UpdateCheck : public QObject {
    Q_OBJECT
public:
    static constexpr int TimeoutMs = 20000;

    struct Fetched {
        QByteArray body;
        QString error; // empty when the whole file arrived
    };

    UpdateCheck(Operator& op, const SettingsStore& settings, const QString& title, const QString& version,
                QObject* parent = nullptr);

    // The download folder: STAVELY_UPDATE_URL, else the UpdateServer setting, else the default;
    // always ending in "/".
    QString ServerAddress() const;

    // A second request while one waits offers to cancel the one that waits.
    void checkForNewerVersion();
    // Whether a redirect from one address to another may be followed: the same scheme, or from
    // http up to https; never down, never to another kind of address.
    static bool RedirectAllowed(const QUrl& from, const QUrl& to);
    // Fetches the whole text at an http or https address within the time-out.
    Fetched fetch(const QUrl& url);

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    // Where the download address goes (the system clipboard unless replaced).
    void setClipboard(std::function<void(const QString&)> sink) { m_clipboard = std::move(sink); }
    bool busy() const { return m_busy; }
    // Where the wait is shown (a status line); an empty text ends it.
    void setWaitNotice(std::function<void(const QString&)> notice) { m_waitNotice = std::move(notice); }

private:
    Operator& m_op;
    const SettingsStore& m_settings;
    QString m_title;
    QString m_version;
    QNetworkAccessManager m_network;
    std::function<void(const QString&)> m_clipboard;
    std::function<void(const QString&)> m_waitNotice;
    int m_timeoutMs = TimeoutMs;
    bool m_busy = false;
    bool m_cancelled = false;
    std::function<void()> m_abort;
};
