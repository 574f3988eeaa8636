#pragma once

#include "base/ProductIdentity.h"

#include <QString>

// Texts of the break run, the servo loop and the break analysis, exactly as the operator sees them.
namespace BreakTexts {
inline const QString ProgramEndingTitle = QStringLiteral("PROGRAM ENDING");
inline const QString BadExptType =
    QStringLiteral("Unexpected fault in StavelyStuff.svoInit - unexpected value "
                   "of ExptMode") +
    QStringLiteral("\r") + QStringLiteral("Please report the circumstances to Corvane") +
    QStringLiteral("\r\r") + ProductIdentity::AppTitle + QStringLiteral(" will now terminate");
inline const QString StaticNotImplemented = QStringLiteral("Static not yet implemented");
inline const QString BadCase = QStringLiteral("Bad case in svoCheck()");

inline const QString StressTooFastTitle = QStringLiteral("STRESS RATE TOO FAST");
inline const QString StressTooFast = QStringLiteral("The requested stress rate is too fast:") +
                                     QStringLiteral("\r\r") +
                                     QStringLiteral("Check that the gauge length is correct or") +
                                     QStringLiteral("\r") + QStringLiteral("decrease the stress rate.");
inline const QString StrainTooFastTitle = QStringLiteral("STRAIN RATE TOO FAST");
inline const QString StrainTooFast = QStringLiteral("The requested strain rate is too fast:") +
                                     QStringLiteral("\r\r") +
                                     QStringLiteral("Check that the gauge length is correct or") +
                                     QStringLiteral("\r") + QStringLiteral("decrease the strain rate.");
inline const QString PreloadCaption = QStringLiteral("MOVE TO PRELOAD POSITION");
inline const QString BreakCaption = QStringLiteral("BREAKING FIBER");
inline const QString PreloadSlowRate = QStringLiteral("0.3 %/min");

inline const QString ReportTitle = QStringLiteral("REPORT RESULTS");
inline QString ReportQuestion(const QString& peak) {
    return QStringLiteral("Fiber break detected (") + peak + QStringLiteral(" N)") + QStringLiteral("\r") +
           QStringLiteral("Report results?");
}
inline const QString NoBreakTitle = QStringLiteral("NO BREAK DETECTED");
inline const QString NoBreak = QStringLiteral("No break detected before end of travel.") +
                               QStringLiteral("\r\n") + QStringLiteral("The fiber probably slipped.");
inline QString UnexpectedRc(int rc) {
    return QStringLiteral("Got RC ") + QString::number(rc) +
           QStringLiteral(" when expecting rcBrk - exiting stavelyRunToBreak.") + QStringLiteral("\r\r") +
           QStringLiteral("Please report the circumstances of this error to Corvane.");
}

inline const QString RatesZeroTitle = QStringLiteral("RATES SET TO ZERO");
inline const QString RatesZero = QStringLiteral("Too few data points past 80% for rate analysis");

inline const QString WriteErrorTitle = QStringLiteral("ERROR WRITING RESULTS TO FILE");
inline const QString WriteError =
    QStringLiteral("A problem was encountered while writing the experimental results") +
    QStringLiteral("to the data file. These results will be lost unless you export") +
    QStringLiteral("the datasheet to another data file.") + QStringLiteral("\r") +
    QStringLiteral("Do you want to export the datasheet now?");

// Chart captions and axis titles.
inline const QString LoadVsTime = QStringLiteral("LOAD vs TIME");
inline const QString StressVsTime = QStringLiteral("STRESS vs TIME");
inline const QString StrainVsTime = QStringLiteral("STRAIN vs TIME");
inline const QString SpeedVsTime = QStringLiteral("SPEED vs TIME");
inline const QString PositionVsTime = QStringLiteral("POSITION vs TIME");
inline const QString LoadAxis = QStringLiteral("load (N)");
inline const QString StressAxis = QStringLiteral("stress (MPa)");
inline const QString StrainAxis = QStringLiteral("strain (%)");
inline const QString SpeedAxis = QStringLiteral("speed (µm/s)");
inline const QString PositionAxis = QStringLiteral("position (µm)");
inline const QString TimeAxis = QStringLiteral("time (s)");

inline const QString DataHeader =
    QStringLiteral("position (µm)\ttime (s)\tload (N)\tstress (MPa)\tstrain (%)\t"
                   "speed (µm/s)");
} // namespace BreakTexts
