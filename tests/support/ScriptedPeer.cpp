#include "tests/support/ScriptedPeer.h"

#include "sim/PseudoTerminal.h"

#include <QElapsedTimer>
#include <QMutexLocker>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <chrono>

namespace {
qint64 nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

template <class F> void runIn(QObject* context, F&& f) {
    QMetaObject::invokeMethod(context, std::forward<F>(f), Qt::BlockingQueuedConnection);
}
} // namespace

ScriptedPeer::ScriptedPeer() : m_thread(new QThread), m_context(new QObject) {
    m_context->moveToThread(m_thread);
    m_thread->start();
    runIn(m_context, [this] {
        m_terminal = new PseudoTerminal(m_context);
        m_timer = new QTimer(m_context);
        m_timer->setSingleShot(true);
        m_timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_timer, &QTimer::timeout, m_context, [this] { flushDue(); });
        QObject::connect(m_terminal, &PseudoTerminal::readyRead, m_context,
                         [this] { onInput(m_terminal->readAll()); });
    });
}

ScriptedPeer::~ScriptedPeer() {
    runIn(m_context, [this] {
        delete m_timer;
        delete m_terminal; // closes the terminal and removes its link
    });
    m_thread->quit();
    m_thread->wait();
    delete m_context;
    delete m_thread;
}

bool ScriptedPeer::open(const QString& linkPath) {
    bool ok = false;
    runIn(m_context, [&] {
        ok = m_terminal->open(linkPath);
        QMutexLocker lock(&m_mutex);
        m_devicePath = m_terminal->devicePath();
    });
    return ok;
}

void ScriptedPeer::vanish() {
    runIn(m_context, [this] {
        m_timer->stop();
        m_pending.clear();
        m_terminal->close();
    });
}

QString ScriptedPeer::devicePath() const {
    QMutexLocker lock(&m_mutex);
    return m_devicePath;
}

void ScriptedPeer::on(char letter, const PeerRule& rule) {
    QMutexLocker lock(&m_mutex);
    m_rules.append({letter, rule});
}

void ScriptedPeer::reply(char letter, const QByteArray& bytes, int times) {
    PeerRule rule;
    rule.reply = bytes;
    rule.times = times;
    on(letter, rule);
}

void ScriptedPeer::silence(char letter, int times) {
    PeerRule rule;
    rule.times = times;
    on(letter, rule);
}

void ScriptedPeer::send(const QByteArray& bytes, int delayMs) {
    runIn(m_context, [&] { schedule(bytes, delayMs); });
}

QByteArray ScriptedPeer::received() const {
    QMutexLocker lock(&m_mutex);
    return m_received;
}

QList<QByteArray> ScriptedPeer::lines() const {
    QMutexLocker lock(&m_mutex);
    return m_lines;
}

void ScriptedPeer::clearReceived() {
    QMutexLocker lock(&m_mutex);
    m_received.clear();
    m_lines.clear();
    m_partialLine.clear();
}

bool ScriptedPeer::waitForReceived(qsizetype count, int timeoutMs) const {
    return QTest::qWaitFor([&] { return received().size() >= count; }, timeoutMs);
}

// In the peer's thread from here on.

void ScriptedPeer::onInput(const QByteArray& bytes) {
    QList<PeerRule> answers;
    QList<QByteArray> commandLines;
    {
        QMutexLocker lock(&m_mutex);
        m_received += bytes;
        m_partialLine += bytes;
        qsizetype cr;
        while ((cr = m_partialLine.indexOf('\r')) >= 0) {
            const QByteArray line = m_partialLine.left(cr);
            m_partialLine.remove(0, cr + 1);
            m_lines.append(line);
            if (line.isEmpty())
                continue;
            for (KeyedRule& keyed : m_rules) {
                if (keyed.letter != line.at(0) || keyed.rule.times == 0)
                    continue;
                if (keyed.rule.times > 0)
                    --keyed.rule.times;
                answers.append(keyed.rule);
                commandLines.append(line);
                break;
            }
        }
    }
    for (qsizetype i = 0; i < answers.size(); ++i) {
        const PeerRule& rule = answers.at(i);
        const QByteArray text = rule.make ? rule.make(commandLines.at(i)) : rule.reply;
        if (text.isEmpty())
            continue;
        const qsizetype step = rule.chunkSize > 0 ? rule.chunkSize : text.size();
        int delay = rule.delayMs;
        for (qsizetype at = 0; at < text.size(); at += step) {
            schedule(text.mid(at, step), delay);
            delay += rule.chunkGapMs;
        }
    }
}

void ScriptedPeer::schedule(const QByteArray& bytes, int delayMs) {
    const qint64 due = nowMs() + delayMs;
    qsizetype at = m_pending.size();
    while (at > 0 && m_pending.at(at - 1).dueMs > due)
        --at;
    m_pending.insert(at, {due, bytes});
    flushDue();
}

void ScriptedPeer::flushDue() {
    const qint64 now = nowMs();
    while (!m_pending.isEmpty() && m_pending.first().dueMs <= now)
        m_terminal->write(m_pending.takeFirst().bytes);
    armTimer();
}

void ScriptedPeer::armTimer() {
    if (m_pending.isEmpty()) {
        m_timer->stop();
        return;
    }
    m_timer->start(int(std::max<qint64>(0, m_pending.first().dueMs - nowMs())));
}
