#include "store/StoreWorker.h"

#include <QDeadlineTimer>

StoreWorker::StoreWorker(const QString& path, int retryMs) : m_path(path) {
    m_db.setStopFlag(&m_stopping);
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryMs);
    connect(&m_retry, &QTimer::timeout, this, &StoreWorker::run);
}

void StoreWorker::enqueue(Job job) {
    m_jobs.push_back(std::move(job));
    // While the store fails, the retry timer decides when to try again.
    if (!m_retry.isActive())
        run();
}

void StoreWorker::run() {
    while (!m_jobs.empty()) {
        if (!m_db.isOpen() && !m_db.open(m_path)) {
            break;
        }
        if (!m_jobs.front()(m_db)) {
            if (m_stopping.load())
                return; // the program ends: finish() takes over
            // A store that failed once is opened afresh: the file may have been replaced or repaired.
            const QString reason = m_db.error();
            m_db.close();
            m_db.setWho({}, {});
            if (!m_failing) {
                m_failing = true;
                emit failed(reason);
            }
            break;
        }
        m_jobs.pop_front();
    }
    if (m_jobs.empty()) {
        if (m_failing) {
            m_failing = false;
            emit recovered(m_waitedMax);
            m_waitedMax = 0;
        }
        emit drained();
        return;
    }
    if (!m_db.isOpen() && !m_failing) {
        m_failing = true;
        emit failed(m_db.error());
    }
    m_waitedMax = std::max(m_waitedMax, int(m_jobs.size()));
    m_retry.start();
}

void StoreWorker::finish(int waitMs) {
    const QDeadlineTimer deadline(waitMs);
    m_retry.stop();
    while (!m_jobs.empty() && !deadline.hasExpired()) {
        if (!m_db.isOpen() && !m_db.open(m_path))
            break;
        // A comparison abandoned at the program's end is made again at the next opening of its file;
        // what comes after it is still written.
        if (!m_jobs.front()(m_db) && !m_stopping.load())
            break;
        m_jobs.pop_front();
    }
    m_db.close();
}
