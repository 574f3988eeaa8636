#pragma once

#include <QList>
#include <optional>

// Unweighted least-squares line y = slope * x + intercept; the slope's standard error from the
// residuals needs three points or more.
struct StraightLine {
    double slope = 0;
    double intercept = 0;
    std::optional<double> slopeError;

    // nullopt below two points or when every x is the same.
    static std::optional<StraightLine> Fit(const QList<double>& x, const QList<double>& y);
};
