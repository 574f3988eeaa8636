#pragma once

#include <QList>
#include <optional>

// Two-parameter Weibull strength distribution F(s) = 1 - exp(-(s / sigma0)^m).
struct WeibullEstimate {
    double m = 0;
    double sigma0 = 0;
};

// Maximum-likelihood estimate (plain, without an unbiasing factor) with two-sided 90 % confidence
// bounds on both parameters.
struct WeibullMaximumLikelihood {
    WeibullEstimate estimate;
    double mLow = 0, mHigh = 0;
    double sigma0Low = 0, sigma0High = 0;
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

// Up to this many values the bounds come from the exact sampling distribution of the estimators
// (simulated once per sample size, seeded); above it from their normal approximation.
constexpr int ExactBoundsLimit = 120;
} // namespace Weibull
