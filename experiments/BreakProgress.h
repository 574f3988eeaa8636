#pragma once

#include <optional>

class Fiber;

// How long a pull takes to a typical break, for the moving window's progress bar.
namespace BreakProgress {
// Strength of a pristine silica fiber (MPa): the typical break when no break at the set rate is known.
constexpr double NominalStrength = 5000;

// Seconds from the start of the pull (at startStress, MPa) to a break at breakStress (MPa), for a
// stress-rate run (exptType 1, rate MPa/s) or a strain-rate run (2, rate %/min). Nothing for a
// speed run, a rate that is not positive or a break that is already behind the start.
std::optional<double> ExpectedSeconds(int exptType, double rate, double breakStress, double startStress,
                                      const Fiber& fiber);
// The same for a constant-speed run: the capstans stretch the gauge length (mm) at speed µm/s, so
// the strain rises by speed / gauge length.
std::optional<double> ExpectedSpeedSeconds(double speed, double gaugeLength, double breakStress,
                                           double startStress, const Fiber& fiber);
} // namespace BreakProgress
