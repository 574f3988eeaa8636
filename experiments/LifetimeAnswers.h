#pragma once

#include "experiments/LifetimeInputs.h"
#include "experiments/LifetimeModel.h"

#include <QList>
#include <QString>

// What the lifetime model answers for a set of inputs, each with the range that the 90 % bounds of n
// and m give it.
struct LifetimeAnswers {
    struct Answer {
        QString key;   // of the key/value output, with its unit: "lifetime_years"
        QString label; // as the window and the report show it
        LifetimeModel::Range range;
        bool probability = false;
    };
    QList<Answer> answers; // only those the inputs allow, in a fixed order

    // F for the service life, the lifetime for the target F, the allowed service stress for both, and
    // (proof form) the proof stress needed for the service stress, life and target F.
    static LifetimeAnswers Compute(const LifetimeInputs& in);

    // One point of a curve: F after `years` at stress (MPa); allowed stress for `years` at F.
    static std::optional<double> FailureAt(const LifetimeInputs& in, double stress, double years);
    static std::optional<double> AllowedAt(const LifetimeInputs& in, double f, double years);

    // "key<TAB>value" lines: the form, every input with "_source", then each answer with "_low",
    // "_high" and "_note" (when there is one).
    QString KeyValueText(const LifetimeInputs& in) const;
    // The answer's value and range as the window shows it: "1814 years (95 to 3.2e4)".
    static QString DisplayText(const Answer& a);
    // Numbers as the output writes them: 6 significant digits, C locale.
    static QString Number(double v);
};
