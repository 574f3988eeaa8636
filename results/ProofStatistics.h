#pragma once

#include "results/WeibullEstimate.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The rows of one proof level: every specimen proofed at σp for tp.
struct ProofLevel {
    double stress = 0;        // σp, MPa
    double time = 0;          // tp, s
    int failures = 0;         // broke during the proof
    int passed = 0;           // survived it (pulled to break afterwards or not)
    int ignored = 0;          // comment starting with "ignore"
    double testedMetres = 0;  // gauge length × specimens, of the usable rows
    QList<double> afterProof; // MPa: strengths of survivors pulled to break
    QList<int> rows;
    // Weibull of the survivors' strengths, a distribution truncated below at σp: by maximum likelihood
    // of f(s) / (1 − F(σp)).
    std::optional<WeibullEstimate> truncatedWeibull;

    int specimens() const { return failures + passed; }
    std::optional<double> failureFraction() const;
    // Proof breaks per km of tested length.
    std::optional<double> breaksPerKm() const;
    // "700 MPa, 1 s": the key text of the level.
    QString name() const;
};

// Proof-test rows: their comment starts with "proof failure" (broke during the proof), "proof passed"
// (survived), then " at <σp> MPa for <tp> s", and " then broken" when a survivor was pulled to break
// afterwards (no comma: the comment stays one field of the file even where it is read unquoted).
// They are no strengths of the batch's rate groups: a failure is cut off by the proof and a survivor's
// strength is what the proof left.
class ProofStatistics {
public:
    using FieldReader = std::function<QString(int row, int index)>;
    ProofStatistics() = default;
    explicit ProofStatistics(const QList<QStringList>& rows);
    ProofStatistics(int count, const FieldReader& field);

    enum class Kind { None, Failure, Passed, PassedThenBroken };
    struct Comment {
        Kind kind = Kind::None;
        double stress = 0, time = 0;
    };
    static Comment ParseComment(QStringView comment);
    static bool IsProofRow(QStringView comment) { return ParseComment(comment).kind != Kind::None; }
    static QString CommentText(Kind kind, double stress, double time);

    // Left-truncated Weibull by maximum likelihood: strengths at or above the truncation point
    // (none below it); nullopt with fewer than two or all equal.
    static std::optional<WeibullEstimate> TruncatedWeibull(const QList<double>& strengths, double truncation);

    const QList<ProofLevel>& levels() const { return m_levels; }
    bool isEmpty() const { return m_levels.isEmpty(); }
    // The level with the most specimens (the first of equals); nullptr when there is none.
    const ProofLevel* MainLevel() const;

    // "proof:<level>:specimens", ":failures", ":passed", ":failure_fraction", ":tested_km",
    // ":breaks_per_km", ":after_m", ":after_sigma0_MPa", level as "700_MPa_1_s".
    QString KeyValueText() const;
    // The lines under the statistics' table.
    QString SummaryText() const;

    static constexpr int StressField = 3, CommentField = 15, ParametersField = 16;

private:
    QList<ProofLevel> m_levels;
};
