#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <functional>
#include <memory>

class QThread;
class QObject;
class PseudoTerminal;
class QTimer;

// How the peer answers one command line.
struct PeerRule {
    QByteArray reply;                                  // empty: stay silent
    std::function<QByteArray(const QByteArray&)> make; // builds the reply from the line, when set
    int delayMs = 0;                                   // before the first byte
    int chunkSize = 0;                                 // 0: the whole reply at once
    int chunkGapMs = 0;                                // between chunks
    int times = -1;                                    // commands this rule answers; -1 every one
};

// The instrument's end of a pseudo-terminal, run in its own thread so the program under test can
// block in its serial waits. Records every byte it receives and answers command lines (split at CR)
// by rules keyed on the command letter; the first rule of a letter with answers left is used.
class ScriptedPeer {
public:
    ScriptedPeer();
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // Creates the terminal and a link to it at linkPath.
    bool open(const QString& linkPath);
    // The device disappears (as a pulled adapter): terminal closed, link removed.
    void vanish();
    QString devicePath() const;

    void on(char letter, const PeerRule& rule);
    void reply(char letter, const QByteArray& bytes, int times = -1);
    void silence(char letter, int times = 1);
    // Sends bytes unasked after delayMs.
    void send(const QByteArray& bytes, int delayMs = 0);

    QByteArray received() const;
    QList<QByteArray> lines() const; // complete lines received, without their CR
    void clearReceived();
    // Lets the test's event loop run until at least count bytes have arrived.
    bool waitForReceived(qsizetype count, int timeoutMs = 3000) const;

private:
    void onInput(const QByteArray& bytes);
    void schedule(const QByteArray& bytes, int delayMs);
    void flushDue();
    void armTimer();

    struct Pending {
        qint64 dueMs;
        QByteArray bytes;
    };
    struct KeyedRule {
        char letter;
        PeerRule rule;
    };

    QThread* m_thread;
    QObject* m_context;                   // lives in m_thread
    PseudoTerminal* m_terminal = nullptr; // lives in m_thread
    QTimer* m_timer = nullptr;            // lives in m_thread
    mutable QMutex m_mutex;
    QList<KeyedRule> m_rules;
    QByteArray m_received;
    QByteArray m_partialLine;
    QList<QByteArray> m_lines;
    QList<Pending> m_pending; // thread-owned
    QString m_devicePath;
};
