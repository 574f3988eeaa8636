#include "results/LineFit.h"

#include "params/NumberFormat.h"

#include <cmath>

namespace {
std::optional<double> numeric(double v) {
    if (std::isfinite(v))
        return v;
    return std::nullopt;
}
} // namespace

const QStringList& LineFitResult::names() {
    static const QStringList n = {QStringLiteral("m"),    QStringLiteral("delm"),  QStringLiteral("c"),
                                  QStringLiteral("delc"), QStringLiteral("b"),     QStringLiteral("delb"),
                                  QStringLiteral("xbar"), QStringLiteral("resid"), QStringLiteral("gamma"),
                                  QStringLiteral("Xsos"), QStringLiteral("MSE"),   QStringLiteral("N")};
    return n;
}

QString LineFitResult::text(const std::optional<double>& value) {
    return value ? numberText(*value) : QStringLiteral("--");
}

QStringList LineFitResult::texts() const {
    return {text(m),    text(delm),  text(c),     text(delc), text(b),   text(delb),
            text(xbar), text(resid), text(gamma), text(Xsos), text(MSE), QString::number(N)};
}

LineFitResult LineFit(const QList<double>& x, const QList<double>& y, const QList<double>& w, bool weighted,
                      int n) {
    LineFitResult r;
    n = qMax(0, qMin(n, int(qMin(x.size(), y.size()))));
    if (weighted)
        n = qMin(n, int(w.size()));
    r.N = n;
    if (n < 1)
        return r;

    // Sums about the means (two passes): the same quantities as the raw power sums, without the
    // cancellation that turns a perfect line into a tiny non-zero slope error.
    double s = 0, sx = 0, sy = 0;
    for (int i = 0; i < n; ++i) {
        const double wi = weighted ? w[i] : 1.0;
        s += wi;
        sx += wi * x[i];
        sy += wi * y[i];
    }
    if (s == 0)
        return r;
    const double xbar = sx / s;
    const double ybar = sy / s;
    double xsos = 0, ysos = 0, xysos = 0;
    for (int i = 0; i < n; ++i) {
        const double wi = weighted ? w[i] : 1.0;
        const double dx = x[i] - xbar;
        const double dy = y[i] - ybar;
        xsos += wi * dx * dx;
        ysos += wi * dy * dy;
        xysos += wi * dx * dy;
    }
    r.xbar = xbar;
    r.Xsos = xsos;
    r.gamma = numeric(xysos / std::sqrt(ysos * xsos));
    if (xsos <= 0) // every x the same: no slope
        return r;

    const double m = xysos / xsos;
    const double c = ybar - m * xbar;
    r.m = m;
    r.c = c;
    r.b = ybar;
    double resid = 0;
    for (int i = 0; i < n; ++i) {
        const double e = (y[i] - ybar) - m * (x[i] - xbar);
        resid += (weighted ? w[i] : 1.0) * e * e;
    }
    if (n >= 3) {
        const double mse = resid / (n - 2);
        r.delm = std::sqrt(resid / xsos / (n - 2));
        r.delc = std::sqrt((xbar * xbar / xsos + 1 / s) * mse);
        r.delb = std::sqrt(mse / s);
        r.MSE = mse;
    }
    r.resid = n * resid / s;
    return r;
}
