#pragma once

#include "sim/SimConfig.h"
#include "sim/SimInstrument.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QThread;
class SimLink;
struct SimShared;

// Serves a simulated System Controller on a pseudo-terminal. The program blocks in its serial
// port while it waits for a reply, so in-process use needs startInThread(). Every control
// method is thread-safe and first brings the instrument's physics up to now.
class SimServer : public QObject {
    Q_OBJECT
public:
    explicit SimServer(const SimConfig& config = {}, QObject* parent = nullptr);
    ~SimServer() override;

    // Serves from the calling thread's event loop.
    bool start(const QString& linkPath = {});
    // Serves from a private thread.
    bool startInThread(const QString& linkPath = {});
    void stop();
    bool isServing() const;

    QString devicePath() const { return m_devicePath; }
    QString linkPath() const { return m_linkPath; }
    QString errorString() const { return m_error; }

    SimState state() const;
    QList<QByteArray> commandLog() const;
    QList<SimCommand> timedCommandLog() const;
    void clearCommandLog();

    SimFaults faults() const;
    void setFaults(const SimFaults& faults);
    void setFirmwareVersion(const QByteArray& version);
    void setInstant(bool instant);
    void setExtraLoad(double newtons);
    void threadFiber();
    void removeFiber();
    void setStopKey(bool down);
    void setInputLines(quint8 bits);
    void setLimitSwitches(bool closedTripped, bool openTripped);
    // Anything else, under the instrument's lock.
    void update(const std::function<void(SimInstrument&)>& change);

    // Closes the port at once, as the vanish fault does mid-move.
    void vanish();

signals:
    void vanished();

private:
    void runInLink(const std::function<void()>& work) const;

    std::shared_ptr<SimShared> m_shared;
    SimLink* m_link = nullptr;
    QThread* m_thread = nullptr;
    QString m_devicePath;
    QString m_linkPath;
    QString m_error;
};
