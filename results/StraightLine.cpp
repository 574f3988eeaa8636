#include "results/StraightLine.h"

#include <cmath>

std::optional<StraightLine> StraightLine::Fit(const QList<double>& x, const QList<double>& y) {
    const qsizetype n = qMin(x.size(), y.size());
    if (n < 2)
        return std::nullopt;
    double xbar = 0, ybar = 0;
    for (qsizetype i = 0; i < n; ++i) {
        xbar += x[i];
        ybar += y[i];
    }
    xbar /= double(n);
    ybar /= double(n);
    double sxx = 0, sxy = 0;
    for (qsizetype i = 0; i < n; ++i) {
        sxx += (x[i] - xbar) * (x[i] - xbar);
        sxy += (x[i] - xbar) * (y[i] - ybar);
    }
    if (!(sxx > 0))
        return std::nullopt;
    StraightLine line;
    line.slope = sxy / sxx;
    line.intercept = ybar - line.slope * xbar;
    if (n >= 3) {
        double sse = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const double r = y[i] - (line.slope * x[i] + line.intercept);
            sse += r * r;
        }
        line.slopeError = std::sqrt(sse / double(n - 2) / sxx);
    }
    return line;
}
