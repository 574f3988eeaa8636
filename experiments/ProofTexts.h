#pragma once

#include <QString>

// Texts of the proof run, exactly as the operator sees them.
namespace ProofTexts {
inline const QString MenuEntry = QStringLiteral("&Proof test");
inline const QString Title = QStringLiteral("PROOF TEST");
inline const QString StressPrompt = QStringLiteral("Proof stress \u03c3p (MPa):");
inline const QString TimePrompt = QStringLiteral("Proof time tp (s, 0.1 to 10):");
inline const QString PullQuestion =
    QStringLiteral("Pull each fiber that passes the proof to break at the chosen rate?");
inline const QString RampCaption = QStringLiteral("PROOF TEST: LOADING");
inline const QString HoldCaption = QStringLiteral("PROOF TEST: HOLDING");
inline const QString UnloadCaption = QStringLiteral("PROOF TEST: UNLOADING");
inline const QString NeedsRate = QStringLiteral(
    "A proof test loads the fiber at the chosen speed, stress rate or strain rate: choose one of them "
    "instead of a static test.");
inline const QString BadNumber = QStringLiteral("The proof stress must be above 0 MPa and the proof time "
                                                "between 0.1 and 10 s.");
inline QString TooLow(const QString& load, const QString& minimum) {
    return QStringLiteral("The proof load (") + load +
           QStringLiteral(" N) is not above the minimum load for break detection (") + minimum +
           QStringLiteral(" N): a failure could not be detected.");
}
inline const QString FailedTitle = QStringLiteral("PROOF FAILURE");
inline QString Failed(const QString& peak) {
    return QStringLiteral("The fiber broke during the proof test (") + peak +
           QStringLiteral(" N). It is recorded as a proof failure.");
}
inline const QString Stopped =
    QStringLiteral("The proof test was stopped before it ended. Nothing was recorded.");
} // namespace ProofTexts
