#include "experiments/BreakProgress.h"

#include "experiments/Fiber.h"

#include <algorithm>
#include <cmath>

namespace {
// Strain (%) of the glass at a stress, through the strain-dependent modulus.
double strainAt(double stress, const Fiber& fiber) {
    double strain = 0, reached = 0;
    fiber.Load2StrainStress(fiber.Stress2Load(stress), strain, reached);
    return strain;
}
} // namespace

std::optional<double> BreakProgress::ExpectedSeconds(int exptType, double rate, double breakStress,
                                                     double startStress, const Fiber& fiber) {
    if (!(rate > 0) || !(breakStress > startStress) || !std::isfinite(breakStress))
        return std::nullopt;
    double seconds = 0;
    switch (exptType) {
    case 1:
        seconds = (breakStress - startStress) / rate;
        break;
    case 2:
        seconds = (strainAt(breakStress, fiber) - strainAt(std::max(0.0, startStress), fiber)) / (rate / 60);
        break;
    default:
        return std::nullopt;
    }
    if (!(seconds > 0) || !std::isfinite(seconds))
        return std::nullopt;
    return seconds;
}

std::optional<double> BreakProgress::ExpectedSpeedSeconds(double speed, double gaugeLength,
                                                          double breakStress, double startStress,
                                                          const Fiber& fiber) {
    if (!(gaugeLength > 0) || !std::isfinite(gaugeLength))
        return std::nullopt;
    // µm/s over mm of fiber, as %/min.
    return ExpectedSeconds(2, speed / (gaugeLength * 1000) * 100 * 60, breakStress, startStress, fiber);
}
