#include "instrument/Motion.h"

#include "base/Operator.h"
#include "instrument/ApTimer.h"
#include "instrument/BreakRunHooks.h"
#include "instrument/ControllerLink.h"
#include "instrument/LoadCell.h"
#include "instrument/MotionTexts.h"
#include "instrument/MoveReport.h"
#include "instrument/MovingView.h"
#include "instrument/RunState.h"
#include "params/NumberFormat.h"
#include "params/Parameters.h"

#include <algorithm>
#include <cstdlib>

Motion::Motion(ControllerLink& link, LoadCell& loadCell, Parameters& params, RunState& run, Operator& op,
               QObject* parent)
    : QObject(parent), m_link(link), m_loadCell(loadCell), m_params(params), m_run(run), m_op(op) {
    m_link.setPositionHandler([this](qint32 position) { setPosition(position); });
}

Motion::~Motion() {
    m_link.setPositionHandler({});
}

void Motion::setPosition(qint32 position) {
    m_position = position;
    emit positionChanged(position);
}

int Motion::BaseOutputByte(int outputMask) {
    return (outputMask & 1) | (~outputMask & 2) | (outputMask & 8);
}

void Motion::InitMotor() {
    const double fastest = double(m_params.MaxStepRate) * m_params.MicronsPerStep;
    if (fastest < m_params.ExptSpeed)
        m_params.ExptSpeed = fastest;
    m_run.BreakRunActive = 0;
    setPosition(0);
    m_travelLimit = DefaultTravelLimit;
    m_motorInitialised = true;
    m_outputMask = DefaultOutputMask;
    m_inputMask = DefaultInputMask;
}

float Motion::PollPeriod(float recordPeriod) {
    // A record period of 0 has not been set by any break run yet: it must not make the loop poll
    // without pause.
    return recordPeriod > 0 && recordPeriod < PollSeconds ? recordPeriod : PollSeconds;
}

QString Motion::LoadText(float load) {
    const QString number = formatPattern(double(load), QStringLiteral("0.00"));
    const QString sign = number.startsWith(QLatin1Char('-')) ? QString() : QStringLiteral(" ");
    return MotionTexts::LoadPrefix + sign + number + MotionTexts::Newtons;
}

QString Motion::PeakText(float peak) {
    return MotionTexts::MaxPrefix + formatPattern(double(peak), QStringLiteral("0.00")) +
           MotionTexts::Newtons;
}

bool Motion::BreakDetected(float breakFactor, float peakLoad, float currentLoad, float minBreakLoad) {
    // Compared in single precision, as the loads are kept.
    const float threshold = breakFactor * peakLoad;
    return threshold > currentLoad && peakLoad > minBreakLoad;
}

int Motion::MoveTo(qint32 target, double speed, int checkMask, int reportMask, const QString& caption,
                   int rateMode) {
    Q_UNUSED(rateMode) // every move of this product runs at a plain rate
    return RunModal(caption, reportMask, false, [&] {
        m_breakSimulated = false;
        m_interrupted = false;
        m_saturated = false;
        ControllerMove(target, speed, checkMask);
    });
}

int Motion::PreloadTo(qint32 target, double speed, int checkMask, int reportMask, const QString& caption) {
    if (m_moving)
        return m_moveResult;
    struct Preloading {
        bool& flag;
        ~Preloading() { flag = false; }
    } const preloading{m_preloading};
    m_preloading = true;
    m_run.PeakLoad = 0;
    return MoveTo(target, speed, checkMask, reportMask, caption);
}

int Motion::Hold(const QString& caption, int reportMask, float startPeak) {
    return RunModal(caption, reportMask, true, [this, startPeak] {
        m_stopSent = false;
        m_saturated = false;
        m_moveStart = std::chrono::steady_clock::now();
        m_run.PeakLoad = startPeak;
        HoldLoop();
    });
}

int Motion::RunModal(const QString& caption, int reportMask, bool holding, const std::function<void()>& run) {
    // The moving window is modal; nothing may start a second move while one runs.
    if (m_moving)
        return m_moveResult;

    struct Ending {
        Motion& motion;
        ~Ending() {
            motion.m_moving = false;
            motion.m_holding = false;
            motion.m_link.setMoveInProgress(false);
            if (motion.m_view != nullptr)
                motion.m_view->endMove();
            motion.showPosition();
        }
    };
    m_moving = true;
    m_holding = holding;
    // A fault on the line stops the capstans before its message waits on the operator.
    m_link.setMoveInProgress(true);
    const Ending ending{*this};
    if (m_view != nullptr)
        m_view->beginMove(caption);

    m_moveResult = MoveStatus::Done;
    m_keepMoving = true;
    run();

    if (const auto report = ReportMoveResult(m_moveResult, reportMask & ~1))
        m_op.msgBox(report->text, MsgStyle::Exclamation, report->title);
    return m_moveResult;
}

void Motion::HoldLoop() {
    IntervalTimer garbled;
    bool garbling = false;
    bool halved = false;
    for (;;) {
        const bool answered = PollOnce(halved, m_position);
        // A hold the line has failed has not been watched throughout: whatever the fiber did in
        // the gap, it ends here, stopped.
        if (m_link.FaultsDuringMove().fault) {
            m_moveResult = MoveStatus::OperatorStop;
            return;
        }
        if (answered) {
            garbling = false;
            if (m_moveResult == MoveStatus::Break)
                return;
            if (m_stopSent) {
                m_moveResult = MoveStatus::OperatorStop;
                return;
            }
            // The corrections end as moves do, and the status keeps the preload's threshold ending
            // until the first of them; anything else ends the hold.
            if (m_moveResult != MoveStatus::Done && m_moveResult != MoveStatus::Moving &&
                m_moveResult != MoveStatus::Interrupted && m_moveResult != MoveStatus::Overload)
                return;
            if (m_hooks != nullptr && !m_hooks->HoldGoesOn()) {
                if (m_moveResult == MoveStatus::Moving)
                    m_link.StopMove();
                m_moveResult = MoveStatus::Done;
                return;
            }
            continue;
        }
        if (!garbling) {
            ApTimer::SetTimer(garbled, ControllerLink::SilenceSeconds);
            garbling = true;
        }
        if (m_stopSent || ApTimer::Expired(garbled)) {
            EndWithoutStatus();
            return;
        }
    }
}

void Motion::ControllerMove(qint32 target, double speed, int checkMask) {
    m_link.SendMotorSettings(m_motorInitialised);
    const qint32 start = m_position;
    m_moveStart = std::chrono::steady_clock::now();
    bool halved = false;
    if (speed > HalvingSpeed) {
        speed /= 2;
        halved = true;
    }
    m_link.StartMove(target, speed, checkMask, m_run.BreakRunActive != 0 ? 1 : 0);

    // A garbled status reply says nothing about the motor: poll again rather than stop watching a
    // move that may still be running, but only until the operator stops or a reply has had its
    // time; then the move ends as after a reply that never came.
    IntervalTimer garbled;
    bool garbling = false;
    m_stopSent = false;
    for (;;) {
        if (PollOnce(halved, start)) {
            garbling = false;
            if (m_moveResult != MoveStatus::Moving && m_moveResult != MoveStatus::Interrupted)
                break;
            continue;
        }
        if (!garbling) {
            ApTimer::SetTimer(garbled, ControllerLink::SilenceSeconds);
            garbling = true;
        }
        if (m_stopSent || ApTimer::Expired(garbled)) {
            EndWithoutStatus();
            break;
        }
    }
}

void Motion::EndWithoutStatus() {
    m_link.StopMove();
    m_link.GarbledTimeout(QStringLiteral("L"));
    if (m_moveResult != MoveStatus::Break)
        m_moveResult = MoveStatus::OperatorStop;
}

bool Motion::PollOnce(bool& halved, qint32 startPosition) {
    IntervalTimer timer;
    ApTimer::SetTimer(timer, PollPeriod(m_run.RecordPeriod));
    ApTimer::WaitUntil(timer, [this] { return !m_keepMoving; });
    if (!m_keepMoving) {
        m_link.StopMove();
        m_stopSent = true;
        m_keepMoving = true;
        ApTimer::DelayMs(StopSettleMs);
    }

    const LoadStatus status = m_link.GetLoadStatus();
    if (!status.valid)
        return false;
    if (m_moveResult != MoveStatus::Break)
        m_moveResult = status.status;
    m_run.ElapsedMs = status.timeMs;

    const int samples = std::max(1, m_link.SamplesPerReading());
    const int channel = m_loadCell.channel();
    m_run.CurrentLoad = float(m_loadCell.SignalToLoad(double(status.loadCounts) / samples, channel));
    QString text = LoadText(m_run.CurrentLoad);
    const bool watched = m_run.BreakRunActive > 0 || m_preloading;
    if (watched) {
        // The controller keeps the peak of a move; a hold is mostly at rest between small moves, so
        // its peak is the highest load it has seen.
        m_run.PeakLoad =
            m_holding ? std::max(m_run.PeakLoad, m_run.CurrentLoad)
                      : float(m_loadCell.SignalToLoad(double(status.maxLoadCounts) / samples, channel));
        // The controller's peak and the reading come from different sums of samples; the window
        // never shows a maximum below the load it shows beside it.
        text += PeakText(std::max(m_run.PeakLoad, m_run.CurrentLoad));
    }
    if (m_preloading && m_hooks != nullptr)
        m_hooks->LtSample();
    if (m_run.BreakRunActive > 0) {
        if (m_hooks != nullptr) {
            m_hooks->LtSample();
            m_hooks->svoCheck();
            if (m_holding) {
                const QString hold = m_hooks->HoldText();
                if (!hold.isEmpty())
                    text = hold;
            }
        }
        if (m_view != nullptr) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - m_moveStart).count();
            m_view->showLivePoint(seconds, m_run.CurrentLoad,
                                  m_hooks != nullptr ? m_hooks->TargetLoad() : std::nullopt);
            if (m_hooks != nullptr)
                if (const std::optional<RunProgress> progress = m_hooks->Progress(m_run.CurrentLoad))
                    m_view->showRunProgress(seconds, *progress);
        }
    }
    if (m_view != nullptr)
        m_view->showMoveLoad(text);

    // A reading at the top of the converter is no load: the capstans stop before the fiber is pulled
    // on to a break the cell cannot measure.
    // (An uncalibrated cell gives no loads to trust either way.)
    if (watched && m_moveResult != MoveStatus::Break && m_loadCell.currentIsCalibrated() &&
        Saturated(double(status.loadCounts) / samples)) {
        m_saturated = true;
        m_link.StopMove();
        m_stopSent = true;
        m_moveResult = MoveStatus::OperatorStop;
    } else if (watched && BreakDetected(m_params.BreakFactor, m_run.PeakLoad, m_run.CurrentLoad,
                                        m_params.MinBreakLoad)) {
        m_moveResult = MoveStatus::Break;
        m_link.BreakStop();
    }
    if (m_view != nullptr)
        m_view->showMovePosition(m_position);
    if (halved && std::abs(qint64(m_position) - qint64(startPosition)) > DoublingDistance) {
        m_link.DoubleSpeed();
        halved = false;
    }
    if (m_moveResult == MoveStatus::Interrupted) {
        m_interrupted = true;
        if (m_op.msgBox(MotionTexts::Interrupted, MsgStyle::YesNo + MsgStyle::Exclamation, QString()) ==
            MsgResult::Yes)
            m_link.StopMove();
        else
            m_link.ResumeMove();
    }
    return true;
}

void Motion::StopPressed() {
    if (!m_moving)
        return;
    m_keepMoving = false;
    m_moveResult = MoveStatus::OperatorStop;
    ApTimer::Wake();
}

void Motion::KeyStop() {
    if (!m_moving)
        return;
    m_keepMoving = false;
    ApTimer::Wake();
}

bool Motion::SimulatedBreakAllowed() const {
    return m_moving && m_params.DebugMode && m_run.BreakRunActive > 0;
}

void Motion::SimulatedBreak() {
    if (!SimulatedBreakAllowed())
        return;
    m_moveResult = MoveStatus::Break;
    m_breakSimulated = true;
    m_link.BreakStop();
}

void Motion::setLockKeyboard(bool locked) {
    m_params.LockKeyboardWhenMoving = locked;
}

bool Motion::LockKeyboard() const {
    return m_params.LockKeyboardWhenMoving;
}

void Motion::RunToClosedLimit() {
    for (;;) {
        setPosition(0);
        m_link.SetControllerPosition(0);
        MoveTo(-m_travelLimit, m_params.MaxStepRate, 0, 0, MotionTexts::ClosedLimitCaption);
        if (m_moveResult == MoveStatus::HardLimit) {
            setPosition(-ZeroBackOff);
            m_link.SetControllerPosition(-ZeroBackOff);
            MoveTo(0, m_params.MaxStepRate, 0, 95, MotionTexts::ZeroCaption);
            return;
        }
        if (m_op.msgBox(MotionTexts::TryAgain, MsgStyle::YesNo + MsgStyle::Exclamation,
                        MotionTexts::ClosedLimitNotFoundTitle) != MsgResult::Yes)
            break;
    }
    m_op.msgBox(MotionTexts::ClosedLimitNotFound, MsgStyle::Critical, MotionTexts::ZeroNotValidTitle);
}
