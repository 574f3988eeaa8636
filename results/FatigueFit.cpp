#include "results/FatigueFit.h"

#include "results/LineFit.h"

#include <cmath>

std::optional<FatigueFit> FatigueFit::Fit(const QList<FatigueGroup>& groups) {
    QList<double> x, y;
    for (const FatigueGroup& g : groups) {
        if (!(g.stressRate > 0) || !(g.medianStress > 0))
            return std::nullopt;
        x.append(std::log(g.stressRate));
        y.append(std::log(g.medianStress));
    }
    const LineFitResult line = LineFit(x, y);
    if (!line.m || *line.m == 0)
        return std::nullopt;
    FatigueFit fit;
    fit.groups = groups;
    fit.slope = *line.m;
    fit.intercept = *line.c;
    fit.n = 1.0 / *line.m - 1.0;
    std::optional<double> slopeError = line.delm;
    if (groups.size() == 2 && groups[0].logMedianError && groups[1].logMedianError) {
        const double e0 = *groups[0].logMedianError, e1 = *groups[1].logMedianError;
        slopeError = std::sqrt(e0 * e0 + e1 * e1) / std::abs(x[1] - x[0]);
    }
    if (!std::isfinite(fit.n))
        return std::nullopt;
    if (slopeError && std::isfinite(*slopeError / (*line.m * *line.m)))
        fit.nError = *slopeError / (*line.m * *line.m);
    return fit;
}
