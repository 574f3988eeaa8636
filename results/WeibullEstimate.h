#pragma once

#include <QList>
#include <optional>

// Two-parameter Weibull strength distribution F(s) = 1 - exp(-(s / sigma0)^m).
struct WeibullEstimate {
    double m = 0;
    double sigma0 = 0;
};

// Maximum-likelihood estimate (plain, without an unbiasing factor) with two-sided 90 % confidence
// bounds on both parameters, and the modulus times the unbiasing factor of the batch size (none for
// two values, whose ML modulus has no finite mean).
struct WeibullMaximumLikelihood {
    WeibullEstimate estimate;
    double mLow = 0, mHigh = 0;
    double sigma0Low = 0, sigma0High = 0;
    std::optional<double> mUnbiased;
};

// The 5 % and 95 % points of the pivots m^/m and m^ ln(sigma0^/sigma0) of the ML estimates from n
// values, which do not depend on the true parameters.
struct WeibullPivots {
    double shape05 = 1, shape95 = 1, scale05 = 0, scale95 = 0;
};

// Points of the Weibull plot: x = ln s, y = ln(-ln(1 - F)) over median ranks F = (i - 0.3) / (n + 0.4).
struct WeibullPlotPoint {
    double x = 0;
    double y = 0;
};

namespace Weibull {
// Both estimators need at least two positive values that are not all equal; otherwise nullopt.
bool Estimable(const QList<double>& stresses);

std::optional<WeibullMaximumLikelihood> MaximumLikelihood(const QList<double>& stresses);
// Least squares of y on x over the median ranks: m the slope, sigma0 = exp(-intercept / m).
std::optional<WeibullEstimate> Regression(const QList<double>& stresses);
// The plot points in ascending order of stress.
QList<WeibullPlotPoint> PlotPoints(const QList<double>& stresses);

// Solves the shape's likelihood equation  sum(w y)/sum(w) - 1/m - ybar = 0,  w = exp(m y), by Newton
// inside a bracket, from the start value in m; y shifted so that its largest is 0, ybar the mean of the
// failures' y (with censored values among y, the failures only). Gives the sum of w at the root.
bool SolveShapeEquation(const double* y, qsizetype n, double ybar, double& m, double& sumWeight);

// The ML shape for the logarithms of the values (without confidence bounds); nullopt when they are
// all equal or fewer than two.
std::optional<WeibullEstimate> MaximumLikelihoodEstimate(const QList<double>& logs);

// From a table of the exact sampling distributions (simulated once, offline, with millions of
// samples) up to 100 values and a fit in 1/sqrt(n) beyond; n at least 2.
WeibullPivots Pivots(int n);
// 1 / E[m^/m] for n values: the ML modulus times it is unbiased; none below three values.
std::optional<double> UnbiasingFactor(int n);
} // namespace Weibull
