#pragma once

#include "experiments/BreakAnalysis.h"
#include "experiments/LoadTimeRecorder.h"
#include "experiments/ProofRun.h"
#include "experiments/ServoLoop.h"
#include "instrument/BreakRunHooks.h"

#include <QDateTime>
#include <functional>
#include <memory>

class BreakSound;
class ControllerLink;
class Fiber;
class LoadCell;
class Motion;
class Operator;
class ProgramEnd;
class ResultAppender;
class StaticRun;
struct Parameters;
struct RunState;

// The tensile break run: optional preload, the pull at constant speed, stress rate or strain rate
// until the fiber breaks, the question whether to report it, and the analysis and recording of the
// result. The move poll loop calls back into it at every poll of the pull.
class BreakRun : public BreakRunHooks {
public:
    static constexpr int PullSamples = 64;
    static constexpr int SlowPullSamples = 256;
    static constexpr double SlowPullSeconds = 500; // T5 above this averages more samples per reading
    static constexpr int NoThreshold = 4090;
    static constexpr int PreloadCheckMask = 95, PreloadReportMask = 63;
    static constexpr int PullCheckMask = 8, PullReportMask = 95;
    // Status 7 ends the preload move at its threshold, and also at an overload: the load read then
    // tells them apart. Below this share of the preload force the threshold was not what stopped it.
    static constexpr double PreloadReachedShare = 0.9;
    // A rate run whose achieved rate is further than this from the set one is flagged.
    static constexpr double RateTolerance = 0.10;
    static constexpr double LoadedLimit = 0.2; // N; above it a whole fiber is taken as loaded
    static constexpr int CommentField = 15;    // the comments column among the row's fields

    // What the run reaches outside the instrument; an empty hook does nothing.
    struct Hooks {
        std::function<void(const LoadTimePlotData&)> ShowPlots; // modal until closed
        std::function<void()> GotoLoadPosition;                 // the main window's load action
        std::function<void()> ExportDatasheet;                  // offered when the row could not be written
        std::function<void(const QString&)> ServoInfo;          // the servo display of debug mode
        std::function<QString()> DataFolder;                    // where the load/time files go
        // The median break stress (MPa) of the datasheet's rows at a nominal rate ("60 MPa/s").
        std::function<std::optional<double>(const QString&)> TypicalBreakStress;
    };

    BreakRun(Parameters& params, Fiber& fiber, ControllerLink& link, LoadCell& loadCell, Motion& motion,
             RunState& run, BreakSound& sound, Operator& op, ProgramEnd& end, ResultAppender& results);
    ~BreakRun() override;

    Hooks& hooks() { return m_hooks; }
    void setResultAppender(ResultAppender& results) { m_results = &results; }

    void stavelyRunToBreak();
    // The last run left a whole fiber under load (or could not tell, the port being gone): the
    // residual load is then no tare offset.
    bool FiberLeftLoaded() const { return m_fiberLoaded; }

    // What disturbed a pull, as recorded in the row's comment and told before the report question.
    struct Disturbance {
        bool fault = false;       // a communication fault during the pull
        bool portGone = false;    // the port vanished: the capstans ran unwatched
        bool interrupted = false; // the move waited at the instrument and was resumed
    };
    // Whether the status-7 ending of a preload move is the preload (not an overload).
    static bool PreloadReached(double load, int signal, double preloadForce);
    // Whether a preload move that ended on its threshold left the fiber broken: the load read after
    // it fell to the break rule's share of the move's peak.
    static bool PreloadBroke(float load, float peak, const Parameters& params);
    // The reasons to leave a result out of the statistics; empty when there are none.
    static QStringList IgnoreReasons(const Disturbance& d, int exptType, double setRate,
                                     const BreakResult& result);
    // A rate as the comment gives it: three significant figures, whole numbers from 100 up.
    static QString RateText(double rate);

    // Per-poll work of the pull (BreakRunHooks).
    void LtSample() override;
    void svoCheck() override;
    // The servo's target at this poll, for the moving window's live curve.
    std::optional<double> TargetLoad() const override { return m_servo.NewTarget(); }
    // The specimen, its stress and the time to a typical break, for the moving window.
    std::optional<RunProgress> Progress(double load) const override;
    // Seconds from the start of the pull to a typical break at the set rate; 0 when not known.
    double ExpectedSeconds() const { return m_expectedSeconds; }

    // The run's settings, computed before anything moves.
    struct Plan {
        double PreloadForce = 0; // N of glass load; 0: no preload
        double PreloadSpeed = 0; // µm/s
        double PullSpeed = 0;    // steps/s, before the servo's compliance factor
        double T5 = 0;           // s to stretch the gauge length by 5 %
        float RecordPeriod = 0;  // s
        QString refusalTitle;    // non-empty: the run is refused with this warning
        QString refusal;
    };
    Plan MakePlan();

    LoadTimeRecorder& recorder() { return m_recorder; }
    ServoLoop& servo() { return m_servo; }
    StaticRun& staticRun() { return *m_static; }
    ProofRun& proofRun() { return *m_proof; }
    // One proof test at the chosen rate (and the pull to break of a survivor when asked).
    ProofRun::Outcome RunProof(const ProofRun::Settings& settings);
    // The comment the next recorded row carries instead of an empty one (a proof survivor's pull).
    QString RowComment;
    const BreakResult& lastResult() const { return m_result; }
    const LoadTimePlotData& lastPlots() const { return m_plots; }
    bool hasResult() const { return m_hasResult; }
    QDateTime RunStart() const { return m_runStart; }
    // The wall clock of the run start (the break moment follows from it); tests fix it.
    void setNow(std::function<QDateTime()> now) { m_now = std::move(now); }

private:
    void reportBreak(const Plan& plan, const Disturbance& disturbance, bool duringPreload = false);
    // The pull (or preload) stopped at a reading the load cell could not take: says so.
    void endSaturated();
    // A pull or preload that ended without a break: says so when a fault ended it or the fiber is
    // left loaded, and remembers whether it is.
    void endWithoutBreak(const QString& before, const QString& title, bool byFault);
    Disturbance disturbanceOfLastMove() const;

    Parameters& m_params;
    Fiber& m_fiber;
    ControllerLink& m_link;
    LoadCell& m_loadCell;
    Motion& m_motion;
    RunState& m_run;
    BreakSound& m_sound;
    Operator& m_op;
    ProgramEnd& m_end;
    ResultAppender* m_results;
    Hooks m_hooks;
    LoadTimeRecorder m_recorder;
    ServoLoop m_servo;
    std::unique_ptr<StaticRun> m_static;
    std::unique_ptr<ProofRun> m_proof;
    BreakAnalysis m_analysis;
    BreakResult m_result;
    LoadTimePlotData m_plots;
    bool m_hasResult = false;
    bool m_fiberLoaded = false;
    QDateTime m_runStart;
    double m_expectedSeconds = 0;
    int m_lastPollSlot = 0; // where the last poll's sample went; 0 when it took none
    std::function<QDateTime()> m_now;
};
