#pragma once

#include "experiments/LifetimeModel.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class BatchStatistics;
class ProofStatistics;

// One input of the lifetime model and where it came from ("typed", "batch: …", "default").
struct LifetimeValue {
    std::optional<double> value;
    QString source;
    void set(double v, const QString& from) {
        value = v;
        source = from;
    }
};

// Everything the lifetime model is asked with. Units: stress MPa, times s (service life in years),
// length km, gauge length m, stress rate MPa/s.
struct LifetimeInputs {
    static constexpr double DefaultLengthKm = 1;
    static constexpr double DefaultProofTime = 1; // s
    static constexpr double MinProofTime = 0.1, MaxProofTime = 10;

    LifetimeValue m, mLow, mHigh;
    LifetimeValue n, nLow, nHigh;
    LifetimeValue sigma0, gaugeLengthM, stressRate; // the tensile batch
    LifetimeValue proofStress, proofTime, breaksPerKm;
    LifetimeValue lengthKm;
    LifetimeValue serviceStress, serviceYears, targetF;
    QString serviceStrainNote; // how a service strain became the service stress; empty when typed as stress
    QStringList notes;         // cautions from the batch (n undetermined, few groups)

    // The proof form when a proof stress is known, else the tensile-batch form.
    bool proofForm() const { return proofStress.value.has_value(); }

    // Fills what the batch's statistics give: m and σ0 with their 90 % bounds from the largest rate
    // group, its stress rate and gauge length, n from the dynamic fatigue fit (or the static one when
    // that is better determined) with 90 % bounds, and σp, tp, N_p from the main proof level. Values
    // already set are kept (typed wins).
    struct Conditions {
        std::optional<double> gaugeLengthMm, modulusGpa, modulusA;
    };
    // The medians of the rows' conditions texts (gauge length, E0, a).
    static Conditions RowConditions(int count, const std::function<QString(int row, int field)>& field);
    void FillFromBatch(const BatchStatistics& stats, const ProofStatistics& proof,
                       const Conditions& conditions);
    // L and tp where nothing gave them.
    void FillDefaults();

    // Two-sided 90 % bounds of n: the dynamic n = 1/b − 1 bounded through its slope b (so the bounds are
    // not symmetric, and the upper one is infinite when b's lower bound reaches 0), the static n
    // directly; Student's t for dof degrees of freedom (the normal quantile without any).
    static std::pair<double, double> DynamicBounds(double n, double nError, int dof);
    static std::pair<double, double> StaticBounds(double n, double nError, int dof);
    static double StudentT95(int dof);

    // Empty when the model can run; else what is missing or impossible, one line each.
    QStringList Problems() const;

    LifetimeModel::Proof proof() const;
    LifetimeModel::Batch batch() const;
    LifetimeModel::Bounds bounds() const;
};
