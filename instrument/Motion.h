#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>

class BreakRunHooks;
class ControllerLink;
class LoadCell;
class MovingView;
class Operator;
struct Parameters;
struct RunState;

// The capstan's stepper motor: the program's copy of the position, moves with their poll loop and
// moving window, homing to the closed limit and the start-up state of the drive.
class Motion : public QObject {
    Q_OBJECT
public:
    static constexpr qint32 DefaultTravelLimit = 200000;
    static constexpr double HalvingSpeed = 5000;     // steps/s; faster moves start at half speed
    static constexpr qint32 DoublingDistance = 1000; // steps from the start before "X"
    static constexpr float PollSeconds = 0.3f;
    static constexpr double StopSettleMs = 100;
    static constexpr qint32 ZeroBackOff = 500; // steps between the closed limit and zero
    static constexpr int DefaultOutputMask = 6;
    static constexpr int DefaultInputMask = 120;

    Motion(ControllerLink& link, LoadCell& loadCell, Parameters& params, RunState& run, Operator& op,
           QObject* parent = nullptr);
    ~Motion() override;

    // The moving window and the break run's per-poll hooks; either may be absent.
    void setView(MovingView* view) { m_view = view; }
    void setBreakRunHooks(BreakRunHooks* hooks) { m_hooks = hooks; }

    qint32 Position() const { return m_position; }
    // Replaces the program's copy (every "?" and "L" reply comes through here) and shows it.
    void setPosition(qint32 position);
    void showPosition() { emit positionChanged(m_position); }

    qint32 TravelLimit() const { return m_travelLimit; }
    int MoveResult() const { return m_moveResult; }
    bool KeepMoving() const { return m_keepMoving; }
    bool ZeroValid() const { return m_zeroValid; }
    void setZeroValid(bool valid) { m_zeroValid = valid; }
    bool MotorInitialised() const { return m_motorInitialised; }
    int OutputMask() const { return m_outputMask; }
    int InputMask() const { return m_inputMask; }
    // The drive's output byte at rest: output mask bit 0, bit 1 inverted, bit 3.
    int BaseOutputByte() const { return BaseOutputByte(m_outputMask); }
    static int BaseOutputByte(int outputMask);
    bool moving() const { return m_moving; }
    // The last move waited at the instrument (status 12) at least once.
    bool InterruptedDuringMove() const { return m_interrupted; }

    // Start-up initialisation of the motion state.
    void InitMotor();
    // Runs one move to its end with the moving window; returns MoveResult.
    int MoveTo(qint32 target, double speed, int checkMask, int reportMask, const QString& caption,
               int rateMode = 0);
    // The move up to a preload or a static level: a move whose polls take the break run's samples
    // and apply the break rule on the controller's peak, so a fiber that gives way on its way up
    // ends it with Break ("!!") instead of a run to the end of travel.
    int PreloadTo(qint32 target, double speed, int checkMask, int reportMask, const QString& caption);
    bool preloading() const { return m_preloading; }
    // A static hold: the capstans stay under the break run's control, which corrects the load at
    // every poll (svoCheck) while the break rule applies as in a pull, the peak being the highest
    // load of the hold, from startPeak (the load the hold was reached with, so a load already gone
    // at its first poll is the break). Ends at the break, the operator's stop, an abnormal status
    // (reported under reportMask), a status that cannot be read, or with Done when the hooks end it.
    int Hold(const QString& caption, int reportMask, float startPeak = 0);
    bool holding() const { return m_holding; }
    // Homing: to the closed hard limit, then back to a zero 500 steps from it.
    void RunToClosedLimit();

    // Stop controls of the moving window; the poll loop acts on them at its next pass.
    void StopPressed(); // the stop button, or a key on it
    void KeyStop();     // a character typed anywhere in the window
    // The debug key: a simulated break, only in debug mode during a break run.
    bool SimulatedBreakAllowed() const;
    void SimulatedBreak();
    // Whether the last move's break was the debug mode's key, not the fiber's.
    bool BreakWasSimulated() const { return m_breakSimulated; }
    // The last watched move (pull, preload or hold) was stopped because the load cell read at the top
    // of its converter: a load beyond it cannot be measured, and no break could be seen.
    bool SaturatedDuringMove() const { return m_saturated; }
    // A reading (A/D signal per sample) at the top of the converter, less its noise. The same value
    // tells the controller that a move has no load threshold.
    static constexpr double SaturationSignal = 4090;
    static bool Saturated(double signal) { return !(signal < SaturationSignal); }
    void setLockKeyboard(bool locked);
    bool LockKeyboard() const;

    static float PollPeriod(float recordPeriod);
    // "Load " + sign or blank + "0.00 N".
    static QString LoadText(float load);
    static QString PeakText(float peak);
    static bool BreakDetected(float breakFactor, float peakLoad, float currentLoad, float minBreakLoad);

signals:
    void positionChanged(qint32 position);

private:
    // The modal frame of a move or a hold: one at a time, the moving window, the link told, the
    // ending reported; `run` does the moving.
    int RunModal(const QString& caption, int reportMask, bool holding, const std::function<void()>& run);
    // Polls a hold until the break, the operator, a fault or the hooks end it.
    void HoldLoop();
    void ControllerMove(qint32 target, double speed, int checkMask);
    // One pass of the poll loop; false when the status reply was garbled.
    bool PollOnce(bool& halved, qint32 startPosition);
    // The motor stopped and the time-out dialog, for a move whose status cannot be read.
    void EndWithoutStatus();

    ControllerLink& m_link;
    LoadCell& m_loadCell;
    Parameters& m_params;
    RunState& m_run;
    Operator& m_op;
    MovingView* m_view = nullptr;
    BreakRunHooks* m_hooks = nullptr;
    std::chrono::steady_clock::time_point m_moveStart; // time axis of the live curve
    bool m_breakSimulated = false;
    bool m_preloading = false;
    bool m_saturated = false;

    qint32 m_position = 0;
    qint32 m_travelLimit = DefaultTravelLimit;
    int m_moveResult = 0;
    bool m_keepMoving = false;
    bool m_stopSent = false; // the operator's stop has gone out during this move
    bool m_zeroValid = false;
    bool m_motorInitialised = false;
    bool m_moving = false;
    bool m_interrupted = false;
    bool m_holding = false;
    int m_outputMask = DefaultOutputMask;
    int m_inputMask = DefaultInputMask;
};
