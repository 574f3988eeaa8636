#pragma once

#include "sim/SimConfig.h"
#include "sim/SimFiber.h"
#include "sim/SimLoadCell.h"
#include "sim/SimRandom.h"

#include <QByteArray>
#include <QList>

// One command line as the instrument received it (without its CR), with its arrival time.
struct SimCommand {
    double timeMs = 0;
    QByteArray text;
};

// A consistent picture of the instrument for panels and tests.
struct SimState {
    double timeMs = 0;
    qint32 position = 0; // the counter the program sees
    qint64 physical = 0; // where the capstans really are
    int status = 0;
    double stepRate = 0; // steps/s, 0 unless stepping
    double load = 0;     // N on the load cell, without noise
    double signal = 0;   // au of the current channel, without noise
    int channel = 0;
    int samples = 0;
    quint16 threshold = 0;
    quint8 inputs = 0;
    quint8 outputs[2] = {0, 0};
    quint8 loaderOutputs = 0;
    QByteArray motorSettings;
    bool fiberPresent = false;
    bool fiberBroken = false;
    double fiberStrengthGpa = 0;
    double fiberDamage = 0; // stress-corrosion damage used up, 1 at the break
    double msToFailure = 0; // at the load it carries now; infinite when unloaded
    int fibersThreaded = 0;
    double extraLoad = 0;
    quint64 moves = 0;
};

// The System Controller: its command protocol, stepper, load cell and the fiber it pulls.
// Pure logic: bytes and the current time go in, reply bytes come out. The physics is evaluated
// lazily, in sub-steps of at most 1 ms from the last update to the time of each command, so an
// idle instrument costs nothing.
class SimInstrument {
public:
    // Move and controller statuses.
    enum Status {
        Done = 0,
        Stopped = 1,
        BreakStop = 3,
        HardLimit = 4,
        Overload = 7,
        LocalControl = 10,
        Moving = 11,
        Interrupted = 12,
    };

    // Check-mask bit of a move that stops at the load threshold.
    static constexpr quint8 ThresholdCheck = 64;

    explicit SimInstrument(const SimConfig& config = {});

    // Takes bytes from the line at time nowMs (ms since power-on); returns the bytes to send back.
    QByteArray receive(const QByteArray& bytes, double nowMs);
    // Runs the physics up to nowMs; time never runs backwards.
    void advanceTo(double nowMs);

    double now() const { return m_now; }
    qint32 position() const { return qint32(quint32(quint64(m_physical + m_offset))); }
    qint64 physicalPosition() const { return m_physical; }
    int status() const;
    bool moving() const { return m_status == Moving || m_status == Interrupted; }
    double stepRate() const { return m_status == Moving ? effectiveRate() : 0; }
    double load() const;
    double glassStressGpa() const; // of the fiber now, 0 when slack, broken or absent
    double signal() const { return m_loadCell.signal(load(), m_config); }
    quint8 inputs() const;
    quint8 output(int index) const { return m_outputs[index & 1]; }
    quint8 loaderOutputs() const { return m_loaderOutputs; }
    QByteArray motorSettings() const { return m_motorSettings; }
    const SimFiber& fiber() const { return m_fiber; }
    const SimLoadCell& loadCell() const { return m_loadCell; }
    quint64 moveCount() const { return m_moveCount; }
    double moveStartMs() const { return m_move.startMs; }
    SimState state() const;

    const QList<SimCommand>& commandLog() const { return m_log; }
    void clearCommandLog() { m_log.clear(); }
    int commandCount() const { return m_commandCount; }

    const SimConfig& config() const { return m_config; }
    // Fiber, load-cell and line settings take effect from now on (fiber geometry with the next fiber).
    void setConfig(const SimConfig& config);
    const SimFaults& faults() const { return m_config.faults; }
    void setFaults(const SimFaults& faults);
    void setFirmwareVersion(const QByteArray& version) { m_config.firmwareVersion = version; }

    void threadFiber(); // a new fiber, taking up slack from where the capstans are now
    // An instrument that stayed powered while the program was away: the capstans and the counter
    // stand where they were left (within the travel), and the fiber is wound afresh from there.
    void restorePositions(qint64 physical, qint32 counter);
    void removeFiber();
    void setExtraLoad(double newtons) { m_config.extraLoad = newtons; }
    void setStopKey(bool down); // pressing it during a move interrupts the move (status 12)
    // Levels of the input lines that are not the limits or the key (bits 0, 2, 3, 6, 7).
    void setInputLines(quint8 bits) { m_inputLines = bits & 0xCD; }
    quint8 inputLines() const { return m_inputLines; }
    // A limit switch tripped by hand: its line reads high and a move toward it stops there.
    void setLimitSwitches(bool closedTripped, bool openTripped);
    bool closedLimitTripped() const { return m_closedTripped; }
    bool openLimitTripped() const { return m_openTripped; }
    bool stopKey() const { return m_stopKey; }

    // Reply formatting shared with tests.
    static QByteArray hex(quint64 value, int width);
    static quint32 floatBits(float value);

private:
    struct Move {
        qint32 target = 0;
        double rate = 0;
        double doubling = 1;
        double periodFactor = 1;
        double accumulator = 0;
        quint8 checkMask = 0;
        quint8 breaks = 0;
        double startMs = 0;
        double endMs = 0;
        double lastRate = 0;
        int breaksSeen = 0;
        int direction = 0;
    };

    QByteArray processLine(const QByteArray& line);
    QByteArray reply(char letter, QByteArray fields);
    QByteArray versionReply();
    void startMove(qint32 target, float rate, quint8 checkMask, quint8 breaks);
    void finish(int status);
    void stepBy(qint64 steps);
    void sampleDuringMove();
    void notePeak(double average);
    double effectiveRate() const;
    double loadAt(qint64 physical) const;
    QByteArray finalData(char letter);
    void drawNewFiber();

    SimConfig m_config;
    SimRandom m_noise;
    SimRandom m_strengths;
    SimFiber m_fiber;
    SimLoadCell m_loadCell;

    double m_now = 0;
    qint64 m_physical = 0;
    qint64 m_offset = 0;
    int m_status = Done;
    Move m_move;
    quint64 m_moveCount = 0;
    bool m_atInterrupt = false;

    bool m_hasPeak = false;
    double m_peakAverage = 0;
    double m_peakMs = 0;
    qint32 m_peakPosition = 0;

    quint8 m_outputs[2] = {0, 0};
    quint8 m_loaderOutputs = 0;
    quint8 m_inputLines = 0;
    bool m_stopKey = false;
    bool m_closedTripped = false;
    bool m_openTripped = false;
    QByteArray m_motorSettings = "0000";
    int m_fibersThreaded = 0;

    QByteArray m_lastReply; // as it went out without stray bytes, for a stale copy before the next
    QByteArray m_line;
    bool m_lineOverflow = false;
    int m_commandCount = 0;
    QList<SimCommand> m_log;
};
