#include "experiments/LifetimeModel.h"

#include <algorithm>
#include <cmath>

namespace {
bool positive(double v) {
    return std::isfinite(v) && v > 0;
}

std::optional<double> finitePositive(double v) {
    return positive(v) ? std::optional<double>(v) : std::nullopt;
}

// q = −ln(1 − F) / (L N_p): the number of flaws per proof break that the target allows.
double proofShare(const LifetimeModel::Proof& p, double f) {
    return -std::log1p(-f) / (p.lengthKm * p.breaksPerKm);
}

// x = σa^n ts / (σp^n tp) that gives the share q: (1 + x)^(m/(n−2)) = 1 + q.
double proofLoadRatio(const LifetimeModel::Proof& p, double q) {
    return std::expm1((p.n - 2) / p.m * std::log1p(q));
}
} // namespace

QString LifetimeModel::Check(const Proof& p) {
    if (!(std::isfinite(p.n) && p.n > 2))
        return QStringLiteral("n must be above 2");
    if (!positive(p.m))
        return QStringLiteral("m must be above 0");
    if (!positive(p.proofStress))
        return QStringLiteral("the proof stress must be above 0");
    if (!positive(p.proofTime))
        return QStringLiteral("the proof time must be above 0");
    if (!positive(p.breaksPerKm))
        return QStringLiteral("the proof breaks per km must be above 0");
    if (!positive(p.lengthKm))
        return QStringLiteral("the length must be above 0");
    return {};
}

QString LifetimeModel::Check(const Batch& b) {
    if (!(std::isfinite(b.n) && b.n > 2))
        return QStringLiteral("n must be above 2");
    if (!positive(b.m))
        return QStringLiteral("m must be above 0");
    if (!positive(b.sigma0))
        return QStringLiteral("\u03c30 must be above 0");
    if (!positive(b.gaugeLengthM))
        return QStringLiteral("the gauge length must be above 0");
    if (!positive(b.stressRate))
        return QStringLiteral("the stress rate must be above 0");
    if (!positive(b.lengthKm))
        return QStringLiteral("the length must be above 0");
    return {};
}

QString LifetimeModel::CheckProbability(double f) {
    return std::isfinite(f) && f > 0 && f < 1 ? QString() : QStringLiteral("F must lie between 0 and 1");
}

std::optional<double> LifetimeModel::ProofFailure(const Proof& p, double serviceStress, double serviceTime) {
    if (!Check(p).isEmpty() || !positive(serviceStress) || !(serviceTime >= 0))
        return std::nullopt;
    // In logarithms: σ^n overflows for n 30 at GPa stresses, and small F keeps its digits through
    // expm1 and log1p.
    const double x =
        std::exp(p.n * std::log(serviceStress / p.proofStress) + std::log(serviceTime / p.proofTime));
    const double flaws = p.lengthKm * p.breaksPerKm * std::expm1(p.m / (p.n - 2) * std::log1p(x));
    const double f = -std::expm1(-flaws);
    return std::isfinite(f) ? std::optional<double>(f) : std::nullopt;
}

std::optional<double> LifetimeModel::ProofLifetime(const Proof& p, double serviceStress, double f) {
    if (!Check(p).isEmpty() || !CheckProbability(f).isEmpty() || !positive(serviceStress))
        return std::nullopt;
    const double x = proofLoadRatio(p, proofShare(p, f));
    return finitePositive(
        std::exp(std::log(x) + std::log(p.proofTime) + p.n * std::log(p.proofStress / serviceStress)));
}

std::optional<double> LifetimeModel::ProofAllowedStress(const Proof& p, double f, double serviceTime) {
    if (!Check(p).isEmpty() || !CheckProbability(f).isEmpty() || !positive(serviceTime))
        return std::nullopt;
    const double x = proofLoadRatio(p, proofShare(p, f));
    return finitePositive(p.proofStress *
                          std::exp((std::log(x) + std::log(p.proofTime / serviceTime)) / p.n));
}

std::optional<double> LifetimeModel::ProofStressNeeded(const Proof& p, double serviceStress, double f,
                                                       double serviceTime) {
    Proof q = p;
    q.proofStress = 1; // not read below; keeps the check from refusing it
    if (!Check(q).isEmpty() || !CheckProbability(f).isEmpty() || !positive(serviceStress) ||
        !positive(serviceTime))
        return std::nullopt;
    const double x = proofLoadRatio(p, proofShare(p, f));
    return finitePositive(serviceStress *
                          std::exp((std::log(serviceTime / p.proofTime) - std::log(x)) / p.n));
}

std::optional<double> LifetimeModel::EquivalentStrength(double n, double stressRate, double stress,
                                                        double time) {
    if (!(n > 2) || !positive(stressRate) || !positive(stress) || !positive(time))
        return std::nullopt;
    return finitePositive(
        std::exp((std::log((n + 1) * stressRate) + n * std::log(stress) + std::log(time)) / (n + 1)));
}

std::optional<double> LifetimeModel::BatchFailure(const Batch& b, double serviceStress, double serviceTime) {
    if (!Check(b).isEmpty())
        return std::nullopt;
    const std::optional<double> s = EquivalentStrength(b.n, b.stressRate, serviceStress, serviceTime);
    if (!s)
        return std::nullopt;
    const double lengths = b.lengthKm * 1000 / b.gaugeLengthM;
    const double f = -std::expm1(-std::exp(std::log(lengths) + b.m * std::log(*s / b.sigma0)));
    return std::isfinite(f) ? std::optional<double>(f) : std::nullopt;
}

namespace {
// The dynamic strength S at which a batch's fiber of length L fails with probability f, as ln S.
double batchLogStrength(const LifetimeModel::Batch& b, double f) {
    const double lengths = b.lengthKm * 1000 / b.gaugeLengthM;
    return std::log(b.sigma0) + (std::log(-std::log1p(-f)) - std::log(lengths)) / b.m;
}
} // namespace

std::optional<double> LifetimeModel::BatchLifetime(const Batch& b, double serviceStress, double f) {
    if (!Check(b).isEmpty() || !CheckProbability(f).isEmpty() || !positive(serviceStress))
        return std::nullopt;
    // S^(n+1) = (n+1) σ̇ σa^n t
    const double logS = batchLogStrength(b, f);
    return finitePositive(
        std::exp((b.n + 1) * logS - std::log((b.n + 1) * b.stressRate) - b.n * std::log(serviceStress)));
}

std::optional<double> LifetimeModel::BatchAllowedStress(const Batch& b, double f, double serviceTime) {
    if (!Check(b).isEmpty() || !CheckProbability(f).isEmpty() || !positive(serviceTime))
        return std::nullopt;
    const double logS = batchLogStrength(b, f);
    return finitePositive(
        std::exp(((b.n + 1) * logS - std::log((b.n + 1) * b.stressRate) - std::log(serviceTime)) / b.n));
}

double LifetimeModel::Range::decades() const {
    if (!low || !high || !(*low > 0) || !(*high > 0))
        return 0;
    return std::log10(*high / *low);
}

LifetimeModel::Range
LifetimeModel::Spread(double m, double n, const Bounds& bounds,
                      const std::function<std::optional<double>(double, double)>& answer) {
    Range r;
    r.value = answer(m, n);
    const double ms[3] = {bounds.mLow.value_or(m), m, bounds.mHigh.value_or(m)};
    const double ns[3] = {bounds.nLow.value_or(n), n, bounds.nHigh.value_or(n)};
    for (double mi : ms)
        for (double ni : ns) {
            const std::optional<double> a =
                std::isfinite(mi) && std::isfinite(ni) ? answer(mi, ni) : std::nullopt;
            if (!a) {
                r.partial = true;
                continue;
            }
            r.low = r.low ? std::min(*r.low, *a) : *a;
            r.high = r.high ? std::max(*r.high, *a) : *a;
        }
    return r;
}

QString LifetimeModel::SpreadNote(const Range& r) {
    const double d = r.decades();
    QString note;
    if (d >= 2)
        note = QStringLiteral("the range spans %1 orders of magnitude")
                   .arg(QString::number(std::floor(d), 'f', 0));
    else if (d >= 1)
        note = QStringLiteral("the range spans an order of magnitude");
    if (r.partial)
        note += (note.isEmpty() ? QString() : QStringLiteral("; ")) +
                QStringLiteral("some bounds of n or m give no answer (n at or below 2)");
    return note;
}
