#include "results/WeibullEstimate.h"

#include "results/LineFit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {
// The shape for logarithms shifted so that their largest is 0 (which keeps every exp() at or below
// 1). Returns the shape and the mean of exp(m * y).
bool SolveShape(const double* y, qsizetype n, double& m, double& meanWeight) {
    double ybar = 0;
    for (qsizetype i = 0; i < n; ++i)
        ybar += y[i];
    ybar /= double(n);
    double var = 0;
    for (qsizetype i = 0; i < n; ++i)
        var += (y[i] - ybar) * (y[i] - ybar);
    var /= double(n);
    if (!(var > 1e-28))
        return false;
    // The moment estimate as the start: sd(ln s) = pi / (sqrt 6 * m).
    m = 1.2825498301618641 / std::sqrt(var);
    double s0 = 0;
    if (!Weibull::SolveShapeEquation(y, n, ybar, m, s0))
        return false;
    meanWeight = s0 / double(n);
    return true;
}

} // namespace

bool Weibull::SolveShapeEquation(const double* y, qsizetype n, double ybar, double& m, double& sumWeight) {
    double lo = 0, hi = std::numeric_limits<double>::infinity();
    for (int iteration = 0; iteration < 300; ++iteration) {
        double s0 = 0, s1 = 0, s2 = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const double w = std::exp(m * y[i]);
            s0 += w;
            s1 += w * y[i];
            s2 += w * y[i] * y[i];
        }
        const double a = s1 / s0;
        // Rises with m from minus infinity to -ybar > 0: one root.
        const double f = a - 1.0 / m - ybar;
        if (f > 0)
            hi = m;
        else
            lo = m;
        const double slope = s2 / s0 - a * a + 1.0 / (m * m);
        double next = m - f / slope;
        if (!(next > lo && next < hi))
            next = std::isinf(hi) ? 2 * m : (lo + hi) / 2;
        const bool done = std::abs(next - m) <= 1e-13 * m;
        m = next;
        if (done)
            break;
    }
    if (!std::isfinite(m) || !(m > 0))
        return false;
    sumWeight = 0;
    for (qsizetype i = 0; i < n; ++i)
        sumWeight += std::exp(m * y[i]);
    return true;
}

namespace {

std::optional<WeibullEstimate> EstimateFromLogs(std::vector<double>& logs) {
    if (logs.size() < 2)
        return std::nullopt;
    const double top = *std::max_element(logs.begin(), logs.end());
    for (double& l : logs)
        l -= top;
    double m = 0, meanWeight = 0;
    if (!SolveShape(logs.data(), qsizetype(logs.size()), m, meanWeight))
        return std::nullopt;
    return WeibullEstimate{m, std::exp(top + std::log(meanWeight) / m)};
}

std::vector<double> Logs(const QList<double>& stresses) {
    std::vector<double> logs;
    logs.reserve(std::size_t(stresses.size()));
    for (double s : stresses)
        logs.push_back(std::log(s));
    return logs;
}
} // namespace

bool Weibull::Estimable(const QList<double>& stresses) {
    if (stresses.size() < 2)
        return false;
    bool spread = false;
    for (double s : stresses) {
        if (!(s > 0) || !std::isfinite(s))
            return false;
        spread = spread || s != stresses.front();
    }
    return spread;
}

std::optional<WeibullEstimate> Weibull::MaximumLikelihoodEstimate(const QList<double>& logs) {
    std::vector<double> l(logs.begin(), logs.end());
    return EstimateFromLogs(l);
}

std::optional<WeibullMaximumLikelihood> Weibull::MaximumLikelihood(const QList<double>& stresses) {
    if (!Estimable(stresses))
        return std::nullopt;
    std::vector<double> logs = Logs(stresses);
    const std::optional<WeibullEstimate> e = EstimateFromLogs(logs);
    if (!e)
        return std::nullopt;
    WeibullMaximumLikelihood r;
    r.estimate = *e;
    const int n = int(stresses.size());
    const WeibullPivots p = Pivots(n);
    r.mLow = e->m / p.shape95;
    r.mHigh = e->m / p.shape05;
    r.sigma0Low = e->sigma0 * std::exp(-p.scale95 / e->m);
    r.sigma0High = e->sigma0 * std::exp(-p.scale05 / e->m);
    if (const std::optional<double> factor = UnbiasingFactor(n))
        r.mUnbiased = e->m * *factor;
    return r;
}

QList<WeibullPlotPoint> Weibull::PlotPoints(const QList<double>& stresses) {
    QList<double> sorted = stresses;
    std::sort(sorted.begin(), sorted.end());
    const double n = double(sorted.size());
    QList<WeibullPlotPoint> points;
    points.reserve(sorted.size());
    for (qsizetype i = 0; i < sorted.size(); ++i) {
        const double f = (double(i + 1) - 0.3) / (n + 0.4);
        points.append({std::log(sorted[i]), std::log(-std::log(1 - f))});
    }
    return points;
}

std::optional<WeibullEstimate> Weibull::Regression(const QList<double>& stresses) {
    if (!Estimable(stresses))
        return std::nullopt;
    QList<double> x, y;
    for (const WeibullPlotPoint& p : PlotPoints(stresses)) {
        x.append(p.x);
        y.append(p.y);
    }
    const LineFitResult line = LineFit(x, y);
    if (!line.m || !(*line.m > 0))
        return std::nullopt;
    return WeibullEstimate{*line.m, std::exp(-*line.c / *line.m)};
}
