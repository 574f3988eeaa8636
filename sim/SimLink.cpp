#include "sim/SimLink.h"

#include "sim/PseudoTerminal.h"

#include <QTimer>
#include <algorithm>
#include <cmath>

SimLink::SimLink(std::shared_ptr<SimShared> shared, QObject* parent)
    : QObject(parent), m_shared(std::move(shared)), m_pty(new PseudoTerminal(this)), m_pace(new QTimer(this)),
      m_vanishTimer(new QTimer(this)) {
    m_pace->setSingleShot(true);
    m_pace->setTimerType(Qt::PreciseTimer);
    m_vanishTimer->setSingleShot(true);
    m_vanishTimer->setTimerType(Qt::PreciseTimer);
    connect(m_pty, &PseudoTerminal::readyRead, this, &SimLink::onReadyRead);
    connect(m_pace, &QTimer::timeout, this, &SimLink::writeDue);
    connect(m_vanishTimer, &QTimer::timeout, this, &SimLink::onVanishTimer);
}

SimLink::~SimLink() {
    close();
}

bool SimLink::open(const QString& linkPath) {
    return m_pty->open(linkPath);
}

void SimLink::close() {
    m_pace->stop();
    m_vanishTimer->stop();
    m_pending.clear();
    m_pty->close();
}

bool SimLink::isOpen() const {
    return m_pty->isOpen();
}

void SimLink::vanish() {
    if (!m_pty->isOpen())
        return;
    close();
    emit vanished();
}

QString SimLink::devicePath() const {
    return m_pty->devicePath();
}
QString SimLink::linkPath() const {
    return m_pty->linkPath();
}
QString SimLink::errorString() const {
    return m_pty->errorString();
}

void SimLink::onReadyRead() {
    const QByteArray bytes = m_pty->readAll();
    if (bytes.isEmpty())
        return;
    QByteArray reply;
    SimConfig line;
    double now;
    {
        QMutexLocker lock(&m_shared->mutex);
        now = m_shared->nowMs();
        reply = m_shared->instrument.receive(bytes, now);
        line = m_shared->instrument.config();
    }
    if (!reply.isEmpty())
        schedule(reply, now, line);
    armVanish(now);
}

// Gives every byte the time at which its stop bits have left the line.
void SimLink::schedule(const QByteArray& reply, double now, const SimConfig& line) {
    const SimFaults& f = line.faults;
    const double start = std::max(now, m_lineFreeAt);
    const double charMs = line.instant ? 0.0 : line.charMs;
    const int chunk = std::max(1, f.chunkSize);
    double due = start;
    for (qsizetype i = 0; i < reply.size(); ++i) {
        if (f.chunks) {
            const qsizetype k = i / chunk;
            due = start + double(k) * f.chunkIntervalMs + double(i % chunk + 1) * charMs;
        } else {
            due = start + double(i + 1) * charMs;
        }
        m_pending.push_back({due, reply[i]});
    }
    m_lineFreeAt = due;
    writeDue();
}

void SimLink::writeDue() {
    const double now = m_shared->nowMs();
    QByteArray out;
    while (!m_pending.empty() && m_pending.front().due <= now + 0.01) {
        out += m_pending.front().byte;
        m_pending.pop_front();
    }
    if (!out.isEmpty())
        m_pty->write(out);
    if (!m_pending.empty())
        m_pace->start(std::max(1, int(std::ceil(m_pending.front().due - now))));
}

void SimLink::armVanish(double now) {
    QMutexLocker lock(&m_shared->mutex);
    const SimInstrument& instrument = m_shared->instrument;
    const int after = instrument.faults().vanishAfterMs;
    if (after < 0 || instrument.moveCount() == m_movesSeen || !instrument.moving())
        return;
    m_movesSeen = instrument.moveCount();
    const double remaining = instrument.moveStartMs() + after - now;
    m_vanishTimer->start(std::max(0, int(std::ceil(remaining))));
}

void SimLink::onVanishTimer() {
    bool moving;
    {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->instrument.advanceTo(m_shared->nowMs());
        moving = m_shared->instrument.moving();
    }
    if (moving)
        vanish();
}
