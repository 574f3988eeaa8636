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
} // namespace StaticTexts
