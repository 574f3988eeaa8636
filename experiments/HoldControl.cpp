#include "experiments/HoldControl.h"

#include <algorithm>
#include <cmath>

HoldControl::HoldControl(double targetLoad, double stiffness, double maxSpeed)
    : m_target(targetLoad), m_stiffness(stiffness > 0 ? stiffness : 1e-3), m_initialStiffness(m_stiffness),
      m_maxSpeed(maxSpeed > 1 ? maxSpeed : 1) {}

double HoldControl::Tolerance(double targetLoad) {
    return std::max(Band * std::abs(targetLoad), MinBand);
}

std::optional<HoldCorrection> HoldControl::Step(double load, qint32 position, bool moving) {
    if (moving) {
        m_previousError.reset();
        return std::nullopt;
    }
    if (m_pending) {
        m_pending = false;
        // What the last correction really did teaches the stiffness; the noise of one reading is
        // small beside a correction's change, and the learnt value stays near the fiber's.
        const double moved = double(position) - double(m_positionBefore);
        if (std::abs(moved) >= 3) {
            const double measured = (load - m_loadBefore) / moved;
            if (measured > 0)
                m_stiffness = std::clamp(0.5 * m_stiffness + 0.5 * measured, m_initialStiffness / 4,
                                         m_initialStiffness * 4);
        }
    }
    const double tolerance = Tolerance(m_target);
    const double reading = m_target - load;
    if (std::abs(reading) <= DeadBand * tolerance) {
        m_previousError.reset();
        m_unanswered = 0;
        return std::nullopt;
    }
    // A single reading out of the dead band may be the cell's noise: two in a row on the same side
    // are an error, and their mean is what the correction takes away.
    if (!m_previousError || (*m_previousError > 0) != (reading > 0)) {
        m_previousError = reading;
        return std::nullopt;
    }
    const double error = (reading + *m_previousError) / 2;
    m_previousError.reset();
    const double wanted = std::clamp(Gain * error, -MaxStepShare * tolerance, MaxStepShare * tolerance);
    auto steps = qint64(std::trunc(wanted / m_stiffness));
    if (steps == 0)
        steps = error > 0 ? 1 : -1;
    m_pending = true;
    m_unanswered += double(std::llabs(steps));
    m_loadBefore = load;
    m_positionBefore = position;
    ++m_corrections;
    const double speed = std::clamp(double(std::llabs(steps)) / MoveSeconds, 1.0, m_maxSpeed);
    return HoldCorrection{qint32(qint64(position) + steps), speed};
}
