#include "results/FatigueFit.h"

#include "results/StraightLine.h"

#include <cmath>

std::optional<FatigueFit> FatigueFit::Fit(const QList<FatigueGroup>& groups) {
    QList<double> x, y;
    for (const FatigueGroup& g : groups) {
        if (!(g.stressRate > 0) || !(g.medianStress > 0))
            return std::nullopt;
        x.append(std::log(g.stressRate));
        y.append(std::log(g.medianStress));
    }
    const std::optional<StraightLine> line = StraightLine::Fit(x, y);
    if (!line || line->slope == 0)
        return std::nullopt;
    FatigueFit fit;
    fit.groups = groups;
    fit.slope = line->slope;
    fit.intercept = line->intercept;
    fit.n = 1.0 / line->slope - 1.0;
    std::optional<double> slopeError = line->slopeError;
    if (groups.size() == 2 && groups[0].logMedianError && groups[1].logMedianError) {
        const double e0 = *groups[0].logMedianError, e1 = *groups[1].logMedianError;
        slopeError = std::sqrt(e0 * e0 + e1 * e1) / std::abs(x[1] - x[0]);
    }
    if (slopeError)
        fit.nError = *slopeError / (line->slope * line->slope);
    return fit;
}
