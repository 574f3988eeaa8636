#pragma once

#include "sim/SimInstrument.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <deque>
#include <memory>

class PseudoTerminal;
class QTimer;

// The instrument and its clock, shared by the serving thread and the controls of SimServer.
struct SimShared {
    explicit SimShared(const SimConfig& config) : instrument(config) { clock.start(); }
    double nowMs() const { return double(clock.nsecsElapsed()) / 1e6; }

    mutable QMutex mutex;
    SimInstrument instrument;
    QElapsedTimer clock;
};

// The serving end of the line: reads commands from the pseudo-terminal, feeds the instrument and
// writes its replies at the pace of a 19200-baud line. Lives in the thread that serves.
class SimLink : public QObject {
    Q_OBJECT
public:
    explicit SimLink(std::shared_ptr<SimShared> shared, QObject* parent = nullptr);
    ~SimLink() override;

    bool open(const QString& linkPath);
    void close();
    bool isOpen() const;
    // Closes the port as if the cable had been pulled.
    void vanish();

    QString devicePath() const;
    QString linkPath() const;
    QString errorString() const;

signals:
    void vanished();

private:
    struct Pending {
        double due;
        char byte;
    };

    void onReadyRead();
    void schedule(const QByteArray& reply, double now, const SimConfig& line);
    void writeDue();
    void armVanish(double now);
    void onVanishTimer();

    std::shared_ptr<SimShared> m_shared;
    PseudoTerminal* m_pty;
    QTimer* m_pace;
    QTimer* m_vanishTimer;
    std::deque<Pending> m_pending;
    double m_lineFreeAt = 0;
    quint64 m_movesSeen = 0;
};
