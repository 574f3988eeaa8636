#pragma once

#include <QtGlobal>
#include <cmath>
#include <limits>

struct SimConfig;

// A glass fiber wound between the capstans: slack, then an elastic stretch whose secant modulus
// rises with strain, until it snaps at its strength. Positions are physical motor steps.
class SimFiber {
public:
    static constexpr qint64 Never = std::numeric_limits<qint64>::max();

    // Threads a fiber whose slack is taken up from anchor on; strengthGpa is its glass strength.
    void thread(qint64 anchor, double strengthGpa, const SimConfig& config);
    void remove();
    void snap() { m_broken = true; }

    bool present() const { return m_present; }
    bool intact() const { return m_present && !m_broken; }
    bool broken() const { return m_present && m_broken; }
    qint64 anchor() const { return m_anchor; }
    double strengthGpa() const { return m_strengthGpa; }

    // Strain (fraction) of an intact fiber with the capstans at position; 0 while slack.
    double strain(qint64 position, const SimConfig& config) const;
    // Load on the capstans in N: glass plus coating; 0 when absent or broken.
    double load(qint64 position, const SimConfig& config) const;
    // First position at which the glass stress reaches the strength (Never when absent or broken).
    qint64 breakPosition() const { return intact() ? shifted(m_breakPosition) : Never; }
    // Where the fiber gives way at the latest: the strength without fatigue, or far beyond it (the
    // damage decides) with fatigue.
    qint64 limitPosition() const { return intact() ? shifted(m_limitPosition) : Never; }
    // Lets the stretch at position creep for ms towards its share of it (or back, once unloaded).
    void creep(qint64 position, double ms, const SimConfig& config);
    double creepSteps() const { return m_creep; }
    // Adds the stress-corrosion damage of holding glass stress stressGpa for ms; true once it breaks.
    bool fatigue(double stressGpa, double ms, const SimConfig& config);
    double damage() const { return m_damage; }
    // Milliseconds until it breaks when held at glass stress stressGpa; infinite without fatigue.
    double msToFailure(double stressGpa, const SimConfig& config) const;

    // Glass stress in GPa at a strain (fraction).
    static double glassStressGpa(double strain, const SimConfig& config);
    // Strain at which the glass stress reaches stressGpa; the strain of the highest stress when the
    // modulus law cannot reach it.
    static double strainAtStress(double stressGpa, const SimConfig& config);
    // Weibull strength for a uniform deviate u in [0, 1): median and shape from the configuration.
    static double drawStrength(double u, const SimConfig& config);
    static double glassArea(const SimConfig& config); // m²
    // Capstan travel past the slack for an elastic stretch, and back: the take-up makes the first
    // part of the travel count only partly.
    static double travelForStretch(double stretchSteps, const SimConfig& config);
    static double stretchForTravel(double travelSteps, const SimConfig& config);

private:
    // A position further on by the creep: the stretch it stands for needs that much more travel.
    qint64 shifted(qint64 position) const {
        return position == Never ? Never : position + qint64(std::ceil(m_creep));
    }
    bool m_present = false;
    double m_creep = 0; // steps of stretch given way
    bool m_broken = false;
    qint64 m_anchor = 0;
    qint64 m_breakPosition = Never;
    qint64 m_limitPosition = Never;
    double m_damage = 0;
    double m_strengthGpa = 0;
};
