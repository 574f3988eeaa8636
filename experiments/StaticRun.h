#pragma once

#include "experiments/BreakAnalysis.h"
#include "experiments/BreakRun.h"
#include "experiments/HoldControl.h"
#include "experiments/HoldRecorder.h"
#include "experiments/StaticTexts.h"
#include "instrument/BreakRunHooks.h"

#include <QDateTime>
#include <functional>
#include <memory>
#include <optional>

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

// The static fatigue run: the preload move up to the hold load, then the hold at that load until the
// fiber breaks (or its longest time passes, or the operator stops it), and the row with the time to
// failure, or a run-out row when the operator asks for one.
class StaticRun : public BreakRunHooks {
public:
    static constexpr double RecordPeriod = 0.3;       // s: the polls of a hold once it has lasted a while
    static constexpr double FirstPollPeriod = 0.05;   // s: the polls of its first second
    static constexpr double PollShare = 0.05;         // of the hold so far: the poll period in between
    static constexpr double MaxCorrectionSpeed = 500; // steps/s

    StaticRun(Parameters& params, Fiber& fiber, ControllerLink& link, LoadCell& loadCell, Motion& motion,
              RunState& run, BreakSound& sound, Operator& op, BreakRun::Hooks& hooks);

    // The whole run with the break run's plan (preload force and speed); `others` gets the move poll
    // loop's hooks back afterwards. Returns the plots of a recorded row.
    std::optional<LoadTimePlotData> Run(const BreakRun::Plan& plan, BreakRunHooks& others,
                                        ResultAppender& results, const std::function<QDateTime()>& now);

    // Per-poll work of the hold (BreakRunHooks).
    void LtSample() override;
    void svoCheck() override;
    std::optional<double> TargetLoad() const override;
    bool HoldGoesOn() override;
    QString HoldText() const override;

    // What ended a hold's corrections, if anything.
    enum class HoldEnd { None, Travel, NotFollowing };
    // One poll's correction of a hold at its target load (the static hold's and the proof's): a new
    // move when the load has strayed; Travel or NotFollowing when the hold can go on no longer.
    static HoldEnd CorrectHold(HoldControl& control, const Parameters& params, Fiber& fiber, Motion& motion,
                               ControllerLink& link, RunState& run);

    // The hold's load per capstan step near the target load, from the fiber's modulus law.
    static double Stiffness(Fiber& fiber, const Parameters& params, double glassLoad);
    // The poll period after heldSeconds of hold: a time to failure is read to about a twentieth of
    // itself, whether the fiber lasts a second or a day, and a long hold still polls at its ease.
    static double HoldPollPeriod(double heldSeconds);
    // "h:mm:ss".
    static QString Duration(double seconds);

    // The hold as analysed: times from the start of the hold, glass loads, stress and strain; the
    // break is the last sample before the load fell below the break rule's share of the peak (the
    // last sample for a run-out); the rates are those of the whole hold.
    static BreakResult AnalyseHold(const std::vector<HoldSample>& samples, double holdStart, bool runout,
                                   double breakFactor, double micronsPerStep, Fiber& fiber,
                                   LoadTimeRecorder& rec);

    // The last run ended with the fiber still (or possibly) under load: no tare is offered.
    bool FiberLeftLoaded() const { return m_fiberLoaded; }
    const HoldRecorder& recorder() const { return m_recorder; }
    const std::optional<HoldControl>& control() const { return m_control; }
    double HoldStart() const { return m_holdStart; }

private:
    std::optional<LoadTimePlotData> record(const BreakRun::Plan& plan, bool runout, ResultAppender& results,
                                           qint32 endPosition,
                                           const QString& runoutComment = StaticTexts::RunoutComment);
    // The fiber gave way before it held the level (peak: the highest load it carried, N as
    // measured): offered as a break of the level with a time to failure of 0.
    std::optional<LoadTimePlotData> failureOnLoading(const BreakRun::Plan& plan, float peak,
                                                     ResultAppender& results,
                                                     const std::function<QDateTime()>& now);
    double holdSeconds() const;
    // Tells the operator why the run ended without a row (before), and how the fiber stands.
    void endWithoutRow(const QString& before, const QString& title);
    // How the fiber stands after a run that left it, for the end of a message; remembers it.
    QString fiberState();
    void fileRow(const QStringList& fields, ResultAppender& results);
    QString saturatedText() const;

    // Why the hold's corrections ended it.
    HoldEnd m_holdEnd = HoldEnd::None;

    Parameters& m_params;
    Fiber& m_fiber;
    ControllerLink& m_link;
    LoadCell& m_loadCell;
    Motion& m_motion;
    RunState& m_run;
    BreakSound& m_sound;
    Operator& m_op;
    BreakRun::Hooks& m_hooks;
    BreakAnalysis m_analysis;
    HoldRecorder m_recorder;
    std::unique_ptr<LoadTimeRecorder> m_rec;
    std::optional<HoldControl> m_control;
    bool m_fiberLoaded = false;
    double m_target = 0;    // glass load, N
    double m_holdStart = 0; // s, controller time the hold load was first reached
    QDateTime m_holdStartWall;
};
