#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

// A published data set shipped with the program and the figures an independent engine computed from
// it. The file: comment lines ("# ...": what the set is, its source and how the figures were
// computed), reference lines ("#= key value") and one value a line; a censored set gives each value
// with "failure" or "runout" after it.
struct ReferenceSet {
    QString name;          // the file's name
    QStringList comments;  // the comment lines without their "# "
    QList<double> values;  // strengths or times
    QList<bool> broke;     // false for a run-out; all true for a strength set
    bool censored = false; // a time-to-failure set
    QList<QPair<QString, double>> references;

    // nullopt with *error set when the text is not such a file.
    static std::optional<ReferenceSet> Parse(const QString& name, const QString& text, QString* error);
};

struct VerifiedFigure {
    QString key;
    std::optional<double> value; // none when the program gives no such figure for the set
    double reference = 0;
    bool agrees() const;
};

// The statistics checked against reference figures: each figure the program computes from a set
// beside its reference value, agreeing when within Tolerance of it (relative).
namespace StatisticsVerification {
constexpr double Tolerance = 1e-6;

// The figures of a strength set come from the batch statistics of rows holding its values, as a data
// file's do; those of a censored set from the fit of a static level.
QList<VerifiedFigure> Verify(const ReferenceSet& set);
// The sets shipped with the program.
QList<ReferenceSet> ShippedSets(QString* error);
// Prints every set, its figures and the verdict; exit code 0 when all agree, 1 when one does not,
// 2 when the sets cannot be read.
int Run(std::FILE* out, std::FILE* err);
} // namespace StatisticsVerification
