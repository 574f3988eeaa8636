#pragma once

#include <QtGlobal>
#include <optional>

// A small capstan move that brings the load back to the hold's target.
struct HoldCorrection {
    qint32 target = 0; // steps
    double speed = 0;  // steps/s
    bool operator==(const HoldCorrection&) const = default;
};

// The control law of a static hold. The capstans stand still while the load stays near the target;
// when it strays by more than a dead band they make one small move of the steps the fiber's stiffness
// calls for, a little short of the whole way so they never overshoot, and wait until it has ended
// and been measured before the next. An error must be seen in two readings in a row before it is
// corrected, so the load cell's noise does not move the capstans. The stiffness (N per step) starts from the
// fiber's modulus law and learns from each correction. No I/O: the hold's poll loop feeds it and sends its
// moves.
class HoldControl {
public:
    static constexpr double Band = 0.005;      // of the target: the hold's tolerance
    static constexpr double MinBand = 0.02;    // N, whichever is larger
    static constexpr double DeadBand = 0.4;    // of the tolerance: smaller errors are left alone
    static constexpr double Gain = 0.8;        // share of the error a correction takes away
    static constexpr double MaxStepShare = 3;  // tolerances one correction may take away at most
    static constexpr double MoveSeconds = 0.2; // how long a correction should take

    HoldControl(double targetLoad, double stiffness, double maxSpeed);

    // N either side of the target that the hold keeps to.
    static double Tolerance(double targetLoad);

    // One poll: the glass load now, the position, and whether a correction is still running.
    std::optional<HoldCorrection> Step(double load, qint32 position, bool moving);

    // The corrections since the load was last near the target have moved the capstans by more than
    // StallTolerances tolerances' worth of the fiber's stiffness, and it has not come back: the load
    // does not follow them.
    bool Stalled() const { return m_unanswered * m_initialStiffness > StallTolerances * Tolerance(m_target); }
    static constexpr double StallTolerances = 20;

    double target() const { return m_target; }
    double stiffness() const { return m_stiffness; }
    int corrections() const { return m_corrections; }

private:
    double m_target;
    double m_stiffness;
    double m_initialStiffness;
    double m_maxSpeed;
    int m_corrections = 0;
    double m_unanswered = 0; // steps of the corrections since the load was last in the dead band
    bool m_pending = false;  // a correction was sent: the next resting reading measures it
    double m_loadBefore = 0;
    qint32 m_positionBefore = 0;
    std::optional<double> m_previousError; // of the last resting reading out of the dead band
};
