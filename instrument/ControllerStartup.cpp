#include "instrument/ControllerStartup.h"

#include "base/Operator.h"
#include "base/ProgramEnd.h"
#include "instrument/ControllerLink.h"
#include "instrument/LoadCell.h"
#include "instrument/LoadCellTexts.h"
#include "instrument/Motion.h"
#include "instrument/MotionTexts.h"
#include "params/Parameters.h"

ControllerStartup::ControllerStartup(ControllerLink& link, LoadCell& loadCell, Motion& motion,
                                     Parameters& params, Operator& op, ProgramEnd& end)
    : m_link(link), m_loadCell(loadCell), m_motion(motion), m_params(params), m_op(op), m_end(end) {}

void ControllerStartup::Run(bool controllerFound, const std::function<void()>& showZeroWindow) {
    if (controllerFound) {
        m_link.SetLoadSampling(-1, StartupSamples, -1, StartupThreshold);
        m_loadCell.LoadCalibrations();
        m_loadCell.ClearCalibrationPoints();
        // A stored record that cannot be right is kept as it is, but the operator learns why the
        // channel is not in use.
        for (const QString& note : m_loadCell.UnusableCalibrations())
            m_op.msgBox(note, MsgStyle::Exclamation, LoadCellTexts::UnusableSlopeTitle);
    }

    m_motion.InitMotor();

    bool accepted = false;
    if (controllerFound) {
        m_link.SendMotorSettings(m_motion.MotorInitialised());
        m_link.GetStatus(); // the kept position reaches Motion through the link
        const qint32 kept = m_motion.Position();
        if (kept != 0 && !m_params.DebugMode) {
            accepted = m_op.msgBox(MotionTexts::keptPosition(kept), MsgStyle::YesNo + MsgStyle::Question,
                                   QString()) == MsgResult::Yes;
            if (!accepted)
                m_motion.setPosition(0);
        }
        m_link.SetControllerPosition(m_motion.Position());
        m_link.WriteOutputs(m_motion.BaseOutputByte());
    } else {
        m_motion.setPosition(0);
    }
    m_motion.showPosition();

    if (m_params.DebugMode || accepted || !controllerFound)
        m_motion.setZeroValid(true);
    else if (showZeroWindow)
        showZeroWindow();

    if (!m_motion.ZeroValid())
        m_end.EndProgram(QString(), MotionTexts::ProgramEnding);

    if (controllerFound) {
        m_link.WriteLoaderOutputs(0);
        m_link.WriteLoaderOutputs(0);
    }
}
