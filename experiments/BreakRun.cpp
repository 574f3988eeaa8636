#include "experiments/BreakRun.h"

#include "experiments/BreakProgress.h"

#include "base/Operator.h"
#include "base/ProgramEnd.h"
#include "experiments/BreakTexts.h"
#include "experiments/Fiber.h"
#include "experiments/StaticRun.h"
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

namespace {
// Rounded down, so that the rate offered is one the run accepts.
QString fastestRateText(double rate) {
    if (!std::isfinite(rate) || rate <= 0)
        return QStringLiteral("0");
    const int decimals = rate >= 100 ? 0 : rate >= 1 ? 1 : 3;
    const double scale = std::pow(10.0, decimals);
    return numberText(std::floor(rate * scale) / scale);
}
} // namespace

BreakRun::BreakRun(Parameters& params, Fiber& fiber, ControllerLink& link, LoadCell& loadCell, Motion& motion,
                   RunState& run, BreakSound& sound, Operator& op, ProgramEnd& end, ResultAppender& results)
    : m_params(params), m_fiber(fiber), m_link(link), m_loadCell(loadCell), m_motion(motion), m_run(run),
      m_sound(sound), m_op(op), m_end(end), m_results(&results), m_servo(params, fiber, run, op, end),
      m_static(std::make_unique<StaticRun>(params, fiber, link, loadCell, motion, run, sound, op, m_hooks)),
      m_proof(std::make_unique<ProofRun>(params, fiber, link, loadCell, motion, run, sound, op)),
      m_analysis(params, fiber, op), m_now([] { return QDateTime::currentDateTime(); }) {
    ServoLoop::Io io;
    io.readLoad = [this](double& load, double& elapsedMs) {
        const LoadStatus status = m_link.GetLoadStatus();
        const int samples = qMax(1, m_link.SamplesPerReading());
        load = m_loadCell.SignalToLoad(double(status.loadCounts) / samples, m_loadCell.channel());
        elapsedMs = status.timeMs;
    };
    io.speedCorrection = [this](double factor) { m_link.SpeedCorrection(factor); };
    io.servoInfo = [this](const QString& text) {
        if (m_hooks.ServoInfo)
            m_hooks.ServoInfo(text);
    };
    m_servo.setIo(io);
    m_motion.setBreakRunHooks(this);
}

BreakRun::~BreakRun() {
    m_motion.setBreakRunHooks(nullptr);
}

void BreakRun::LtSample() {
    const bool taken = m_recorder.LtSample(m_run.CurrentLoad, m_motion.Position(),
                                           double(m_run.ElapsedMs) / 1000, m_run.CommandedSpeed);
    m_lastPollSlot = taken ? m_recorder.LastSlot() : 0;
}

void BreakRun::svoCheck() {
    m_servo.svoCheck();
}

BreakRun::Plan BreakRun::MakePlan() {
    Plan plan;
    const Parameters& p = m_params;
    switch (p.PreloadType) {
    case 1:
        plan.PreloadForce = p.PreloadLoad;
        break;
    case 2:
        plan.PreloadForce = p.PreloadStress > 0.01 ? m_fiber.Stress2Load(p.PreloadStress) : 0;
        break;
    case 3:
        plan.PreloadForce =
            p.PreloadStrain > 0.01 ? m_fiber.Stress2Load(m_fiber.Strain2Stress(p.PreloadStrain)) : 0;
        break;
    default:
        break;
    }
    const double minServo = double(p.MinServoLoad);
    switch (p.ExptType) {
    case 0:
        plan.PullSpeed = p.ExptSpeed / p.MicronsPerStep;
        break;
    case 1:
        plan.PullSpeed = double(p.ExptStressRate) / p.Modulus * double(p.GaugeLength) / p.MicronsPerStep;
        if (plan.PullSpeed > p.MaxStepRate) {
            plan.refusalTitle = BreakTexts::StressTooFastTitle;
            plan.refusal = BreakTexts::StressTooFast +
                           BreakTexts::FastestRate(BreakTexts::StressRateName,
                                                   fastestRateText(double(p.MaxStepRate) * p.MicronsPerStep *
                                                                   p.Modulus / double(p.GaugeLength)),
                                                   QStringLiteral("MPa/s"));
        } else if (plan.PreloadForce > 0 && plan.PreloadForce < minServo) {
            plan.PreloadForce = minServo;
        }
        break;
    case 2:
        plan.PullSpeed = double(p.ExptStrainRate) / 6 * double(p.GaugeLength) / p.MicronsPerStep;
        if (plan.PullSpeed > p.MaxStepRate) {
            plan.refusalTitle = BreakTexts::StrainTooFastTitle;
            plan.refusal = BreakTexts::StrainTooFast +
                           BreakTexts::FastestRate(BreakTexts::StrainRateName,
                                                   fastestRateText(double(p.MaxStepRate) * p.MicronsPerStep *
                                                                   6 / double(p.GaugeLength)),
                                                   QStringLiteral("%/min"));
        } else if (plan.PreloadForce < minServo) {
            plan.PreloadForce = minServo; // a strain-rate run always preloads
        }
        break;
    default:
        // A static run holds the preload: no pull speed, no record period of a pull.
        break;
    }
    // The preload speed follows the chosen speed type whenever there is a preload, also one raised
    // from none to the servo's minimum load: a move at 0 steps/s ends at once without a pull.
    if (plan.PreloadForce > 0) {
        switch (p.PreloadSpeedMode) {
        case 0:
            plan.PreloadSpeed = double(p.MaxStepRate) * p.MicronsPerStep;
            break;
        case 1:
            plan.PreloadSpeed =
                toNumber(BreakTexts::PreloadSlowRate.section(QLatin1Char(' '), 0, 0)).value_or(0.3) / 100 /
                60 * double(p.GaugeLength) * 1000;
            break;
        default:
            plan.PreloadSpeed = p.PreloadUserSpeed;
            break;
        }
    }
    if (plan.refusal.isEmpty()) {
        const bool pulls = p.ExptType >= 0 && p.ExptType <= 2;
        if (pulls && (!(plan.PullSpeed > 0) || !std::isfinite(plan.PullSpeed))) {
            plan.refusalTitle = BreakTexts::ZeroSpeedTitle;
            plan.refusal = BreakTexts::ZeroPullSpeed;
        } else if (plan.PreloadForce > 0 && !(plan.PreloadSpeed / p.MicronsPerStep > 0)) {
            plan.refusalTitle = BreakTexts::ZeroSpeedTitle;
            plan.refusal = BreakTexts::ZeroPreloadSpeed;
        }
    }
    if (plan.PullSpeed > 0) {
        plan.T5 = double(p.GaugeLength) * 0.05 * 1000 / p.MicronsPerStep / plan.PullSpeed;
        plan.RecordPeriod = float(plan.T5 / 500);
    }
    return plan;
}

ProofRun::Outcome BreakRun::RunProof(const ProofRun::Settings& settings) {
    m_fiberLoaded = false;
    const ProofRun::Outcome outcome = m_proof->Run(settings, *this, *m_results, m_now);
    m_fiberLoaded = m_fiberLoaded || m_proof->FiberLeftLoaded();
    return outcome;
}

void BreakRun::stavelyRunToBreak() {
    // A value no window offers can only come from a damaged configuration.
    if (m_params.ExptType < 0 || m_params.ExptType > 3)
        m_end.EndProgram(BreakTexts::BadExptType, BreakTexts::ProgramEndingTitle);

    struct Inactive {
        RunState& run;
        ~Inactive() { run.BreakRunActive = 0; }
    } const inactive{m_run};
    m_fiberLoaded = false;

    const int channel = -1;
    m_link.SetLoadSampling(channel, PullSamples, -1, NoThreshold);
    const Plan plan = MakePlan();
    if (!plan.refusal.isEmpty()) {
        m_op.msgBox(plan.refusal, MsgStyle::Exclamation, plan.refusalTitle);
        return;
    }
    // A preload (or a hold level) the load cell cannot read would never reach its threshold: the
    // capstans would pull on through the break.
    if (plan.PreloadForce > 0 && m_loadCell.currentIsCalibrated() &&
        Motion::Saturated(m_loadCell.LoadToSignal(plan.PreloadForce))) {
        const int ch = m_loadCell.channel();
        m_op.msgBox(BreakTexts::PreloadOutOfRange(
                        m_params.ExptType == 3, fixedText(plan.PreloadForce, 2), ch,
                        fixedText(m_loadCell.SignalToLoad(Motion::SaturationSignal, ch), 2)),
                    MsgStyle::Exclamation, BreakTexts::OutOfRangeTitle);
        return;
    }
    if (m_params.ExptType == 3) {
        if (std::optional<LoadTimePlotData> plots = m_static->Run(plan, *this, *m_results, m_now)) {
            m_plots = std::move(*plots);
            m_hasResult = true;
        }
        m_fiberLoaded = m_static->FiberLeftLoaded();
        return;
    }
    m_run.CommandedSpeed = plan.PullSpeed;
    m_run.RecordPeriod = plan.RecordPeriod;
    m_recorder.LtStart(plan.RecordPeriod);
    m_lastPollSlot = 0;
    m_link.SetLoadSampling(channel, PullSamples, -1, NoThreshold);

    const qint32 farEnd = m_motion.TravelLimit();
    if (plan.PreloadForce > 0) {
        m_link.SetLoadSampling(channel, PullSamples, -1, m_loadCell.LoadToSignal(plan.PreloadForce));
        // The preload's samples carry its own speed: a fiber that breaks on the way is recorded with them.
        m_run.CommandedSpeed = plan.PreloadSpeed / m_params.MicronsPerStep;
        const int rc = m_motion.PreloadTo(farEnd, plan.PreloadSpeed / m_params.MicronsPerStep,
                                          PreloadCheckMask, PreloadReportMask, BreakTexts::PreloadCaption);
        const Disturbance preload = disturbanceOfLastMove();
        if (m_motion.SaturatedDuringMove()) {
            endSaturated();
            return;
        }
        // The fiber gave way on its way up (or right at the threshold, its load gone by the time it
        // was read): the weakest specimens are recorded, not dropped.
        if (rc == MoveStatus::Break ||
            (rc == MoveStatus::Overload && PreloadBroke(m_run.CurrentLoad, m_run.PeakLoad, m_params))) {
            m_sound.StartBreakSound();
            const int answer =
                m_op.msgBox(BreakTexts::PreloadBreakQuestion(fixedText(double(m_run.PeakLoad), 2)),
                            MsgStyle::YesNo + MsgStyle::Question, BreakTexts::ReportTitle);
            m_sound.StopBreakSound();
            if (answer != MsgResult::Yes)
                return;
            m_runStart = m_now();
            reportBreak(plan, preload, true);
            QCoreApplication::processEvents();
            if (m_hooks.GotoLoadPosition)
                m_hooks.GotoLoadPosition();
            return;
        }
        if (rc != MoveStatus::Overload) {
            // No pull: the operator hears why, unless it was his own stop, a fault or the move said it.
            if (!preload.fault && rc != MoveStatus::OperatorStop && !ReportMoveResult(rc, PreloadReportMask))
                endWithoutBreak(BreakTexts::PreloadNotReached(fixedText(plan.PreloadForce, 2), rc),
                                BreakTexts::PreloadNotReachedTitle, false);
            else
                endWithoutBreak(QString(), QString(), preload.fault);
            return;
        }
        // A fiber overloaded on its way to the preload must not be pulled.
        if (!PreloadReached(m_run.CurrentLoad, m_loadCell.LoadToSignal(m_run.CurrentLoad),
                            plan.PreloadForce)) {
            const auto overload = ReportMoveResult(MoveStatus::Overload, 64);
            m_fiberLoaded = true;
            m_op.msgBox(overload->text, MsgStyle::Exclamation, overload->title);
            return;
        }
        // The pull's record starts with the pull, as its rate window expects.
        m_run.CommandedSpeed = plan.PullSpeed;
        m_recorder.LtStart(plan.RecordPeriod);
        m_lastPollSlot = 0;
    }
    if (plan.T5 > SlowPullSeconds)
        m_link.SetLoadSampling(channel, SlowPullSamples, -1, NoThreshold);

    m_runStart = m_now();
    m_expectedSeconds = 0;
    if (m_params.ExptType >= 0 && m_params.ExptType <= 2) {
        std::optional<double> typical;
        if (m_hooks.TypicalBreakStress)
            typical = m_hooks.TypicalBreakStress(BreakAnalysis::SetRateText(m_params));
        const double breakStress = typical.value_or(BreakProgress::NominalStrength);
        const double startStress = m_fiber.Load2Stress(plan.PreloadForce);
        const double rate =
            m_params.ExptType == 1 ? double(m_params.ExptStressRate) : double(m_params.ExptStrainRate);
        m_expectedSeconds =
            (m_params.ExptType == 0
                 ? BreakProgress::ExpectedSpeedSeconds(double(m_params.ExptSpeed),
                                                       double(m_params.GaugeLength), breakStress, startStress,
                                                       m_fiber)
                 : BreakProgress::ExpectedSeconds(m_params.ExptType, rate, breakStress, startStress, m_fiber))
                .value_or(0);
    }
    m_servo.svoInit();
    m_run.PeakLoad = 0;
    m_run.BreakRunActive = 1;
    const int rc = m_motion.MoveTo(farEnd, m_run.CommandedSpeed, PullCheckMask, PullReportMask,
                                   BreakTexts::BreakCaption);
    m_run.BreakRunActive = 0;
    const Disturbance disturbance = disturbanceOfLastMove();
    if (m_motion.SaturatedDuringMove()) {
        endSaturated();
        return;
    }

    switch (rc) {
    case MoveStatus::Break: {
        // The operator hears how the run went before deciding whether to report it.
        if (disturbance.fault || disturbance.interrupted) {
            QStringList how;
            if (disturbance.portGone)
                how << BreakTexts::PortGoneDuringPull;
            else if (disturbance.fault)
                how << BreakTexts::FaultDuringPull;
            if (disturbance.interrupted)
                how << BreakTexts::InterruptedPull;
            m_op.msgBox(BreakTexts::DisturbedBefore + how.join(BreakTexts::ReasonSeparator) +
                            BreakTexts::DisturbedAfter,
                        MsgStyle::Exclamation, BreakTexts::DisturbedTitle);
        }
        m_sound.StartBreakSound();
        const int answer = m_op.msgBox(BreakTexts::ReportQuestion(fixedText(double(m_run.PeakLoad), 2)),
                                       MsgStyle::YesNo + MsgStyle::Question, BreakTexts::ReportTitle);
        m_sound.StopBreakSound();
        if (answer != MsgResult::Yes)
            return;
        reportBreak(plan, disturbance);
        QCoreApplication::processEvents();
        if (m_hooks.GotoLoadPosition)
            m_hooks.GotoLoadPosition();
        break;
    }
    case MoveStatus::Done:
        endWithoutBreak(BreakTexts::NoBreak, BreakTexts::NoBreakTitle, disturbance.fault);
        break;
    case MoveStatus::OperatorStop:
        endWithoutBreak(QString(), QString(), disturbance.fault);
        break;
    default:
        endWithoutBreak(BreakTexts::UnexpectedRc(rc), BreakTexts::NoBreakTitle, disturbance.fault);
        break;
    }
}

BreakRun::Disturbance BreakRun::disturbanceOfLastMove() const {
    const ControllerLink::MoveFaults& faults = m_link.FaultsDuringMove();
    Disturbance d;
    d.fault = faults.fault;
    d.portGone = faults.portGone;
    d.interrupted = m_motion.InterruptedDuringMove();
    return d;
}

void BreakRun::endWithoutBreak(const QString& before, const QString& title, bool byFault) {
    const bool portGone = m_link.PortLost() || !m_link.isOpen();
    const bool loaded = std::abs(m_run.CurrentLoad) > LoadedLimit;
    m_fiberLoaded = loaded || portGone;
    QString text = before;
    QString boxTitle = title;
    if (text.isEmpty()) {
        // The operator's own stop of an unloaded fiber needs no word.
        if (!byFault && !m_fiberLoaded)
            return;
        text = byFault ? BreakTexts::StoppedByFault : BreakTexts::StoppedByOperator;
        boxTitle = BreakTexts::StoppedTitle;
    }
    if (portGone)
        text += BreakTexts::FiberMayBeLoaded;
    else if (loaded)
        text += BreakTexts::FiberStillLoaded(fixedText(double(m_run.CurrentLoad), 2));
    m_op.msgBox(text, MsgStyle::Exclamation, boxTitle);
}

void BreakRun::endSaturated() {
    const int ch = m_loadCell.channel();
    endWithoutBreak(
        BreakTexts::Saturated(ch, fixedText(m_loadCell.SignalToLoad(Motion::SaturationSignal, ch), 2)),
        BreakTexts::SaturatedTitle, false);
}

bool BreakRun::PreloadBroke(float load, float peak, const Parameters& params) {
    return Motion::BreakDetected(params.BreakFactor, peak, load, params.MinBreakLoad);
}

bool BreakRun::PreloadReached(double load, int signal, double preloadForce) {
    return signal < NoThreshold && load >= PreloadReachedShare * preloadForce;
}

QString BreakRun::RateText(double rate) {
    if (!std::isfinite(rate))
        return QStringLiteral("?");
    const double magnitude = std::abs(rate);
    if (magnitude >= 100 || magnitude == 0)
        return QString::number(std::round(rate), 'f', 0);
    const int decimals = std::clamp(2 - int(std::floor(std::log10(magnitude))), 0, 6);
    return QString::number(rate, 'f', decimals);
}

QStringList BreakRun::IgnoreReasons(const Disturbance& d, int exptType, double setRate,
                                    const BreakResult& result) {
    QStringList reasons;
    if (d.fault)
        reasons << BreakTexts::FaultDuringPull;
    if (d.interrupted)
        reasons << BreakTexts::InterruptedPull;
    // Rates set to zero were not measured: whatever the rate mode, the row's rates are no result.
    if (result.tooFewPoints)
        reasons << BreakTexts::RatesNotMeasured;
    // Only the servoed runs hold a rate.
    if ((exptType == 1 || exptType == 2) && !result.tooFewPoints && setRate > 0) {
        const double achieved = exptType == 1 ? result.StressRate : result.StrainRate;
        if (!(std::abs(achieved - setRate) <= RateTolerance * setRate))
            reasons << BreakTexts::RateOff(RateText(achieved), QString::number(setRate),
                                           exptType == 1 ? QStringLiteral("MPa/s") : QStringLiteral("%/min"));
    }
    return reasons;
}

std::optional<RunProgress> BreakRun::Progress(double load) const {
    RunProgress progress;
    progress.specimen = m_params.SpecimenCount;
    double strain = 0;
    m_fiber.Load2StrainStress(load, strain, progress.stress);
    progress.expectedSeconds = m_expectedSeconds;
    return progress;
}

void BreakRun::reportBreak(const Plan& plan, const Disturbance& disturbance, bool duringPreload) {
    // The last sample is the peak itself, at the time and position the controller kept for it.
    // Garbled replies here would make up the break load, its time and its position: ask again.
    const LoadStatus status =
        m_link.AskUntilValid<LoadStatus>(QStringLiteral("L"), [this] { return m_link.GetLoadStatus(); });
    const FinalData final =
        m_link.AskUntilValid<FinalData>(QStringLiteral("F"), [this] { return m_link.GetFinalData(); });
    const int samples = qMax(1, m_link.SamplesPerReading());
    m_run.CurrentLoad =
        float(m_loadCell.SignalToLoad(double(status.maxLoadCounts) / samples, m_loadCell.channel()));
    m_recorder.setLtNextLoad(m_run.CurrentLoad - 1);
    // The last poll of the pull saw the load gone (unless the debug key faked the break): the
    // peak came before it, whatever their clock readings say.
    const int brokenPoll = m_motion.BreakWasSimulated() ? 0 : m_lastPollSlot;
    if (m_recorder.LtSample(m_run.CurrentLoad, final.position, double(final.finalTimeMs) / 1000,
                            m_run.CommandedSpeed))
        m_recorder.markBreak(m_recorder.LastSlot(), brokenPoll);

    m_result = m_analysis.Analyse(m_recorder);
    const qint32 specimen = m_params.SpecimenCount;
    const double breakSeconds = m_result.BreakIndex >= 1 ? m_recorder.LtTime(m_result.BreakIndex) : 0;
    const QDateTime moment = BreakAnalysis::BreakMoment(m_runStart, breakSeconds);
    m_plots = BreakAnalysis::Plots(m_recorder, m_result, m_params.ExptType);
    QString folder = m_hooks.DataFolder ? m_hooks.DataFolder() : QString();
    m_plots.basePath =
        folder.isEmpty() ? QString() : QDir(folder).filePath(BreakAnalysis::FileBaseName(moment, specimen));
    m_hasResult = true;

    BreakConditions conditions;
    conditions.RunStart = m_runStart;
    conditions.PreloadForce = plan.PreloadForce;
    conditions.PreloadSpeed = plan.PreloadSpeed;
    // Where the capstans came to rest after the stop, not where the poll that saw the break found
    // them: the motor runs on for a few steps.
    conditions.EndPosition = status.position;
    QStringList fields = m_analysis.ResultFields(m_recorder, m_result, conditions, specimen, moment);
    // A break faked with the debug mode's key is recorded like a real one; its comment says what it was.
    if (m_motion.BreakWasSimulated() && fields.size() > CommentField)
        fields[CommentField] = BreakTexts::SimulatedBreakComment;
    else if (!RowComment.isEmpty() && fields.size() > CommentField)
        fields[CommentField] = RowComment;
    // A distorted result is kept, but marked so that the statistics leave it out.
    const double setRate = m_params.ExptType == 1   ? double(m_params.ExptStressRate)
                           : m_params.ExptType == 2 ? double(m_params.ExptStrainRate)
                                                    : 0;
    QStringList reasons =
        IgnoreReasons(disturbance, m_params.ExptType, duringPreload ? 0 : setRate, m_result);
    // A break on the way to the preload is no break at the set rate: kept, but out of its figures.
    if (duringPreload)
        reasons.prepend(BreakTexts::BrokeDuringPreload(fixedText(double(m_run.CurrentLoad), 2)));
    if (!reasons.isEmpty() && fields.size() > CommentField)
        fields[CommentField] = BreakTexts::IgnorePrefix + reasons.join(BreakTexts::ReasonSeparator);

    // The row goes to the disc before the plots are shown: whatever happens while the operator
    // looks at them (a hang, a crash, a power cut), the specimen is kept.
    // The specimen number is used up whether or not the file takes the row: the row is in the grid.
    if (m_params.SpecimenCount < std::numeric_limits<qint32>::max())
        ++m_params.SpecimenCount;
    if (!m_results->AppendResult(fields) &&
        m_op.msgBox(BreakTexts::WriteError + m_results->appendFailureNote(),
                    MsgStyle::YesNo + MsgStyle::Critical, BreakTexts::WriteErrorTitle) == MsgResult::Yes &&
        m_hooks.ExportDatasheet)
        m_hooks.ExportDatasheet();

    if (m_hooks.ShowPlots)
        m_hooks.ShowPlots(m_plots);
}
