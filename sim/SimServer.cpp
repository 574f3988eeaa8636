#include "sim/SimServer.h"

#include "sim/SimLink.h"

#include <QThread>

SimServer::SimServer(const SimConfig& config, QObject* parent)
    : QObject(parent), m_shared(std::make_shared<SimShared>(config)) {}

SimServer::~SimServer() {
    stop();
}

bool SimServer::start(const QString& linkPath) {
    stop();
    m_link = new SimLink(m_shared);
    connect(m_link, &SimLink::vanished, this, &SimServer::vanished);
    bool ok = false;
    runInLink([&] {
        ok = m_link->open(linkPath);
        m_devicePath = m_link->devicePath();
        m_linkPath = m_link->linkPath();
        m_error = m_link->errorString();
    });
    if (!ok)
        stop();
    return ok;
}

bool SimServer::startInThread(const QString& linkPath) {
    stop();
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("System Controller simulator"));
    m_link = new SimLink(m_shared);
    m_link->moveToThread(m_thread);
    connect(m_link, &SimLink::vanished, this, &SimServer::vanished);
    m_thread->start();
    bool ok = false;
    runInLink([&] {
        ok = m_link->open(linkPath);
        m_devicePath = m_link->devicePath();
        m_linkPath = m_link->linkPath();
        m_error = m_link->errorString();
    });
    if (!ok)
        stop();
    return ok;
}

void SimServer::stop() {
    if (m_link) {
        SimLink* link = m_link;
        runInLink([link] { delete link; });
        m_link = nullptr;
    }
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
}

bool SimServer::isServing() const {
    if (!m_link)
        return false;
    bool open = false;
    runInLink([&] { open = m_link->isOpen(); });
    return open;
}

void SimServer::runInLink(const std::function<void()>& work) const {
    if (!m_link)
        return;
    if (m_link->thread() == QThread::currentThread())
        work();
    else
        QMetaObject::invokeMethod(m_link, work, Qt::BlockingQueuedConnection);
}

void SimServer::vanish() {
    runInLink([this] { m_link->vanish(); });
}

void SimServer::update(const std::function<void(SimInstrument&)>& change) {
    QMutexLocker lock(&m_shared->mutex);
    m_shared->instrument.advanceTo(m_shared->nowMs());
    change(m_shared->instrument);
}

SimState SimServer::state() const {
    QMutexLocker lock(&m_shared->mutex);
    m_shared->instrument.advanceTo(m_shared->nowMs());
    return m_shared->instrument.state();
}

QList<SimCommand> SimServer::timedCommandLog() const {
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->instrument.commandLog();
}

QList<QByteArray> SimServer::commandLog() const {
    QList<QByteArray> texts;
    for (const SimCommand& c : timedCommandLog())
        texts.append(c.text);
    return texts;
}

void SimServer::clearCommandLog() {
    update([](SimInstrument& i) { i.clearCommandLog(); });
}

SimFaults SimServer::faults() const {
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->instrument.faults();
}

void SimServer::setFaults(const SimFaults& faults) {
    update([&](SimInstrument& i) { i.setFaults(faults); });
}

void SimServer::setFirmwareVersion(const QByteArray& version) {
    update([&](SimInstrument& i) { i.setFirmwareVersion(version); });
}

void SimServer::setInstant(bool instant) {
    update([&](SimInstrument& i) {
        SimConfig c = i.config();
        c.instant = instant;
        i.setConfig(c);
    });
}

void SimServer::setExtraLoad(double newtons) {
    update([&](SimInstrument& i) { i.setExtraLoad(newtons); });
}

void SimServer::threadFiber() {
    update([](SimInstrument& i) { i.threadFiber(); });
}

void SimServer::removeFiber() {
    update([](SimInstrument& i) { i.removeFiber(); });
}

void SimServer::setStopKey(bool down) {
    update([&](SimInstrument& i) { i.setStopKey(down); });
}

void SimServer::setInputLines(quint8 bits) {
    update([&](SimInstrument& i) { i.setInputLines(bits); });
}

void SimServer::setLimitSwitches(bool closedTripped, bool openTripped) {
    update([&](SimInstrument& i) { i.setLimitSwitches(closedTripped, openTripped); });
}
