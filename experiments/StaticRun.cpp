#include "experiments/StaticRun.h"

#include "base/Operator.h"
#include "experiments/BreakTexts.h"
#include "experiments/Fiber.h"
#include "experiments/LoadTimeRecorder.h"
#include "experiments/StaticTexts.h"
#include "instrument/BreakSound.h"
#include "instrument/ControllerLink.h"
#include "instrument/LoadCell.h"
#include "instrument/Motion.h"
#include "instrument/MoveReport.h"
#include "instrument/RunState.h"
#include "params/NumberFormat.h"
#include "params/Parameters.h"
#include "results/ResultAppender.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <cmath>
#include <limits>

StaticRun::StaticRun(Parameters& params, Fiber& fiber, ControllerLink& link, LoadCell& loadCell,
                     Motion& motion, RunState& run, BreakSound& sound, Operator& op, BreakRun::Hooks& hooks)
    : m_params(params), m_fiber(fiber), m_link(link), m_loadCell(loadCell), m_motion(motion), m_run(run),
      m_sound(sound), m_op(op), m_hooks(hooks), m_analysis(params, fiber, op),
      m_rec(std::make_unique<LoadTimeRecorder>()) {}

double StaticRun::Stiffness(Fiber& fiber, const Parameters& params, double glassLoad) {
    const double strain = fiber.Stress2Strain(fiber.Load2Stress(glassLoad)); // %
    const double delta = 0.01;                                               // %
    const double dLoad = fiber.Stress2Load(fiber.Strain2Stress(strain + delta)) -
                         fiber.Stress2Load(fiber.Strain2Stress(strain));
    const double steps = delta / 100 * double(params.GaugeLength) * 1000 / params.MicronsPerStep;
    return steps > 0 && dLoad > 0 ? dLoad / steps : 1e-3;
}

double StaticRun::HoldPollPeriod(double heldSeconds) {
    return std::clamp(heldSeconds * PollShare, FirstPollPeriod, RecordPeriod);
}

QString StaticRun::Duration(double seconds) {
    const auto s = qint64(std::floor(std::max(0.0, seconds)));
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

double StaticRun::holdSeconds() const {
    return double(m_run.ElapsedMs) / 1000 - m_holdStart;
}

void StaticRun::LtSample() {
    // The move up to the level is no part of the hold's record.
    if (!m_control)
        return;
    m_recorder.Sample({double(m_run.ElapsedMs) / 1000, double(m_run.CurrentLoad), m_motion.Position(),
                       m_run.CommandedSpeed});
    m_run.RecordPeriod = float(HoldPollPeriod(holdSeconds()));
}

void StaticRun::svoCheck() {
    if (!m_control)
        return;
    const HoldEnd end = CorrectHold(*m_control, m_params, m_fiber, m_motion, m_link, m_run);
    if (end != HoldEnd::None)
        m_holdEnd = end;
}

StaticRun::HoldEnd StaticRun::CorrectHold(HoldControl& control, const Parameters& params, Fiber& fiber,
                                          Motion& motion, ControllerLink& link, RunState& run) {
    // A load that has fallen to the break rule is the break, not an error to correct.
    if (Motion::BreakDetected(params.BreakFactor, run.PeakLoad, run.CurrentLoad, params.MinBreakLoad))
        return HoldEnd::None;
    double strain = 0, stress = 0;
    const double glass = fiber.Load2StrainStress(run.CurrentLoad, strain, stress);
    const bool moving = motion.MoveResult() == MoveStatus::Moving;
    const std::optional<HoldCorrection> move = control.Step(glass, motion.Position(), moving);
    if (!move) {
        if (!moving)
            run.CommandedSpeed = 0;
        return HoldEnd::None;
    }
    // The corrections keep to the travel a pull respects, and give up on a load that does not
    // follow them (a fiber slipping on the capstans): the hold ends rather than creeping on.
    if (qint64(std::abs(qint64(move->target))) > qint64(motion.TravelLimit()))
        return HoldEnd::Travel;
    if (control.Stalled())
        return HoldEnd::NotFollowing;
    run.CommandedSpeed = move->target >= motion.Position() ? move->speed : -move->speed;
    link.StartMove(move->target, move->speed, 0, 1);
    return HoldEnd::None;
}

std::optional<double> StaticRun::TargetLoad() const {
    if (!m_control)
        return std::nullopt;
    return m_fiber.FiberLoad2Load(m_target);
}

bool StaticRun::HoldGoesOn() {
    if (m_holdEnd != HoldEnd::None)
        return false;
    return !(m_params.StaticMaxHold > 0 && holdSeconds() >= m_params.StaticMaxHold * 3600);
}

QString StaticRun::HoldText() const {
    double strain = 0, stress = 0;
    const double glass = m_fiber.Load2StrainStress(m_run.CurrentLoad, strain, stress);
    return QStringLiteral("Hold ") + Duration(holdSeconds()) + QStringLiteral("   target ") +
           fixedText(m_target, 2) + QStringLiteral(" N   load ") + fixedText(glass, 2) +
           QStringLiteral(" N   ") + fixedText(stress, 0) + QStringLiteral(" MPa");
}

std::optional<LoadTimePlotData> StaticRun::Run(const BreakRun::Plan& plan, BreakRunHooks& others,
                                               ResultAppender& results,
                                               const std::function<QDateTime()>& now) {
    m_control.reset();
    m_fiberLoaded = false;
    if (m_params.PreloadType == 0 || !(plan.PreloadForce > 0)) {
        m_op.msgBox(StaticTexts::NoPreload, MsgStyle::Exclamation, StaticTexts::NoPreloadTitle);
        return std::nullopt;
    }
    // Below the break rule's minimum a break would never be seen and the hold would not end.
    if (!(plan.PreloadForce > double(m_params.MinBreakLoad))) {
        m_op.msgBox(
            StaticTexts::TooLow(fixedText(plan.PreloadForce, 2), fixedText(double(m_params.MinBreakLoad), 2)),
            MsgStyle::Exclamation, StaticTexts::TooLowTitle);
        return std::nullopt;
    }
    m_target = plan.PreloadForce;
    m_holdEnd = HoldEnd::None;

    struct Hooked {
        Motion& motion;
        BreakRunHooks& others;
        RunState& run;
        ~Hooked() {
            run.BreakRunActive = 0;
            run.CommandedSpeed = 0;
            motion.setBreakRunHooks(&others);
        }
    } const hooked{m_motion, others, m_run};
    m_motion.setBreakRunHooks(this);

    const int channel = -1;
    m_run.CommandedSpeed = 0;
    // The preload is watched as closely as the hold's first second: a fiber held unwatched at the
    // top of it would be ageing towards a break before its hold is timed.
    m_run.RecordPeriod = float(FirstPollPeriod);
    m_link.SetLoadSampling(channel, BreakRun::PullSamples, -1, BreakRun::NoThreshold);
    const qint32 startPosition = m_motion.Position();
    m_link.SetLoadSampling(channel, BreakRun::PullSamples, -1, m_loadCell.LoadToSignal(plan.PreloadForce));
    const int preload = m_motion.PreloadTo(
        m_motion.TravelLimit(), plan.PreloadSpeed / m_params.MicronsPerStep, BreakRun::PreloadCheckMask,
        BreakRun::PreloadReportMask, BreakTexts::PreloadCaption);
    if (m_motion.SaturatedDuringMove()) {
        endWithoutRow(saturatedText(), BreakTexts::SaturatedTitle);
        return std::nullopt;
    }
    // The highest load on the way up; a fiber that gave way before the level (or right at it, its
    // load gone by the time it was read) failed on loading.
    const float rampPeak = m_run.PeakLoad;
    if (preload == MoveStatus::Break ||
        (preload == MoveStatus::Overload && BreakRun::PreloadBroke(m_run.CurrentLoad, rampPeak, m_params)))
        return failureOnLoading(plan, rampPeak, results, now);
    if (preload != MoveStatus::Overload)
        return std::nullopt;
    // Status 7 is also an overload: a load nowhere near the level is not held.
    if (!BreakRun::PreloadReached(m_run.CurrentLoad, m_loadCell.LoadToSignal(m_run.CurrentLoad),
                                  plan.PreloadForce)) {
        const auto overload = ReportMoveResult(MoveStatus::Overload, 64);
        m_fiberLoaded = true;
        m_op.msgBox(overload->text, MsgStyle::Exclamation, overload->title);
        return std::nullopt;
    }
    m_link.SetLoadSampling(channel, BreakRun::PullSamples, -1, BreakRun::NoThreshold);

    // The hold starts when its load was first reached: the end of the preload move.
    const FinalData final =
        m_link.AskUntilValid<FinalData>(QStringLiteral("F"), [this] { return m_link.GetFinalData(); });
    m_holdStart = double(final.finalTimeMs) / 1000;
    m_run.ElapsedMs = final.finalTimeMs;
    m_holdStartWall = now();
    // Every poll of the first seconds is kept: the break of a short-lived fiber is timed by them.
    m_recorder.Start(FirstPollPeriod);
    m_run.RecordPeriod = float(HoldPollPeriod(0));
    m_control.emplace(m_target, Stiffness(m_fiber, m_params, m_target),
                      std::min(MaxCorrectionSpeed, plan.PreloadSpeed / m_params.MicronsPerStep));

    m_run.BreakRunActive = 1;
    const int rc = m_motion.Hold(StaticTexts::HoldCaption, BreakRun::PullReportMask, rampPeak);
    m_run.BreakRunActive = 0;
    const qint32 endPosition = m_motion.Position();
    const double held = holdSeconds();
    const QString level = BreakAnalysis::SetRateText(m_params);
    // The load the hold ended at, as glass load: a run-out is only one when it held the level.
    double strain = 0, stress = 0;
    const bool atLevel = m_fiber.Load2StrainStress(m_run.CurrentLoad, strain, stress) >=
                         BreakRun::PreloadReachedShare * m_target;
    // A fault on the line ended the hold: neither its time nor a break in the gap can be trusted,
    // and nothing moves; the time held so far may still be kept, out of the statistics.
    if (m_link.FaultsDuringMove().fault) {
        if (!atLevel || m_recorder.Samples().empty()) {
            endWithoutRow(BreakTexts::StoppedByFault, BreakTexts::StoppedTitle);
            return std::nullopt;
        }
        if (m_op.msgBox(StaticTexts::FaultRunoutQuestion(Duration(held), level) + fiberState(),
                        MsgStyle::YesNo + MsgStyle::Exclamation, StaticTexts::RunoutTitle) != MsgResult::Yes)
            return std::nullopt;
        return record(plan, true, results, endPosition, StaticTexts::FaultRunoutComment);
    }
    if (m_motion.SaturatedDuringMove()) {
        endWithoutRow(saturatedText(), BreakTexts::SaturatedTitle);
        return std::nullopt;
    }
    if (m_holdEnd != HoldEnd::None) {
        endWithoutRow(m_holdEnd == HoldEnd::Travel ? StaticTexts::HoldTravelEnd
                                                   : StaticTexts::HoldNotFollowing,
                      StaticTexts::HoldEndedTitle);
        return std::nullopt;
    }
    auto unload = [&] {
        m_link.SetLoadSampling(channel, BreakRun::PullSamples, -1, BreakRun::NoThreshold);
        m_motion.MoveTo(startPosition, plan.PreloadSpeed / m_params.MicronsPerStep, 0,
                        BreakRun::PullReportMask, StaticTexts::UnloadCaption);
    };

    switch (rc) {
    case MoveStatus::Break: {
        // Gone at the hold's first poll: it never held the level.
        const std::vector<HoldSample> samples = m_recorder.Samples();
        double s0 = 0, e0 = 0;
        if (!samples.empty() &&
            m_fiber.Load2StrainStress(samples.front().load, e0, s0) < double(m_params.BreakFactor) * m_target)
            return failureOnLoading(plan, rampPeak, results, now);
        m_sound.StartBreakSound();
        const int answer = m_op.msgBox(BreakTexts::ReportQuestion(fixedText(double(m_run.PeakLoad), 2)),
                                       MsgStyle::YesNo + MsgStyle::Question, BreakTexts::ReportTitle);
        m_sound.StopBreakSound();
        if (answer != MsgResult::Yes)
            return std::nullopt;
        std::optional<LoadTimePlotData> plots = record(plan, false, results, endPosition);
        QCoreApplication::processEvents();
        if (m_hooks.GotoLoadPosition)
            m_hooks.GotoLoadPosition();
        return plots;
    }
    case MoveStatus::Done:
    case MoveStatus::OperatorStop: {
        if (!atLevel) {
            // Whatever ended it, the fiber no longer carries the level: no run-out to offer.
            endWithoutRow(StaticTexts::NotAtLevel(
                              fixedText(m_fiber.Load2StrainStress(m_run.CurrentLoad, strain, stress), 2),
                              fixedText(m_target, 2)),
                          StaticTexts::HoldEndedTitle);
            return std::nullopt;
        }
        // The fiber held: nothing broke, so it is unloaded before the question, and a run-out is
        // only recorded when the operator asks for it.
        unload();
        // A hold stopped short of the longest one is no run-out unless the operator says so: a
        // stray Enter must not file a short censored time.
        const bool stoppedShort = rc == MoveStatus::OperatorStop &&
                                  !(m_params.StaticMaxHold > 0 && held >= m_params.StaticMaxHold * 3600);
        const int answer =
            m_op.msgBox(StaticTexts::RunoutQuestion(rc == MoveStatus::OperatorStop, Duration(held), level),
                        MsgStyle::YesNo + MsgStyle::Question + (stoppedShort ? MsgStyle::DefaultButton2 : 0),
                        StaticTexts::RunoutTitle);
        // The held fiber is weakened by the load it carried, whatever is recorded.
        m_op.msgBox(StaticTexts::ReplaceFiber(level, Duration(held)), MsgStyle::Exclamation,
                    StaticTexts::ReplaceFiberTitle);
        if (answer != MsgResult::Yes)
            return std::nullopt;
        return record(plan, true, results, endPosition);
    }
    default:
        // The end of the travel or the instrument's own stop: the capstans stand where they are.
        endWithoutRow(BreakTexts::UnexpectedRc(rc), BreakTexts::NoBreakTitle);
        return std::nullopt;
    }
}

std::optional<LoadTimePlotData> StaticRun::failureOnLoading(const BreakRun::Plan& plan, float peak,
                                                            ResultAppender& results,
                                                            const std::function<QDateTime()>& now) {
    double strain = 0, stress = 0;
    const double glass = m_fiber.Load2StrainStress(peak, strain, stress);
    m_sound.StartBreakSound();
    const int answer =
        m_op.msgBox(StaticTexts::FailureOnLoadingQuestion(fixedText(double(peak), 2), fixedText(m_target, 2)),
                    MsgStyle::YesNo + MsgStyle::Question, BreakTexts::ReportTitle);
    m_sound.StopBreakSound();
    if (answer != MsgResult::Yes)
        return std::nullopt;
    // A break of the level at once: its load is the highest the fiber carried, its time to failure 0.
    BreakResult r;
    r.BreakLoad = glass;
    const QDateTime moment = now();
    BreakConditions conditions;
    conditions.RunStart = moment;
    conditions.PreloadForce = plan.PreloadForce;
    conditions.PreloadSpeed = plan.PreloadSpeed;
    conditions.EndPosition = m_motion.Position();
    m_rec->LtStart(0);
    QStringList fields = m_analysis.ResultFields(*m_rec, r, conditions, m_params.SpecimenCount, moment);
    fields[12] = fixedText(0, 2);
    fields[15] = StaticTexts::FailureOnLoadingComment;
    fileRow(fields, results);
    QCoreApplication::processEvents();
    if (m_hooks.GotoLoadPosition)
        m_hooks.GotoLoadPosition();
    return std::nullopt;
}

// Counts the specimen and appends its row; a row that cannot be written is offered for export.
void StaticRun::fileRow(const QStringList& fields, ResultAppender& results) {
    if (m_params.SpecimenCount < std::numeric_limits<qint32>::max())
        ++m_params.SpecimenCount;
    if (!results.AppendResult(fields) &&
        m_op.msgBox(BreakTexts::WriteError, MsgStyle::YesNo + MsgStyle::Critical,
                    BreakTexts::WriteErrorTitle) == MsgResult::Yes &&
        m_hooks.ExportDatasheet)
        m_hooks.ExportDatasheet();
}

QString StaticRun::saturatedText() const {
    const int ch = m_loadCell.channel();
    return BreakTexts::Saturated(ch, fixedText(m_loadCell.SignalToLoad(Motion::SaturationSignal, ch), 2));
}

QString StaticRun::fiberState() {
    const bool portGone = m_link.PortLost() || !m_link.isOpen();
    const bool loaded = std::abs(m_run.CurrentLoad) > BreakRun::LoadedLimit;
    m_fiberLoaded = loaded || portGone;
    if (portGone)
        return BreakTexts::FiberMayBeLoaded;
    if (loaded)
        return BreakTexts::FiberStillLoaded(fixedText(double(m_run.CurrentLoad), 2));
    return {};
}

void StaticRun::endWithoutRow(const QString& before, const QString& title) {
    m_op.msgBox(before + fiberState(), MsgStyle::Exclamation, title);
}

BreakResult StaticRun::AnalyseHold(const std::vector<HoldSample>& samples, double holdStart, bool runout,
                                   double breakFactor, double micronsPerStep, Fiber& fiber,
                                   LoadTimeRecorder& rec) {
    BreakResult r;
    rec.LtStart(0);
    for (const HoldSample& s : samples)
        rec.LtSample(float(s.load), s.position, s.time - holdStart, s.speed);
    const int n = rec.SampleCount();
    r.LtCount = n;
    if (n < 1)
        return r;
    double peak = 0;
    for (int k = 1; k <= n; ++k) {
        double strain = 0, stress = 0;
        rec.LtLoad(k) = fiber.Load2StrainStress(rec.LtLoad(k), strain, stress);
        rec.LtStrain(k) = strain;
        rec.LtStress(k) = stress;
        peak = std::max(peak, rec.LtLoad(k));
    }
    r.BreakIndex = n;
    if (!runout) {
        // The last sample still at the hold: the one before the first that the break rule refuses.
        for (int k = 1; k <= n; ++k)
            if (rec.LtLoad(k) < breakFactor * peak) {
                r.BreakIndex = std::max(1, k - 1);
                break;
            }
        r.BreakLoad = rec.LtLoad(r.BreakIndex);
    } else {
        double sum = 0;
        for (int k = 1; k <= n; ++k)
            sum += rec.LtLoad(k);
        r.BreakLoad = sum / n;
    }
    r.RateStartIndex = 1;
    BreakAnalysis::FitRates(rec, 1, r.BreakIndex, micronsPerStep, r);
    return r;
}

std::optional<LoadTimePlotData> StaticRun::record(const BreakRun::Plan& plan, bool runout,
                                                  ResultAppender& results, qint32 endPosition,
                                                  const QString& runoutComment) {
    const BreakResult r = AnalyseHold(m_recorder.Samples(), m_holdStart, runout, double(m_params.BreakFactor),
                                      m_params.MicronsPerStep, m_fiber, *m_rec);
    if (r.LtCount < 1)
        return std::nullopt;
    const qint32 specimen = m_params.SpecimenCount;
    // The fiber broke between the last poll that saw it held and the first that did not: halfway
    // is the estimate without a bias. A run-out lasted as long as its last sample.
    const int b = r.BreakIndex;
    const double failure =
        !runout && b < r.LtCount ? (m_rec->LtTime(b) + m_rec->LtTime(b + 1)) / 2 : m_rec->LtTime(b);
    const QDateTime moment = BreakAnalysis::BreakMoment(m_holdStartWall, failure);
    LoadTimePlotData plots = BreakAnalysis::Plots(*m_rec, r, 3);
    const QString folder = m_hooks.DataFolder ? m_hooks.DataFolder() : QString();
    plots.basePath =
        folder.isEmpty() ? QString() : QDir(folder).filePath(BreakAnalysis::FileBaseName(moment, specimen));

    BreakConditions conditions;
    conditions.RunStart = m_holdStartWall;
    conditions.PreloadForce = plan.PreloadForce;
    conditions.PreloadSpeed = plan.PreloadSpeed;
    conditions.EndPosition = endPosition;
    QStringList fields = m_analysis.ResultFields(*m_rec, r, conditions, specimen, moment);
    // The time to failure is the result of the test: kept to the hundredth of a second.
    fields[12] = fixedText(failure, 2);
    if (runout)
        fields[15] = runoutComment;

    // On the disc before the plots show, as after a pull: a hold of days is not lost to a crash
    // while the operator looks at them.
    fileRow(fields, results);
    if (m_hooks.ShowPlots)
        m_hooks.ShowPlots(plots);
    return plots;
}
