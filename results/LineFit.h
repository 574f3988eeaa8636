#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Least-squares straight line y = m*x + c with standard errors. A result the points cannot give
// (standard errors below three points, a slope when every x is the same) is empty and reads "--".
struct LineFitResult {
    std::optional<double> m, delm, c, delc;
    std::optional<double> b, delb; // the line's value at xbar (ybar) and its standard error
    std::optional<double> xbar, resid, gamma, Xsos, MSE;
    int N = 0;

    // "m", "delm", "c", "delc", "b", "delb", "xbar", "resid", "gamma", "Xsos", "MSE", "N"
    static const QStringList& names();
    // The twelve results in the order of names(); an empty one is "--".
    QStringList texts() const;
    static QString text(const std::optional<double>& value);
};

// Fits the first n points; w is read only when weighted is true.
LineFitResult LineFit(const QList<double>& x, const QList<double>& y, const QList<double>& w, bool weighted,
                      int n);
inline LineFitResult LineFit(const QList<double>& x, const QList<double>& y) {
    return LineFit(x, y, {}, false, int(qMin(x.size(), y.size())));
}
