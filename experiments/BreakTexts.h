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
// Added to either: the fastest rate the gauge length and the motor's top step rate allow.
inline QString FastestRate(const QString& what, const QString& rate, const QString& unit) {
    return QStringLiteral("\r\rThe fastest ") + what + QStringLiteral(" this gauge length allows is ") +
           rate + QLatin1Char(' ') + unit + QLatin1Char('.');
}
inline const QString StressRateName = QStringLiteral("stress rate");
inline const QString StrainRateName = QStringLiteral("strain rate");

// A speed of 0 would send a move the controller ends at once: refused before anything moves.
inline const QString ZeroSpeedTitle = QStringLiteral("SPEED IS ZERO");
inline const QString ZeroPullSpeed =
    QStringLiteral("The pull speed works out to 0 steps/s: no break test was started.") +
    QStringLiteral("\r\r") + QStringLiteral("Check the rate of the experiment and the gauge length.");
inline const QString ZeroPreloadSpeed =
    QStringLiteral("The preload speed works out to 0 steps/s: no break test was started.") +
    QStringLiteral("\r\r") + QStringLiteral("Check the preload speed and the gauge length.");
// The move to the preload ended before the load was reached, so there was no pull.
inline const QString PreloadNotReachedTitle = QStringLiteral("PRELOAD NOT REACHED");
inline QString PreloadNotReached(const QString& force, int rc) {
    const QString why = rc == 0 ? QStringLiteral("The end of travel was reached before the preload of ") +
                                      force + QStringLiteral(" N.") + QStringLiteral("\r\n") +
                                      QStringLiteral("Check that a fiber is loaded.")
                                : QStringLiteral("The move to the preload of ") + force +
                                      QStringLiteral(" N ended with RC ") + QString::number(rc) +
                                      QStringLiteral(".");
    return why + QStringLiteral("\r\r") + QStringLiteral("No break test was run.");
}
// A preload or hold load beyond the channel's range, refused before anything moves.
inline const QString OutOfRangeTitle = QStringLiteral("PRELOAD OUT OF RANGE");
inline QString PreloadOutOfRange(bool hold, const QString& force, int channel, const QString& fullScale) {
    return (hold ? QStringLiteral("The hold load of ") : QStringLiteral("The preload of ")) + force +
           QStringLiteral(" N is beyond what load cell channel ") + QString::number(channel) +
           QStringLiteral(" can read (up to ") + fullScale + QStringLiteral(" N): nothing was moved.") +
           QStringLiteral("\r\r") +
           QStringLiteral("Choose a load cell channel with a larger range, or a lower load.");
}
// Readings at the top of the converter during a pull: stopped, nothing filed as a break.
inline const QString SaturatedTitle = QStringLiteral("LOAD CELL SATURATED");
inline QString Saturated(int channel, const QString& fullScale) {
    return QStringLiteral("Load cell saturated on channel ") + QString::number(channel) +
           QStringLiteral(" (it reads up to ") + fullScale +
           QStringLiteral(" N): the capstans were stopped and nothing was recorded.") +
           QStringLiteral("\r\r") + QStringLiteral("Choose a load cell channel with a larger range.");
}
// A fiber that gave way on its way to the preload.
inline QString PreloadBreakQuestion(const QString& peak) {
    return QStringLiteral("The fiber broke during the preload at ") + peak + QStringLiteral(" N.") +
           QStringLiteral("\r") +
           QStringLiteral("Report results? The row's comment will start with \"ignore\": it is no break at "
                          "the set rate.");
}
inline QString BrokeDuringPreload(const QString& load) {
    return QStringLiteral("broke during the preload at ") + load + QStringLiteral(" N");
}
// The comment of a row whose break was faked in debug mode (field index of column 16).
inline const QString SimulatedBreakComment = QStringLiteral("simulated break");
constexpr int CommentField = 15;

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

// A pull that ended without a break, or that a fault or an interruption disturbed.
inline const QString StoppedTitle = QStringLiteral("TEST STOPPED");
inline const QString StoppedByOperator =
    QStringLiteral("The test was stopped before the fiber broke. Nothing was recorded.");
inline const QString StoppedByFault = QStringLiteral(
    "The test was stopped by a communication fault with the System Controller. Nothing was recorded.");
inline QString FiberStillLoaded(const QString& load) {
    return QStringLiteral("\r\n\r\nThe fiber is still whole and under load (") + load +
           QStringLiteral(" N). Press Load fiber to take the load off before removing or rethreading "
                          "it; do not tare the load cell while the fiber is loaded.");
}
inline const QString FiberMayBeLoaded =
    QStringLiteral("\r\n\r\nThe System Controller's port has gone: the capstans may still be turning. "
                   "Stop them at the instrument. The fiber may still be under load; do not tare the load "
                   "cell until it has been taken off.");
inline const QString DisturbedTitle = QStringLiteral("RUN DISTURBED");
inline const QString DisturbedBefore = QStringLiteral("The pull was disturbed: ");
inline const QString DisturbedAfter =
    QStringLiteral(".\r\n\r\nIf you report it, the result is recorded with a comment that starts with "
                   "\"ignore\", so the statistics leave it out.");
inline const QString FaultDuringPull = QStringLiteral("communication fault during the pull");
inline const QString PortGoneDuringPull =
    QStringLiteral("the System Controller's port was gone and the capstans ran unwatched");
inline const QString InterruptedPull = QStringLiteral("pull interrupted at the instrument");
inline QString RateOff(const QString& achieved, const QString& set, const QString& unit) {
    return QStringLiteral("achieved ") + achieved + QLatin1Char(' ') + unit + QStringLiteral(" against ") +
           set + QStringLiteral(" set");
}
inline const QString RatesNotMeasured = QStringLiteral("rates set to zero, too few data points");
inline const QString IgnorePrefix = QStringLiteral("ignore: ");
inline const QString ReasonSeparator = QStringLiteral("; ");

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
// The two curves of each chart, as a point's read-out names them.
inline const QString AnalysedStretch = QStringLiteral("rate fit stretch");
inline const QString RestOfPull = QStringLiteral("rest of the pull");
inline const QString HoldStretch = QStringLiteral("hold");
inline const QString AfterHold = QStringLiteral("after the hold");

inline const QString DataHeader =
    QStringLiteral("position (µm)\ttime (s)\tload (N)\tstress (MPa)\tstrain (%)\t"
                   "speed (µm/s)");
} // namespace BreakTexts
