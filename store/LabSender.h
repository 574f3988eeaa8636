#pragma once

#include "store/LabAddress.h"
#include "store/LabSource.h"
#include "store/LabStatus.h"

#include <QMutex>
#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

// Store and forward: a thread of its own with its own connections reads what waits in the local store
// and sends it to the lab database, never touching the window's thread. New rows are found within a
// fraction of a second (or at once after kick()); a failed attempt is retried after a pause that
// doubles up to a ceiling, so an absent server costs nothing while it is away.
class LabSender : public QObject {
    Q_OBJECT
public:
    using SourceFactory = std::function<std::unique_ptr<LabSource>()>;

    struct Timing {
        int pollMs = 250;       // how often the store is looked at for new rows
        int firstRetryMs = 500; // the pause after the first failure
        int longestRetryMs = 30000;
    };

    LabSender(const LabAddress& address, SourceFactory source, Timing timing, QObject* parent = nullptr);
    LabSender(const LabAddress& address, SourceFactory source, QObject* parent = nullptr)
        : LabSender(address, std::move(source), Timing(), parent) {}
    // Waits for a send in progress (at most the connection time-out), then ends the thread.
    ~LabSender() override;

    void start();
    // Look for new rows now (a row has just reached the store). Any thread.
    void kick();
    LabStatus status() const;

signals:
    // On the thread that made the sender, whenever the text would change.
    void statusChanged(const LabStatus& status);

private:
    class Worker;
    void publish(const LabStatus& status);

    QThread m_thread;
    Worker* m_worker = nullptr; // lives on m_thread
    mutable QMutex m_mutex;
    LabStatus m_status;
};
