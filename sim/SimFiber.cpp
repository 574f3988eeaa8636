#include "sim/SimFiber.h"

#include "sim/SimConfig.h"

#include <algorithm>
#include <cmath>
#include <numbers>

void SimFiber::thread(qint64 anchor, double strengthGpa, const SimConfig& config) {
    m_present = true;
    m_broken = false;
    m_anchor = anchor;
    m_strengthGpa = strengthGpa;
    m_damage = 0;
    m_creep = 0;
    auto positionAt = [&](double stressGpa) {
        const double stretch =
            strainAtStress(stressGpa, config) * config.gaugeMm * 1000.0 / config.micronsPerStep;
        const double steps = config.slackSteps + travelForStretch(stretch, config);
        return std::isfinite(steps) && steps < 1e15 ? anchor + qint64(std::ceil(steps)) : Never;
    };
    m_breakPosition = positionAt(strengthGpa);
    // With fatigue a fast pull outlives the drawn strength: (rate / reference)^(1/(n+1)) stays below
    // 2 up to a million times the reference rate.
    m_limitPosition = config.fatigueN > 0 ? positionAt(2 * strengthGpa) : m_breakPosition;
}

namespace {
// Damage per second at glass stress stressGpa: (σ/S)^n / τ0, with τ0 chosen so that a pull at the
// reference rate breaks at S (stretched by the time scale).
double damageRate(double stressGpa, double strengthGpa, const SimConfig& config) {
    const double n = config.fatigueN;
    const double tau0 = strengthGpa / ((n + 1) * config.fatigueRefRate / 1000.0) *
                        (config.fatigueTimeScale > 0 ? config.fatigueTimeScale : 1); // s
    return std::pow(stressGpa / strengthGpa, n) / tau0;
}
} // namespace

bool SimFiber::fatigue(double stressGpa, double ms, const SimConfig& config) {
    if (!intact() || config.fatigueN <= 0 || stressGpa <= 0 || ms <= 0)
        return false;
    m_damage += damageRate(stressGpa, m_strengthGpa, config) * ms / 1000.0;
    return m_damage >= 1;
}

double SimFiber::msToFailure(double stressGpa, const SimConfig& config) const {
    if (!intact() || config.fatigueN <= 0 || stressGpa <= 0)
        return std::numeric_limits<double>::infinity();
    const double rate = damageRate(stressGpa, m_strengthGpa, config);
    return rate > 0 ? std::max(0.0, 1 - m_damage) / rate * 1000.0 : std::numeric_limits<double>::infinity();
}

double SimFiber::travelForStretch(double stretch, const SimConfig& config) {
    const double t = config.takeUpSteps;
    if (t <= 0 || stretch <= 0)
        return std::max(0.0, stretch);
    // Over the take-up travel x the stretch grows as x²/2t, then one for one.
    if (stretch < t / 2)
        return std::sqrt(2 * t * stretch);
    return stretch + t / 2;
}

double SimFiber::stretchForTravel(double travel, const SimConfig& config) {
    const double t = config.takeUpSteps;
    if (travel <= 0)
        return 0;
    if (t <= 0)
        return travel;
    return travel < t ? travel * travel / (2 * t) : travel - t / 2;
}

void SimFiber::remove() {
    m_present = false;
    m_broken = false;
    m_breakPosition = Never;
    m_limitPosition = Never;
}

void SimFiber::creep(qint64 position, double ms, const SimConfig& config) {
    if (!intact() || config.creepShare <= 0 || config.creepSeconds <= 0 || !(ms > 0))
        return;
    const double stretch = stretchForTravel(double(position - m_anchor) - config.slackSteps, config);
    const double settled = config.creepShare * std::max(0.0, stretch);
    m_creep += (settled - m_creep) * -std::expm1(-ms / 1000 / config.creepSeconds);
}

double SimFiber::strain(qint64 position, const SimConfig& config) const {
    if (!intact())
        return 0;
    const double stretch =
        stretchForTravel(double(position - m_anchor) - config.slackSteps, config) - m_creep;
    if (stretch <= 0)
        return 0;
    return stretch * config.micronsPerStep / (config.gaugeMm * 1000.0);
}

double SimFiber::load(qint64 position, const SimConfig& config) const {
    const double e = strain(position, config);
    if (e <= 0)
        return 0;
    return glassStressGpa(e, config) * 1e9 * glassArea(config) + config.coatingEA * e;
}

double SimFiber::glassStressGpa(double strain, const SimConfig& config) {
    return config.modulusGpa * strain * (1 + config.modulusA * strain);
}

double SimFiber::strainAtStress(double stressGpa, const SimConfig& config) {
    // a·ε² + ε − σ/E0 = 0
    const double a = config.modulusA;
    const double s = stressGpa / config.modulusGpa;
    if (a == 0)
        return s;
    const double d = 1 + 4 * a * s;
    if (d < 0)
        return -1 / (2 * a); // the law peaks below the strength: the fiber gives way at the peak
    return (std::sqrt(d) - 1) / (2 * a);
}

double SimFiber::drawStrength(double u, const SimConfig& config) {
    if (config.weibullShape <= 0)
        return config.strengthGpa;
    // F(σ) = 1 − exp(−(σ/σ0)^m) with the median at strengthGpa.
    const double m = config.weibullShape;
    const double scale = config.strengthGpa / std::pow(std::log(2.0), 1 / m);
    return scale * std::pow(-std::log1p(-u), 1 / m);
}

double SimFiber::glassArea(const SimConfig& config) {
    const double r = config.diameterUm / 2 * 1e-6;
    return std::numbers::pi * r * r;
}
