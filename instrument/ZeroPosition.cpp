#include "instrument/ZeroPosition.h"

#include "base/Operator.h"
#include "base/ProgramEnd.h"
#include "instrument/ControllerLink.h"
#include "instrument/Motion.h"
#include "instrument/MotionTexts.h"
#include "params/NumberEntry.h"

#include <cmath>

ZeroPosition::ZeroPosition(Motion& motion, ControllerLink& link, Operator& op, ProgramEnd& end)
    : m_motion(motion), m_link(link), m_op(op), m_end(end) {}

bool ZeroPosition::ZeroValid() const {
    return m_motion.ZeroValid();
}

bool ZeroPosition::RunToZero() {
    m_motion.RunToClosedLimit();
    if (m_motion.Position() != 0)
        return false;
    // The drive has its own position display; the operator zeroes it too.
    m_op.msgBox(MotionTexts::ZeroIndicator, MsgStyle::Exclamation, MotionTexts::ZeroIndicatorTitle);
    m_link.SetControllerPosition(0);
    m_motion.showPosition();
    m_motion.setZeroValid(true);
    return true;
}

bool ZeroPosition::SetPosition() {
    const float limit = float(m_motion.TravelLimit());
    float value = float(m_motion.Position());
    if (!AskNumber(m_op, MotionTexts::AskPosition, MotionTexts::AskPositionTitle, value, -limit, limit))
        return false;
    // Positions are whole steps.
    const qint32 position = qint32(std::lround(value));
    m_link.SetControllerPosition(position);
    m_motion.setPosition(position);
    m_motion.setZeroValid(true);
    return true;
}

bool ZeroPosition::Cancel() {
    if (m_motion.ZeroValid())
        return true;
    if (m_op.msgBox(MotionTexts::NotSynchronized, MsgStyle::RetryCancel + MsgStyle::Critical,
                    MotionTexts::NotSynchronizedTitle) == MsgResult::Cancel)
        m_end.EndProgram(QString(), MotionTexts::ProgramEnding);
    return false;
}
