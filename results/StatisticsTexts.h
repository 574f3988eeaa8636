#pragma once

#include <QString>

// Texts of the batch statistics, its window and its report, kept together so tests compare them.
namespace StatisticsTexts {
inline const QString WindowTitle = QStringLiteral("BATCH STATISTICS");
inline const QString MenuEntry = QStringLiteral("Statistics");
inline const QString AllRows = QStringLiteral("All");
inline const QString NotEnoughData = QStringLiteral("not enough data");
inline const QString Copy = QStringLiteral("&Copy");
inline const QString SaveReport = QStringLiteral("Save &report");
inline const QString Close = QStringLiteral("C&lose");
inline const QString Group = QStringLiteral("Group");

inline const QString WeibullTitle = QStringLiteral("WEIBULL PLOT");
inline const QString WeibullX = QStringLiteral("ln(stress / MPa)");
inline const QString WeibullY = QStringLiteral("ln(-ln(1 - F))");
inline const QString WeibullLegend = QStringLiteral("red: maximum likelihood, green: median-rank regression");
inline const QString FatigueTitle = QStringLiteral("DYNAMIC FATIGUE");
inline const QString FatigueX = QStringLiteral("ln(stress rate / (MPa/s))");
inline const QString FatigueY = QStringLiteral("ln(median stress / MPa)");

inline const QString StaticTitle = QStringLiteral("STATIC FATIGUE");
inline const QString StaticX = QStringLiteral("ln(stress / MPa)");
inline const QString StaticY = QStringLiteral("ln(median time to failure / s)");
inline const QString StaticColumns[] = {
    QStringLiteral("Stress (MPa)"), QStringLiteral("Breaks"),
    QStringLiteral("Run-outs"),     QStringLiteral("Median time (s)"),
    QStringLiteral("Weibull m"),    QStringLiteral("Characteristic time (s)")};

inline const QString StaticLevelLine =
    QStringLiteral("%1: %2 MPa, %3 breaks, %4 run-outs, median time to failure %5 s, Weibull m %6, "
                   "characteristic time %7 s");

inline const QString FatigueNone =
    QStringLiteral("Dynamic fatigue needs two or more groups of stress rate or strain rate.");
inline const QString FatigueLine = QStringLiteral("Dynamic fatigue n = %1 \u00b1 %2 from %3 rate groups");
inline const QString FatigueLineNoError = QStringLiteral("Dynamic fatigue n = %1 from %2 rate groups");
inline const QString FatigueSmallGroups =
    QStringLiteral(" \u2014 uncertain: %1 of the groups have fewer than %2 specimens");
inline const QString RowsUsed = QStringLiteral("%1 rows of %2");

inline const QString ReportTitle = QStringLiteral("SAVE REPORT");
inline const QString ReportFilter = QStringLiteral("PDF files (*.pdf)|*.pdf|All files (*.*)|*.*");
inline const QString ReportNotWritten = QStringLiteral("The report could not be written to\r%1");
inline const QString ReportWrittenTitle = QStringLiteral("REPORT SAVED");
inline const QString ReportWritten = QStringLiteral("The report has been saved as\r%1");
inline const QString StatsInClipboardTitle = QStringLiteral("DATA IN CLIPBOARD");
inline const QString StatsInClipboard = QStringLiteral("The statistics have been copied to the clipboard");

inline const QString CannotRead = QStringLiteral("Cannot read data file \"%1\": %2");
} // namespace StatisticsTexts
