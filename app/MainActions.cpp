#include "app/MainActions.h"

#include "app/MainTexts.h"
#include "app/MainWindowLogic.h"
#include "base/Operator.h"
#include "instrument/ControllerLink.h"
#include "instrument/LoadCell.h"
#include "instrument/Motion.h"
#include "params/NumberEntry.h"
#include "params/Parameters.h"

MainActions::MainActions(Parameters& params, Operator& op, ControllerLink& link, LoadCell& loadCell,
                         Motion& motion)
    : m_params(params), m_op(op), m_link(link), m_loadCell(loadCell), m_motion(motion) {}

void MainActions::LoadFiber() {
    m_link.SetLoadSampling(-1, ButtonSamples);
    m_motion.MoveTo(0, m_params.MaxStepRate, MoveCheckMask, MoveReportMask, MainTexts::LoadCaption);
}

void MainActions::Goto() {
    m_link.SetLoadSampling(-1, ButtonSamples);
    const auto limit = float(m_motion.TravelLimit());
    if (!AskNumber(m_op, MainTexts::GotoPrompt, MainTexts::GotoTitle, m_gotoTarget, -limit, limit))
        return;
    // Steps are whole; a typed fraction goes to the nearest step, halves to the even one.
    const auto target = qint32(MainWindowLogic::RoundHalfEven(double(m_gotoTarget)));
    m_motion.MoveTo(target, m_params.MaxStepRate, MoveCheckMask, MoveReportMask,
                    MainWindowLogic::GotoCaption(m_gotoTarget));
}

void MainActions::Zero() {
    m_link.SetLoadSampling(-1, ButtonSamples);
    run(m_hooks.ZeroWindow);
    m_motion.showPosition();
}

bool MainActions::BreakFiber() {
    if (m_params.WaitBeforeBreak > 0 &&
        m_op.waitCountdown(double(m_params.WaitBeforeBreak), MainTexts::WaitBeforeBreakTitle))
        return false;
    run(m_hooks.BreakRun);
    if (!m_link.ControllerFound())
        return false;
    // The load of a fiber still in the capstans is no offset to tare away; the run has said so.
    if (m_hooks.FiberLoaded && m_hooks.FiberLoaded())
        return false;
    const auto note = MainWindowLogic::ResidualLoadNote(m_loadCell.ReadLoad());
    if (!note)
        return false;
    m_op.msgBox(*note, MsgStyle::Information, MainTexts::TareTitle);
    return true;
}

void MainActions::Test() {
    for (int i = 0; i < TestRepeats; ++i) {
        m_motion.MoveTo(TestTarget, TestSpeed, MoveCheckMask, MoveReportMask, MainTexts::TestCaption);
        m_motion.MoveTo(0, TestSpeed, MoveCheckMask, MoveReportMask, MainTexts::TestCaption);
    }
}

void MainActions::Calibrate() {
    run(m_hooks.Calibrate);
}

void MainActions::Review() {
    run(m_hooks.Review);
}

void MainActions::HardwareMenu() {
    run(m_hooks.HardwareWindow);
    m_motion.showPosition();
}

void MainActions::HardwareButton() {
    HardwareMenu();
    m_link.SendMotorSettings(m_motion.MotorInitialised());
}

void MainActions::Calculator() {
    run(m_hooks.Calculator);
}

void MainActions::OptionsMenu() {
    run(m_hooks.Options);
}

void MainActions::OptionsButton() {
    OptionsMenu();
    // Without a datasheet to attach a file to there is nothing to ask for.
    if (!m_hooks.DataFileCommand)
        return;
    const bool attached =
        m_hooks.DataFileAttached ? m_hooks.DataFileAttached() : !m_params.DataFileName.isEmpty();
    if (attached)
        return;
    m_op.msgBox(MainTexts::OpenDataFile, MsgStyle::Exclamation, MainTexts::OpenDataFileTitle);
    m_hooks.DataFileCommand();
}

void MainActions::PreloadSpeed() {
    run(m_hooks.PreloadSpeed);
}

void MainActions::ToggleNoisy() {
    m_params.Noisy = !m_params.Noisy;
}

bool MainActions::CalibrationNotice(bool windowVisible) {
    if (!MainWindowLogic::CalibrationNeeded(windowVisible, m_link.ControllerFound(),
                                            m_loadCell.currentIsCalibrated()))
        return false;
    m_op.msgBox(MainTexts::NotCalibrated, MsgStyle::Exclamation, MainTexts::NotCalibratedTitle);
    return true;
}

void MainActions::SerialPortError(int error) {
    // During a move the link has stopped the capstans (or found it could not): say which.
    m_op.msgBox(MainWindowLogic::SerialErrorText(error) + m_link.FaultNote(), MsgStyle::OkOnly);
}
