#include "experiments/BreakRun.h"

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
#include <limits>

BreakRun::BreakRun(Parameters& params, Fiber& fiber, ControllerLink& link, LoadCell& loadCell, Motion& motion,
                   RunState& run, BreakSound& sound, Operator& op, ProgramEnd& end, ResultAppender& results)
    : m_params(params), m_fiber(fiber), m_link(link), m_loadCell(loadCell), m_motion(motion), m_run(run),
      m_sound(sound), m_op(op), m_end(end), m_results(&results), m_servo(params, fiber, run, op, end),
      m_static(std::make_unique<StaticRun>(params, fiber, link, loadCell, motion, run, sound, op, m_hooks)),
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
    m_recorder.LtSample(m_run.CurrentLoad, m_motion.Position(), double(m_run.ElapsedMs) / 1000,
                        m_run.CommandedSpeed);
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
    if (p.PreloadType != 0) {
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

    const double minServo = double(p.MinServoLoad);
    switch (p.ExptType) {
    case 0:
        plan.PullSpeed = p.ExptSpeed / p.MicronsPerStep;
        break;
    case 1:
        plan.PullSpeed = double(p.ExptStressRate) / p.Modulus * double(p.GaugeLength) / p.MicronsPerStep;
        if (plan.PullSpeed > p.MaxStepRate) {
            plan.refusalTitle = BreakTexts::StressTooFastTitle;
            plan.refusal = BreakTexts::StressTooFast;
        } else if (plan.PreloadForce > 0 && plan.PreloadForce < minServo) {
            plan.PreloadForce = minServo;
        }
        break;
    case 2:
        plan.PullSpeed = double(p.ExptStrainRate) / 6 * double(p.GaugeLength) / p.MicronsPerStep;
        if (plan.PullSpeed > p.MaxStepRate) {
            plan.refusalTitle = BreakTexts::StrainTooFastTitle;
            plan.refusal = BreakTexts::StrainTooFast;
        } else if (plan.PreloadForce < minServo) {
            plan.PreloadForce = minServo; // a strain-rate run always preloads
        }
        break;
    default:
        // A static run holds the preload: no pull speed, no record period of a pull.
        return plan;
    }
    if (plan.PullSpeed > 0) {
        plan.T5 = double(p.GaugeLength) * 0.05 * 1000 / p.MicronsPerStep / plan.PullSpeed;
        plan.RecordPeriod = float(plan.T5 / 500);
    }
    return plan;
}

void BreakRun::stavelyRunToBreak() {
    // A value no window offers can only come from a damaged configuration.
    if (m_params.ExptType < 0 || m_params.ExptType > 3)
        m_end.EndProgram(BreakTexts::BadExptType, BreakTexts::ProgramEndingTitle);

    struct Inactive {
        RunState& run;
        ~Inactive() { run.BreakRunActive = 0; }
    } const inactive{m_run};

    const int channel = -1;
    m_link.SetLoadSampling(channel, PullSamples, -1, NoThreshold);
    const Plan plan = MakePlan();
    if (!plan.refusal.isEmpty()) {
        m_op.msgBox(plan.refusal, MsgStyle::Exclamation, plan.refusalTitle);
        return;
    }
    if (m_params.ExptType == 3) {
        if (std::optional<LoadTimePlotData> plots = m_static->Run(plan, *this, *m_results, m_now)) {
            m_plots = std::move(*plots);
            m_hasResult = true;
        }
        return;
    }
    m_run.CommandedSpeed = plan.PullSpeed;
    m_run.RecordPeriod = plan.RecordPeriod;
    m_recorder.LtStart(plan.RecordPeriod);
    m_link.SetLoadSampling(channel, PullSamples, -1, NoThreshold);

    const qint32 farEnd = m_motion.TravelLimit();
    if (plan.PreloadForce > 0) {
        m_link.SetLoadSampling(channel, PullSamples, -1, m_loadCell.LoadToSignal(plan.PreloadForce));
        const int rc = m_motion.MoveTo(farEnd, plan.PreloadSpeed / m_params.MicronsPerStep, PreloadCheckMask,
                                       PreloadReportMask, BreakTexts::PreloadCaption);
        if (rc != MoveStatus::Overload)
            return;
    }
    if (plan.T5 > SlowPullSeconds)
        m_link.SetLoadSampling(channel, SlowPullSamples, -1, NoThreshold);

    m_runStart = m_now();
    m_servo.svoInit();
    m_run.PeakLoad = 0;
    m_run.BreakRunActive = 1;
    const int rc = m_motion.MoveTo(farEnd, m_run.CommandedSpeed, PullCheckMask, PullReportMask,
                                   BreakTexts::BreakCaption);
    m_run.BreakRunActive = 0;
    const qint32 endPosition = m_motion.Position();

    switch (rc) {
    case MoveStatus::Break: {
        m_sound.StartBreakSound();
        const int answer = m_op.msgBox(BreakTexts::ReportQuestion(fixedText(double(m_run.PeakLoad), 2)),
                                       MsgStyle::YesNo + MsgStyle::Question, BreakTexts::ReportTitle);
        m_sound.StopBreakSound();
        if (answer != MsgResult::Yes)
            return;
        reportBreak(plan, endPosition);
        QCoreApplication::processEvents();
        if (m_hooks.GotoLoadPosition)
            m_hooks.GotoLoadPosition();
        break;
    }
    case MoveStatus::Done:
        m_op.msgBox(BreakTexts::NoBreak, MsgStyle::Exclamation, BreakTexts::NoBreakTitle);
        break;
    case MoveStatus::OperatorStop:
        break;
    default:
        m_op.msgBox(BreakTexts::UnexpectedRc(rc), MsgStyle::Exclamation, BreakTexts::NoBreakTitle);
        break;
    }
}

void BreakRun::reportBreak(const Plan& plan, qint32 endPosition) {
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
    m_recorder.LtSample(m_run.CurrentLoad, final.position, double(final.finalTimeMs) / 1000,
                        m_run.CommandedSpeed);

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
    conditions.EndPosition = endPosition;
    const QStringList fields = m_analysis.ResultFields(m_recorder, m_result, conditions, specimen, moment);

    if (m_hooks.ShowPlots)
        m_hooks.ShowPlots(m_plots);

    // The specimen number is used up whether or not the file takes the row: the row is in the grid.
    if (m_params.SpecimenCount < std::numeric_limits<qint32>::max())
        ++m_params.SpecimenCount;
    if (m_results->AppendResult(fields))
        return;
    if (m_op.msgBox(BreakTexts::WriteError, MsgStyle::YesNo + MsgStyle::Critical,
                    BreakTexts::WriteErrorTitle) == MsgResult::Yes &&
        m_hooks.ExportDatasheet)
        m_hooks.ExportDatasheet();
}
