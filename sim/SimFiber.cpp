#include "sim/SimFiber.h"

#include "sim/SimConfig.h"

#include <cmath>
#include <numbers>

void SimFiber::thread(qint64 anchor, double strengthGpa, const SimConfig& config) {
    m_present = true;
    m_broken = false;
    m_anchor = anchor;
    m_strengthGpa = strengthGpa;
    const double strainAtBreak = strainAtStress(strengthGpa, config);
    const double steps = config.slackSteps + strainAtBreak * config.gaugeMm * 1000.0 / config.micronsPerStep;
    m_breakPosition = std::isfinite(steps) && steps < 1e15 ? anchor + qint64(std::ceil(steps)) : Never;
}

void SimFiber::remove() {
    m_present = false;
    m_broken = false;
    m_breakPosition = Never;
}

double SimFiber::strain(qint64 position, const SimConfig& config) const {
    if (!intact())
        return 0;
    const double stretch = double(position - m_anchor) - config.slackSteps;
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
