#pragma once

#include <QList>
#include <QString>
#include <optional>

// One rate group as the dynamic fatigue fit sees it.
struct FatigueGroup {
    QString rate;        // the nominal rate text of the group
    double stressRate;   // MPa/s (a strain rate converted with the modulus)
    double medianStress; // MPa
    // Standard error of ln(median stress) from the scatter inside the group; nullopt below two.
    std::optional<double> logMedianError;
    int specimens = 0; // behind the median
};

// Dynamic fatigue: ln(median stress) = b ln(stress rate) + c by least squares over the groups,
// n = 1/b - 1 with its standard error from that of b (dn = db / b^2). With exactly two groups the
// line has no residuals to give that error, so it comes from the scatter inside the two groups.
struct FatigueFit {
    double n = 0;
    std::optional<double> nError;
    double slope = 0;
    double intercept = 0;
    QList<FatigueGroup> groups;

    // nullopt with fewer than two groups, two groups at the same rate or a slope of 0.
    static std::optional<FatigueFit> Fit(const QList<FatigueGroup>& groups);
};
