#include "experiments/LifetimeInputs.h"

#include "results/BatchStatistics.h"
#include "results/Figures.h"
#include "results/ProofStatistics.h"

#include <cmath>
#include <limits>

double LifetimeInputs::StudentT95(int dof) {
    // One-sided 95 % points of Student's t.
    static constexpr double t[] = {6.3138, 2.9200, 2.3534, 2.1318, 2.0150, 1.9432, 1.8946, 1.8595,
                                   1.8331, 1.8125, 1.7959, 1.7823, 1.7709, 1.7613, 1.7531, 1.7459,
                                   1.7396, 1.7341, 1.7291, 1.7247, 1.7207, 1.7171, 1.7139, 1.7109,
                                   1.7081, 1.7056, 1.7033, 1.7011, 1.6991, 1.6973};
    if (dof < 1)
        return 1.6449;
    return dof <= 30 ? t[dof - 1] : 1.6449 + 1.0 / (1.5 * dof); // close enough beyond 30
}

std::pair<double, double> LifetimeInputs::DynamicBounds(double n, double nError, int dof) {
    const double b = 1 / (n + 1);
    const double se = nError * b * b;
    const double t = StudentT95(dof);
    const double bLow = b - t * se, bHigh = b + t * se;
    const double nHigh = bLow > 0 ? 1 / bLow - 1 : std::numeric_limits<double>::infinity();
    return {1 / bHigh - 1, nHigh};
}

std::pair<double, double> LifetimeInputs::StaticBounds(double n, double nError, int dof) {
    const double t = StudentT95(dof);
    return {n - t * nError, n + t * nError};
}

LifetimeInputs::Conditions LifetimeInputs::RowConditions(int count,
                                                         const std::function<QString(int, int)>& field) {
    QList<double> gauge, eo, ea;
    for (int r = 0; r < count; ++r) {
        const QStringList items =
            field(r, BatchStatistics::ParametersField).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (items.size() < 5)
            continue;
        const auto g = FieldNumber(items[1]), e = FieldNumber(items[3]), a = FieldNumber(items[4]);
        if (g && *g > 0)
            gauge.append(*g);
        if (e && *e > 0 && a) {
            eo.append(*e);
            ea.append(*a);
        }
    }
    Conditions c;
    if (!gauge.isEmpty())
        c.gaugeLengthMm = Median(gauge);
    if (!eo.isEmpty()) {
        c.modulusGpa = Median(eo);
        c.modulusA = Median(ea);
    }
    return c;
}

void LifetimeInputs::FillFromBatch(const BatchStatistics& stats, const ProofStatistics& proofStats,
                                   const Conditions& conditions) {
    const int largest = stats.LargestGroup();
    if (largest >= 0) {
        const GroupStatistics& g = stats.groups()[largest];
        const QString from = QStringLiteral("batch: %1 group, %2 specimens").arg(g.rate).arg(g.specimens());
        if (g.maximumLikelihood) {
            if (!m.value) {
                m.set(g.maximumLikelihood->estimate.m, from);
                mLow.set(g.maximumLikelihood->mLow, from);
                mHigh.set(g.maximumLikelihood->mHigh, from);
            }
            if (!sigma0.value)
                sigma0.set(g.maximumLikelihood->estimate.sigma0, from);
        }
        if (!stressRate.value && stats.fatigue())
            for (const FatigueGroup& f : stats.fatigue()->groups)
                if (f.rate == g.rate)
                    stressRate.set(f.stressRate, from);
        if (!stressRate.value && g.rate.endsWith(QLatin1String(" MPa/s")))
            if (const auto r = FieldNumber(g.rate.section(QLatin1Char(' '), 0, 0)); r && *r > 0)
                stressRate.set(*r, from);
    }
    if (!gaugeLengthM.value && conditions.gaugeLengthMm)
        gaugeLengthM.set(*conditions.gaugeLengthMm / 1000, QStringLiteral("batch: the rows' gauge length"));

    const auto& dynamic = stats.fatigue();
    const auto& statics = stats.statics().fatigue();
    if (!n.value) {
        const bool useStatic = statics && statics->nError && (!dynamic || !stats.FatigueDetermined());
        if (useStatic) {
            const QString from = QStringLiteral("batch: static fatigue, %1 levels").arg(statics->levels);
            n.set(statics->n, from);
            const auto [lo, hi] = StaticBounds(statics->n, *statics->nError, statics->levels - 2);
            nLow.set(lo, from);
            nHigh.set(hi, from);
        } else if (dynamic) {
            const QString from =
                QStringLiteral("batch: dynamic fatigue, %1 rate groups").arg(dynamic->groups.size());
            n.set(dynamic->n, from);
            if (dynamic->nError) {
                const auto [lo, hi] =
                    DynamicBounds(dynamic->n, *dynamic->nError, int(dynamic->groups.size()) - 2);
                nLow.set(lo, from);
                nHigh.set(hi, from);
            }
            if (!stats.FatigueDetermined())
                notes << QStringLiteral("n is not determined by the batch:") + stats.FatigueCaution();
        }
    }

    if (const ProofLevel* level = proofStats.MainLevel(); level && level->specimens() > 0) {
        const QString from = QStringLiteral("proof rows: %1 of %2 failed at %3")
                                 .arg(level->failures)
                                 .arg(level->specimens())
                                 .arg(level->name());
        if (!proofStress.value)
            proofStress.set(level->stress, from);
        if (!proofTime.value)
            proofTime.set(level->time, from);
        if (!breaksPerKm.value && level->breaksPerKm() && level->failures > 0)
            breaksPerKm.set(*level->breaksPerKm(),
                            from +
                                QStringLiteral(", %1 km tested").arg(level->testedMetres / 1000, 0, 'g', 4));
        // The proof's own population: the survivors' strengths as the truncated distribution they are.
        if (level->truncatedWeibull && m.source.startsWith(QLatin1String("batch:"))) {
            m.set(level->truncatedWeibull->m,
                  from + QStringLiteral(", survivors' strengths truncated at \u03c3p"));
            mLow = {};
            mHigh = {};
            notes << QStringLiteral("m of the survivors has no 90 % bounds: the ranges show those of n only");
        }
    }
}

void LifetimeInputs::FillDefaults() {
    if (!lengthKm.value)
        lengthKm.set(DefaultLengthKm, QStringLiteral("default"));
    if (proofStress.value && !proofTime.value)
        proofTime.set(DefaultProofTime, QStringLiteral("default"));
}

QStringList LifetimeInputs::Problems() const {
    QStringList p;
    auto need = [&p](const LifetimeValue& v, const char* what) {
        if (!v.value)
            p << QStringLiteral("%1 is missing").arg(QLatin1String(what));
    };
    need(m, "m");
    need(n, "n");
    if (n.value && !(std::isfinite(*n.value) && *n.value > 2))
        p << QStringLiteral("n must be above 2");
    if (m.value && !(std::isfinite(*m.value) && *m.value > 0))
        p << QStringLiteral("m must be above 0");
    need(serviceStress, "the service stress (or strain)");
    if (!serviceYears.value && !targetF.value)
        p << QStringLiteral("the service life in years or a target F is missing");
    if (serviceYears.value && !(*serviceYears.value > 0))
        p << QStringLiteral("the service life must be above 0 years");
    if (targetF.value) {
        const QString fProblem = LifetimeModel::CheckProbability(*targetF.value);
        if (!fProblem.isEmpty())
            p << fProblem;
    }
    if (serviceStress.value && !(*serviceStress.value > 0))
        p << QStringLiteral("the service stress must be above 0");
    if (proofTime.value && !(*proofTime.value > 0))
        p << QStringLiteral("the proof time must be above 0");
    if (!p.isEmpty())
        return p;
    if (proofForm()) {
        need(breaksPerKm, "the proof breaks per km");
        if (breaksPerKm.value && !(*breaksPerKm.value > 0))
            p << QStringLiteral("the proof breaks per km must be above 0 (no proof failures: give an "
                                "upper estimate)");
        if (p.isEmpty()) {
            const QString check = LifetimeModel::Check(proof());
            if (!check.isEmpty())
                p << check;
        }
    } else {
        if (!proofStress.value && !sigma0.value && !gaugeLengthM.value && !stressRate.value &&
            !breaksPerKm.value)
            p << QStringLiteral(
                "the proof stress is missing (or a tensile batch with \u03c30, gauge length and "
                "stress rate)");
        else {
            need(sigma0, "\u03c30");
            need(gaugeLengthM, "the gauge length");
            need(stressRate, "the stress rate");
        }
        if (p.isEmpty()) {
            const QString check = LifetimeModel::Check(batch());
            if (!check.isEmpty())
                p << check;
        }
    }
    return p;
}

LifetimeModel::Proof LifetimeInputs::proof() const {
    return {m.value.value_or(0),         n.value.value_or(0),           proofStress.value.value_or(0),
            proofTime.value.value_or(0), breaksPerKm.value.value_or(0), lengthKm.value.value_or(0)};
}

LifetimeModel::Batch LifetimeInputs::batch() const {
    return {m.value.value_or(0),          n.value.value_or(0),
            sigma0.value.value_or(0),     gaugeLengthM.value.value_or(0),
            stressRate.value.value_or(0), lengthKm.value.value_or(0)};
}

LifetimeModel::Bounds LifetimeInputs::bounds() const {
    return {nLow.value, nHigh.value, mLow.value, mHigh.value};
}
