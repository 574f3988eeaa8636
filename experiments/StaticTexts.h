#pragma once

#include <QString>

// Texts of the static run, exactly as the operator sees them.
namespace StaticTexts {
inline const QString NoPreloadTitle = QStringLiteral("PRELOAD NEEDED");
inline const QString NoPreload = QStringLiteral("Static - must specify preloading");
inline const QString TooLowTitle = QStringLiteral("HOLD LOAD TOO LOW");
inline QString TooLow(const QString& hold, const QString& minimum) {
    return QStringLiteral("The hold load (") + hold +
           QStringLiteral(" N) is not above the minimum load for break "
                          "detection (") +
           minimum + QStringLiteral(" N):") + QStringLiteral("\r") +
           QStringLiteral("its break could not be detected. Raise the preload or lower the minimum.");
}
inline const QString HoldCaption = QStringLiteral("HOLDING FIBER");
inline const QString UnloadCaption = QStringLiteral("UNLOADING FIBER");
inline const QString RunoutTitle = QStringLiteral("RUN-OUT");
inline QString RunoutQuestion(bool stopped, const QString& held, const QString& level) {
    return (stopped ? QStringLiteral("Hold stopped after ") : QStringLiteral("No break after ")) + held +
           QStringLiteral(" at ") + level + QStringLiteral(".") + QStringLiteral("\r") +
           QStringLiteral("Record a run-out?");
}
inline const QString ReplaceFiberTitle = QStringLiteral("REPLACE THE FIBER");
inline QString ReplaceFiber(const QString& level, const QString& held) {
    return QStringLiteral("The fiber was held at ") + level + QStringLiteral(" for ") + held +
           QStringLiteral(" and is damaged by it.") + QStringLiteral("\r") +
           QStringLiteral("Replace it before the next test.");
}
// The comment of a run-out row; the statistics recognise it by its start.
inline const QString RunoutComment = QStringLiteral("runout");
// A hold a communication fault ended: kept, but out of the statistics.
inline QString FaultRunoutQuestion(const QString& held, const QString& level) {
    return QStringLiteral("The hold was stopped by a communication fault with the System Controller after ") +
           held + QStringLiteral(" at ") + level + QStringLiteral(".") + QStringLiteral("\r") +
           QStringLiteral("Record a run-out? Its comment will start with \"ignore\", so the statistics "
                          "leave it out.");
}
inline const QString FaultRunoutComment = QStringLiteral("ignore: communication fault during the hold");
// A fiber that gave way before it held its level.
inline QString FailureOnLoadingQuestion(const QString& peak, const QString& level) {
    return QStringLiteral("The fiber broke on its way to the hold load of ") + level +
           QStringLiteral(" N, at ") + peak + QStringLiteral(" N: a failure on loading.") +
           QStringLiteral("\r") + QStringLiteral("Report results?");
}
inline const QString FailureOnLoadingComment = QStringLiteral("failure on loading");
// A hold that ended without a break and without its level.
inline const QString HoldEndedTitle = QStringLiteral("HOLD ENDED");
inline QString NotAtLevel(const QString& load, const QString& level) {
    return QStringLiteral("The hold ended with the load at ") + load +
           QStringLiteral(" N, far from its level of ") + level +
           QStringLiteral(" N: no run-out can be recorded.");
}
inline const QString HoldTravelEnd =
    QStringLiteral("The hold's corrections reached the end of the capstans' travel. Nothing was recorded.");
inline const QString HoldNotFollowing =
    QStringLiteral("The load does not follow the hold's corrections: the fiber may be slipping on the "
                   "capstans. Nothing was recorded.");
} // namespace StaticTexts
