#include "experiments/ProofRun.h"

#include "base/Operator.h"
#include "experiments/BreakRun.h"
#include "experiments/BreakTexts.h"
#include "experiments/Fiber.h"
#include "experiments/LoadTimeRecorder.h"
#include "experiments/ProofTexts.h"
#include "experiments/StaticRun.h"
#include "instrument/BreakSound.h"
#include "instrument/ControllerLink.h"
#include "instrument/LoadCell.h"
#include "instrument/Motion.h"
#include "instrument/MoveReport.h"
#include "instrument/RunState.h"
#include "params/NumberFormat.h"
#include "params/Parameters.h"
#include "results/ProofStatistics.h"
#include "results/ResultAppender.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <limits>

ProofRun::ProofRun(Parameters& params, Fiber& fiber, ControllerLink& link, LoadCell& loadCell, Motion& motion,
                   RunState& run, BreakSound& sound, Operator& op)
    : m_params(params), m_fiber(fiber), m_link(link), m_loadCell(loadCell), m_motion(motion), m_run(run),
      m_sound(sound), m_op(op), m_analysis(params, fiber, op), m_rec(std::make_unique<LoadTimeRecorder>()) {}

ProofRun::~ProofRun() = default;

double ProofRun::holdSeconds() const {
    return double(m_run.ElapsedMs) / 1000 - m_holdStart;
}

void ProofRun::LtSample() {
    if (!m_control)
        return;
    m_recorder.Sample({double(m_run.ElapsedMs) / 1000, double(m_run.CurrentLoad), m_motion.Position(),
                       m_run.CommandedSpeed});
    // The proof is short: every poll is watched as closely as a hold's first second.
    m_run.RecordPeriod = float(StaticRun::FirstPollPeriod);
}

void ProofRun::svoCheck() {
    if (m_control && StaticRun::CorrectHold(*m_control, m_params, m_fiber, m_motion, m_link, m_run) !=
                         StaticRun::HoldEnd::None)
        m_holdFailed = true;
}

std::optional<double> ProofRun::TargetLoad() const {
    if (!m_control)
        return std::nullopt;
    return m_fiber.FiberLoad2Load(m_target);
}

bool ProofRun::HoldGoesOn() {
    return !m_holdFailed && holdSeconds() < m_settings.time;
}

QString ProofRun::HoldText() const {
    double strain = 0, stress = 0;
    const double glass = m_fiber.Load2StrainStress(m_run.CurrentLoad, strain, stress);
    return QStringLiteral("Proof ") + fixedText(std::max(0.0, holdSeconds()), 1) + QStringLiteral(" of ") +
           fixedText(m_settings.time, 1) + QStringLiteral(" s   load ") + fixedText(glass, 2) +
           QStringLiteral(" N   ") + fixedText(stress, 0) + QStringLiteral(" MPa");
}

ProofRun::Outcome ProofRun::Run(const Settings& settings, BreakRun& breakRun, ResultAppender& results,
                                const std::function<QDateTime()>& now) {
    m_fiberLoaded = false;
    if (!(settings.stress > 0) || !std::isfinite(settings.stress) || !(settings.time >= MinTime) ||
        !(settings.time <= MaxTime)) {
        m_op.msgBox(ProofTexts::BadNumber, MsgStyle::Exclamation, ProofTexts::Title);
        return Outcome::NotRun;
    }
    if (m_params.ExptType < 0 || m_params.ExptType > 2) {
        m_op.msgBox(ProofTexts::NeedsRate, MsgStyle::Exclamation, ProofTexts::Title);
        return Outcome::NotRun;
    }
    m_settings = settings;
    m_breakRun = &breakRun;
    qint32 startPosition = m_motion.Position();
    Outcome outcome = Outcome::NotRun;
    {
        struct Hooked {
            Motion& motion;
            BreakRunHooks& others;
            RunState& run;
            std::optional<HoldControl>& control;
            ~Hooked() {
                run.BreakRunActive = 0;
                run.CommandedSpeed = 0;
                control.reset();
                motion.setBreakRunHooks(&others);
            }
        } const hooked{m_motion, breakRun, m_run, m_control};
        m_motion.setBreakRunHooks(this);
        outcome = proof(settings, breakRun, results, now, startPosition);
    }
    if (outcome == Outcome::Failure && breakRun.hooks().GotoLoadPosition)
        breakRun.hooks().GotoLoadPosition();
    if (outcome != Outcome::Passed)
        return outcome;
    // Unloaded at once: the proof is the load it carried for tp, not more.
    m_link.SetLoadSampling(-1, BreakRun::PullSamples, -1, BreakRun::NoThreshold);
    m_motion.MoveTo(startPosition, double(m_params.MaxStepRate), 0, BreakRun::PullReportMask,
                    ProofTexts::UnloadCaption);
    if (!settings.pullToBreak) {
        fileRow(false, false, m_run.PeakLoad, results, now);
        return outcome;
    }
    // The survivor's strength after the proof, at the chosen rate; its row says so.
    breakRun.RowComment =
        ProofStatistics::CommentText(ProofStatistics::Kind::PassedThenBroken, settings.stress, settings.time);
    breakRun.stavelyRunToBreak();
    breakRun.RowComment.clear();
    m_fiberLoaded = breakRun.FiberLeftLoaded();
    return outcome;
}

ProofRun::Outcome ProofRun::proof(const Settings& settings, BreakRun& breakRun, ResultAppender& results,
                                  const std::function<QDateTime()>& now, qint32& startPosition) {
    const BreakRun::Plan plan = breakRun.MakePlan();
    if (!plan.refusal.isEmpty()) {
        m_op.msgBox(plan.refusal, MsgStyle::Exclamation, plan.refusalTitle);
        return Outcome::NotRun;
    }
    m_target = m_fiber.Stress2Load(settings.stress);
    if (!(m_target > double(m_params.MinBreakLoad))) {
        m_op.msgBox(ProofTexts::TooLow(fixedText(m_target, 2), fixedText(double(m_params.MinBreakLoad), 2)),
                    MsgStyle::Exclamation, ProofTexts::Title);
        return Outcome::NotRun;
    }
    const int signal = m_loadCell.LoadToSignal(m_fiber.FiberLoad2Load(m_target));
    if (m_loadCell.currentIsCalibrated() && Motion::Saturated(signal)) {
        const int ch = m_loadCell.channel();
        m_op.msgBox(BreakTexts::PreloadOutOfRange(
                        true, fixedText(m_target, 2), ch,
                        fixedText(m_loadCell.SignalToLoad(Motion::SaturationSignal, ch), 2)),
                    MsgStyle::Exclamation, BreakTexts::OutOfRangeTitle);
        return Outcome::NotRun;
    }
    m_holdFailed = false;
    const int channel = -1;
    m_run.CommandedSpeed = plan.PullSpeed;
    m_run.RecordPeriod = float(StaticRun::FirstPollPeriod);
    m_run.PeakLoad = 0;
    m_link.SetLoadSampling(channel, BreakRun::PullSamples, -1, BreakRun::NoThreshold);
    startPosition = m_motion.Position();
    m_link.SetLoadSampling(channel, BreakRun::PullSamples, -1, signal);
    // Up to σp at the pull's own speed: the ramp is the chosen rate's.
    const int ramp = m_motion.PreloadTo(m_motion.TravelLimit(), plan.PullSpeed, BreakRun::PreloadCheckMask,
                                        BreakRun::PreloadReportMask, ProofTexts::RampCaption);
    if (m_motion.SaturatedDuringMove()) {
        m_op.msgBox(
            BreakTexts::Saturated(
                m_loadCell.channel(),
                fixedText(m_loadCell.SignalToLoad(Motion::SaturationSignal, m_loadCell.channel()), 2)),
            MsgStyle::Exclamation, BreakTexts::SaturatedTitle);
        return Outcome::NotRun;
    }
    const float rampPeak = m_run.PeakLoad;
    if (ramp == MoveStatus::Break ||
        (ramp == MoveStatus::Overload && BreakRun::PreloadBroke(m_run.CurrentLoad, rampPeak, m_params))) {
        fileRow(true, true, rampPeak, results, now);
        return Outcome::Failure;
    }
    if (ramp != MoveStatus::Overload)
        return Outcome::NotRun; // stopped, or the move said why
    if (!BreakRun::PreloadReached(m_run.CurrentLoad, m_loadCell.LoadToSignal(m_run.CurrentLoad),
                                  m_fiber.FiberLoad2Load(m_target))) {
        const auto overload = ReportMoveResult(MoveStatus::Overload, 64);
        m_fiberLoaded = true;
        m_op.msgBox(overload->text, MsgStyle::Exclamation, overload->title);
        return Outcome::NotRun;
    }
    m_link.SetLoadSampling(channel, BreakRun::PullSamples, -1, BreakRun::NoThreshold);
    const FinalData final =
        m_link.AskUntilValid<FinalData>(QStringLiteral("F"), [this] { return m_link.GetFinalData(); });
    m_holdStart = double(final.finalTimeMs) / 1000;
    m_run.ElapsedMs = final.finalTimeMs;
    m_recorder.Start(StaticRun::FirstPollPeriod);
    m_control.emplace(m_target, StaticRun::Stiffness(m_fiber, m_params, m_target),
                      std::min(StaticRun::MaxCorrectionSpeed, plan.PullSpeed));
    m_run.BreakRunActive = 1;
    const int rc = m_motion.Hold(ProofTexts::HoldCaption, BreakRun::PullReportMask, rampPeak);
    m_run.BreakRunActive = 0;
    if (m_link.FaultsDuringMove().fault) {
        m_fiberLoaded = true;
        m_op.msgBox(BreakTexts::StoppedByFault, MsgStyle::Exclamation, BreakTexts::StoppedTitle);
        return Outcome::NotRun;
    }
    if (rc == MoveStatus::Break) {
        fileRow(true, false, m_run.PeakLoad, results, now);
        return Outcome::Failure;
    }
    if (rc == MoveStatus::Done && !m_holdFailed)
        return Outcome::Passed;
    // Stopped by the operator or by the hold's corrections: no verdict on this fiber.
    m_link.SetLoadSampling(channel, BreakRun::PullSamples, -1, BreakRun::NoThreshold);
    m_motion.MoveTo(startPosition, double(m_params.MaxStepRate), 0, BreakRun::PullReportMask,
                    ProofTexts::UnloadCaption);
    m_op.msgBox(ProofTexts::Stopped, MsgStyle::Exclamation, BreakTexts::StoppedTitle);
    return Outcome::NotRun;
}

void ProofRun::fileRow(bool failed, bool onRamp, float peak, ResultAppender& results,
                       const std::function<QDateTime()>& now) {
    if (failed) {
        m_sound.StartBreakSound();
        m_op.msgBox(ProofTexts::Failed(fixedText(double(peak), 2)), MsgStyle::Information,
                    ProofTexts::FailedTitle);
        m_sound.StopBreakSound();
    }
    BreakResult r;
    double held = 0;
    if (onRamp) {
        double strain = 0, stress = 0;
        r.BreakLoad = m_fiber.Load2StrainStress(peak, strain, stress);
        m_rec->LtStart(0);
    } else {
        r = StaticRun::AnalyseHold(m_recorder.Samples(), m_holdStart, !failed, double(m_params.BreakFactor),
                                   m_params.MicronsPerStep, m_fiber, *m_rec);
        if (r.LtCount >= 1)
            held = m_rec->LtTime(r.BreakIndex);
    }
    const QDateTime moment = now();
    BreakConditions conditions;
    conditions.RunStart = moment;
    conditions.EndPosition = m_motion.Position();
    QStringList fields = m_analysis.ResultFields(*m_rec, r, conditions, m_params.SpecimenCount, moment);
    fields[12] = fixedText(failed ? held : m_settings.time, 2);
    fields[BreakRun::CommentField] =
        ProofStatistics::CommentText(failed ? ProofStatistics::Kind::Failure : ProofStatistics::Kind::Passed,
                                     m_settings.stress, m_settings.time);
    if (m_params.SpecimenCount < std::numeric_limits<qint32>::max())
        ++m_params.SpecimenCount;
    if (!results.AppendResult(fields) &&
        m_op.msgBox(BreakTexts::WriteError, MsgStyle::YesNo + MsgStyle::Critical,
                    BreakTexts::WriteErrorTitle) == MsgResult::Yes &&
        m_breakRun->hooks().ExportDatasheet)
        m_breakRun->hooks().ExportDatasheet();
    QCoreApplication::processEvents();
}
