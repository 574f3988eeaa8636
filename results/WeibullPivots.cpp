#include "results/WeibullEstimate.h"

#include "results/WeibullPivotTable.h"

#include <cmath>

namespace {
// lead / sqrt(n) + c1 / n + c2 / n^1.5 + c3 / n^2: the large-sample point and its corrections.
double PivotTail(const double (&c)[4], double n) {
    return c[0] / std::sqrt(n) + c[1] / n + c[2] / (n * std::sqrt(n)) + c[3] / (n * n);
}
} // namespace

WeibullPivots Weibull::Pivots(int n) {
    using namespace WeibullPivotTable;
    if (n < 2)
        return {};
    if (n <= Last) {
        const double* p = Points[n - 2];
        return {p[1], p[2], p[3], p[4]};
    }
    const double x = n;
    return {std::exp(PivotTail(LogShape05, x)), std::exp(PivotTail(LogShape95, x)), PivotTail(Scale05, x),
            PivotTail(Scale95, x)};
}

std::optional<double> Weibull::UnbiasingFactor(int n) {
    using namespace WeibullPivotTable;
    if (n < 3)
        return std::nullopt;
    if (n <= Last)
        return 1 / Points[n - 2][5];
    return std::exp(-PivotTail(LogMeanShape, double(n)));
}
