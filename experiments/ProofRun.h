#pragma once

#include "experiments/BreakAnalysis.h"
#include "experiments/HoldControl.h"
#include "experiments/HoldRecorder.h"
#include "instrument/BreakRunHooks.h"

#include <QDateTime>
#include <functional>
#include <memory>
#include <optional>

class BreakRun;
class BreakSound;
class ControllerLink;
class Fiber;
class LoadCell;
class LoadTimeRecorder;
class Motion;
class Operator;
class ResultAppender;
struct Parameters;
struct RunState;

// The proof test of one fiber: loaded at the chosen speed, stress rate or strain rate up to the proof
// stress, held there for the proof time by the static hold's control, and unloaded at once. A fiber
// that breaks on the way or during the hold is a proof failure; a survivor is recorded as passed, or
// pulled to break at the chosen rate when asked (its row then says it passed the proof first).
class ProofRun : public BreakRunHooks {
public:
    struct Settings {
        double stress = 0; // σp, MPa
        double time = 1;   // tp, s
        bool pullToBreak = false;
    };
    static constexpr double MinTime = 0.1, MaxTime = 10;

    enum class Outcome { NotRun, Failure, Passed };

    ProofRun(Parameters& params, Fiber& fiber, ControllerLink& link, LoadCell& loadCell, Motion& motion,
             RunState& run, BreakSound& sound, Operator& op);
    ~ProofRun() override;

    // One specimen; the break run gives the plan (the ramp's speed), its poll hooks back afterwards and
    // the pull to break of a survivor.
    Outcome Run(const Settings& settings, BreakRun& breakRun, ResultAppender& results,
                const std::function<QDateTime()>& now);

    void LtSample() override;
    void svoCheck() override;
    std::optional<double> TargetLoad() const override;
    bool HoldGoesOn() override;
    QString HoldText() const override;

    // The last run ended with the fiber still under load: no tare is offered.
    bool FiberLeftLoaded() const { return m_fiberLoaded; }

private:
    Outcome proof(const Settings& settings, BreakRun& breakRun, ResultAppender& results,
                  const std::function<QDateTime()>& now, qint32& startPosition);
    void fileRow(bool failed, bool onRamp, float peak, ResultAppender& results,
                 const std::function<QDateTime()>& now);
    double holdSeconds() const;

    Parameters& m_params;
    Fiber& m_fiber;
    ControllerLink& m_link;
    LoadCell& m_loadCell;
    Motion& m_motion;
    RunState& m_run;
    BreakSound& m_sound;
    Operator& m_op;
    BreakAnalysis m_analysis;
    HoldRecorder m_recorder;
    std::unique_ptr<LoadTimeRecorder> m_rec;
    std::optional<HoldControl> m_control;
    Settings m_settings;
    BreakRun* m_breakRun = nullptr;
    bool m_fiberLoaded = false;
    bool m_holdFailed = false; // the hold's corrections gave up (travel, slipping)
    double m_target = 0;       // glass load, N
    double m_holdStart = 0;    // s, controller time
};
