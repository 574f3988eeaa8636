#pragma once

#include "store/ResultsDatabase.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <deque>
#include <functional>

// Works the results store on its own thread: takes jobs in order, writes each in one transaction,
// and on a failure keeps the job and everything after it, says so once and tries again later.
class StoreWorker : public QObject {
    Q_OBJECT
public:
    // A job returns false when the store failed; it is then run again, so it must be repeatable.
    using Job = std::function<bool(ResultsDatabase&)>;

    StoreWorker(const QString& path, int retryMs);

    // Thread of the worker only.
    void enqueue(Job job);
    void setRecordPath(ResultsDatabase::RecordPath recordPath) { m_db.setRecordPath(std::move(recordPath)); }
    void setPageLimit(int pages) { m_db.setPageLimit(pages); }
    // Runs what waits (bounded by the deadline) and closes the store: the end of the program.
    void finish(int waitMs);
    // Any thread: the job under way gives up when it is long (a first comparison of a big data file).
    void requestStop() { m_stopping.store(true); }

signals:
    // The first failure after a time of success, in words for the operator.
    void failed(const QString& reason);
    // Written again after a failure; count: jobs that waited.
    void recovered(int count);
    // Nothing waits.
    void drained();

private:
    void run();

    QString m_path;
    ResultsDatabase m_db;
    std::deque<Job> m_jobs;
    QTimer m_retry{this}; // a child, so that it moves to the store's thread with the worker
    bool m_failing = false;
    int m_waitedMax = 0;
    std::atomic<bool> m_stopping{false};
};
