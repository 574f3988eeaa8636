#include "store/LabSender.h"

#include "store/LabForwarder.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QTimer>
#include <atomic>

// The part that runs on the sender's thread: it owns the source, the connection and the timers.
class LabSender::Worker : public QObject {
public:
    Worker(LabSender& owner, const LabAddress& address, SourceFactory factory, Timing timing)
        : m_owner(owner), m_address(address), m_factory(std::move(factory)), m_timing(timing) {}

    void begin() {
        m_source = m_factory();
        static std::atomic<int> serial{0};
        m_forwarder = std::make_unique<LabForwarder>(m_address, *m_source,
                                                     QStringLiteral("stavely-lab-sender-%1").arg(++serial));
        m_poll = new QTimer(this);
        m_poll->setInterval(m_timing.pollMs);
        connect(m_poll, &QTimer::timeout, this, [this] { look(); });
        m_poll->start();
        attempt();
    }

    void finish() {
        delete m_poll;
        m_poll = nullptr;
        m_forwarder.reset();
        m_source.reset();
    }

    // New rows, or the moment for a retry: a pass when one is due.
    void look() {
        if (m_failed && QDateTime::currentMSecsSinceEpoch() < m_retryAt) {
            recount();
            return;
        }
        if (!m_failed && m_sourceOpened && m_source->lastSeq() == m_seenSeq)
            return;
        attempt();
    }

    // While the server is away, results that reach the store are counted at once; the connection
    // is not tried again before its pause is over.
    void recount() {
        if (!m_sourceOpened)
            return;
        const qint64 seq = m_source->lastSeq();
        if (seq == m_countedSeq)
            return;
        m_countedSeq = seq;
        m_status.waiting = m_forwarder->waiting();
        m_owner.publish(m_status);
    }

    void attempt() {
        // Rows that reach the store during the pass are looked for by the next one.
        const qint64 seqBefore = m_sourceOpened ? m_source->lastSeq() : -1;
        m_countedSeq = seqBefore;
        const LabForwarder::Pass pass = m_forwarder->pass();
        m_sourceOpened = m_forwarder->sourceOpen();
        LabStatus status;
        status.known = true;
        status.waiting = pass.waiting;
        status.error = pass.error;
        if (pass.error.fault == LabFault::None) {
            m_failed = false;
            m_delayMs = 0;
            m_since = QDateTime();
            m_seenSeq = seqBefore;
        } else {
            if (!m_failed)
                m_since = QDateTime::currentDateTime();
            m_failed = true;
            m_delayMs =
                m_delayMs == 0 ? m_timing.firstRetryMs : std::min(m_delayMs * 2, m_timing.longestRetryMs);
            m_retryAt = QDateTime::currentMSecsSinceEpoch() + m_delayMs;
            status.since = m_since;
        }
        m_status = status;
        m_owner.publish(status);
    }

private:
    LabSender& m_owner;
    LabAddress m_address;
    SourceFactory m_factory;
    Timing m_timing;
    std::unique_ptr<LabSource> m_source;
    std::unique_ptr<LabForwarder> m_forwarder;
    QTimer* m_poll = nullptr;
    bool m_sourceOpened = false;
    bool m_failed = false;
    int m_delayMs = 0;
    qint64 m_retryAt = 0;
    qint64 m_seenSeq = -1;
    qint64 m_countedSeq = -1;
    LabStatus m_status; // as last published
    QDateTime m_since;
};

LabSender::LabSender(const LabAddress& address, SourceFactory source, Timing timing, QObject* parent)
    : QObject(parent) {
    qRegisterMetaType<LabStatus>();
    m_thread.setObjectName(QStringLiteral("LabSender"));
    m_worker = new Worker(*this, address, std::move(source), timing);
    m_worker->moveToThread(&m_thread);
}

LabSender::~LabSender() {
    if (m_thread.isRunning()) {
        QMetaObject::invokeMethod(
            m_worker, [this] { m_worker->finish(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    delete m_worker;
}

void LabSender::start() {
    m_thread.start();
    QMetaObject::invokeMethod(
        m_worker, [this] { m_worker->begin(); }, Qt::QueuedConnection);
}

void LabSender::kick() {
    QMetaObject::invokeMethod(
        m_worker, [this] { m_worker->look(); }, Qt::QueuedConnection);
}

LabStatus LabSender::status() const {
    const QMutexLocker lock(&m_mutex);
    return m_status;
}

void LabSender::publish(const LabStatus& status) {
    bool changed = false;
    {
        const QMutexLocker lock(&m_mutex);
        changed = status.text() != m_status.text() || !m_status.known;
        m_status = status;
    }
    // Emitted from the worker's thread; receivers on the owner's thread get it queued.
    if (changed)
        emit statusChanged(status);
}
