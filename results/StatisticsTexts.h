#pragma once

#include <QString>
#include <QStringList>

// Texts of the batch statistics, its window and its report, kept together so tests compare them.
namespace StatisticsTexts {
inline const QString WindowTitle = QStringLiteral("BATCH STATISTICS");
inline const QString MenuEntry = QStringLiteral("Statistics");
inline const QString AllRows = QStringLiteral("All");
inline const QString NotEnoughData = QStringLiteral("not enough data");
inline const QString Copy = QStringLiteral("Co&py");
inline const QString Lifetime = QStringLiteral("Li&fetime...");
inline const QString SaveReport = QStringLiteral("Save &report");
inline const QString Close = QStringLiteral("&Close");
inline const QString Group = QStringLiteral("Group");
inline const QString ColumnsLabel = QStringLiteral("Colum&ns");
inline const QString ColumnsPerRate = QStringLiteral("per rate");
inline const QString ColumnsPerSample = QStringLiteral("per sample and rate");

inline const QString WeibullTitle = QStringLiteral("WEIBULL PLOT");
inline const QString WeibullX = QStringLiteral("ln(stress / MPa)");
inline const QString WeibullY = QStringLiteral("ln(-ln(1 - F))");
inline const QString WeibullLegend = QStringLiteral("red: maximum likelihood, green: median-rank regression");
inline const QString CurveBreaks = QStringLiteral("breaks");
inline const QString CurveMaximumLikelihood = QStringLiteral("maximum likelihood line");
inline const QString CurveRegression = QStringLiteral("median-rank regression line");
inline const QString CurveMedians = QStringLiteral("medians");
inline const QString CurveFit = QStringLiteral("fitted line");
inline const QString FatigueTitle = QStringLiteral("DYNAMIC FATIGUE");
inline const QString FatigueX = QStringLiteral("ln(stress rate / (MPa/s))");
inline const QString FatigueY = QStringLiteral("ln(median stress / MPa)");

inline const QString StaticTitle = QStringLiteral("STATIC FATIGUE");
inline const QString StaticX = QStringLiteral("ln(stress / MPa)");
inline const QString StaticY = QStringLiteral("ln(median time to failure / s)");
inline const QString StaticColumns[] = {
    QStringLiteral("Stress (MPa)"), QStringLiteral("Breaks"),
    QStringLiteral("Run-outs"),     QStringLiteral("Median time (s)"),
    QStringLiteral("Weibull m"),    QStringLiteral("Characteristic time (s)"),
    QStringLiteral("Skipped"),      QStringLiteral("Marked \"ignore\"")};

// "1 break", "2 breaks": the count with the word in the number it needs.
inline QString Count(qsizetype n, const QString& one, const QString& many) {
    return QString::number(n) + QLatin1Char(' ') + (n == 1 ? one : many);
}
inline QString Breaks(qsizetype n) {
    return Count(n, QStringLiteral("break"), QStringLiteral("breaks"));
}
inline QString Runouts(qsizetype n) {
    return Count(n, QStringLiteral("run-out"), QStringLiteral("run-outs"));
}
inline QString Rows(qsizetype n) {
    return Count(n, QStringLiteral("row"), QStringLiteral("rows"));
}
// A figure in seconds, or "not enough data" without a unit.
inline QString Seconds(const QString& figure, bool known) {
    return known ? figure + QStringLiteral(" s") : NotEnoughData;
}
// The rows of a level that count nowhere, or nothing when there are none.
inline QString LeftOutOfLevel(int skipped, int ignored) {
    QStringList parts;
    if (skipped > 0)
        parts << QString::number(skipped) + QStringLiteral(" skipped (time not a positive number)");
    if (ignored > 0)
        parts << QString::number(ignored) + QStringLiteral(" marked \"ignore\"");
    return parts.isEmpty() ? QString() : QStringLiteral("; ") + parts.join(QStringLiteral(", "));
}
inline QString StaticLevelLine(const QString& level, const QString& stress, int breaks, int runouts,
                               const QString& median, const QString& m, const QString& time, int skipped,
                               int ignored) {
    return level + QStringLiteral(": ") + stress + QStringLiteral(" MPa, ") + Breaks(breaks) +
           QStringLiteral(", ") + Runouts(runouts) + QStringLiteral(", median time to failure ") + median +
           QStringLiteral(", Weibull m ") + m + QStringLiteral(", characteristic time ") + time +
           LeftOutOfLevel(skipped, ignored);
}

inline const QString FatigueNone =
    QStringLiteral("Dynamic fatigue needs two or more groups of stress rate or strain rate.");
inline const QString FatigueLine = QStringLiteral("Dynamic fatigue n = %1 \u00b1 %2 from %3 rate groups");
inline const QString FatigueLineNoError = QStringLiteral("Dynamic fatigue n = %1 from %2 rate groups");
inline QString FatigueSmallGroups(int small, int minimum) {
    return QStringLiteral(" \u2014 uncertain: %1 of the groups %2 fewer than %3 specimens")
        .arg(small)
        .arg(small == 1 ? QStringLiteral("has") : QStringLiteral("have"))
        .arg(minimum);
}
// Rates less than a decade apart, or only two of them, leave the slope to the scatter.
inline const QString FatigueNarrowRates =
    QStringLiteral(" \u2014 n is not determined: the rates are less than a decade apart");
inline const QString FatigueTwoGroups = QStringLiteral(" \u2014 n is not determined: only two rate groups");

// Static fatigue: a time to failure that does not fall as the stress rises gives no n.
inline const QString StaticNotDetermined =
    QStringLiteral(" \u2014 n is not determined: the times to failure do not fall as the stress rises");
inline QString StaticFewBreaks(int levels, int minimum) {
    return QStringLiteral(" \u2014 uncertain: %1 of the levels %2 fewer than %3 breaks")
        .arg(levels)
        .arg(levels == 1 ? QStringLiteral("has") : QStringLiteral("have"))
        .arg(minimum);
}
// The "All" column where the rows hold more than one rate.
inline const QString AllPooled = QStringLiteral("All (pooled)");
inline const QString PooledNote =
    QStringLiteral("\"All (pooled)\" mixes %1 rate groups: strength depends on the rate, so its mean, "
                   "spread and Weibull m are no figures of one population; read the column of each rate.");

inline const QString StressNotPositive = QStringLiteral("break stress not a positive number");
inline const QString TimeNotPositive = QStringLiteral("time to failure not a positive number");
inline QString MarkedIgnore(const QString& comment) {
    return QStringLiteral("comment \"%1\"").arg(comment.trimmed());
}

inline const QString FiguresTab = QStringLiteral("&Weibull and fatigue");
inline const QString OverlayTab = QStringLiteral("&Batch curves");
inline const QString OverlayTitle = QStringLiteral("THE BATCH'S CURVES");
inline const QString OverlayTime = QStringLiteral("time (s)");
inline const QString OverlayStrain = QStringLiteral("strain (%)");
inline const QString OverlayStress = QStringLiteral("stress (MPa)");
inline const QString OverlayAgainst = QStringLiteral("against");
inline const QString OverlayAllGroups = QStringLiteral("all groups");
inline const QString OverlayShow = QStringLiteral("&show");
inline QString OverlayCurveName(const QString& specimen, const QString& group) {
    return QStringLiteral("specimen %1 (%2)").arg(specimen, group);
}
inline const QString OverlayDashed = QStringLiteral(" &nbsp; dashed: marked \"ignore\"");
inline QString OverlayCount(qsizetype shown, int missing) {
    QString text =
        QString::number(shown) + (shown == 1 ? QStringLiteral(" curve") : QStringLiteral(" curves"));
    if (missing > 0)
        text += QStringLiteral("; %1 without a load/time record").arg(Rows(missing));
    return text;
}

inline const QString LeftOutTitle = QStringLiteral("Rows left out of the statistics (%1)");
inline const QString IgnoredDashed = QStringLiteral("dashed: marked \"ignore\"");
inline const QString TestedBy = QStringLiteral("Tested by:");
inline const QString CheckedBy = QStringLiteral("Checked by:");
inline const QString SignedOn = QStringLiteral("Date:");
inline QString MoreSignatures(qsizetype earlier) {
    return QStringLiteral(" (and %1 earlier, see stavely --signatures)").arg(earlier);
}

inline const QString ReportTitle = QStringLiteral("SAVE REPORT");
inline const QString ReportFilter = QStringLiteral("PDF files (*.pdf)|*.pdf|All files (*.*)|*.*");
inline const QString ReportNotWritten = QStringLiteral("The report could not be written to\r%1");
inline const QString ReportWrittenTitle = QStringLiteral("REPORT SAVED");
inline const QString ReportWritten = QStringLiteral("The report has been saved as\r%1");
inline const QString StatsInClipboardTitle = QStringLiteral("DATA IN CLIPBOARD");
inline const QString StatsInClipboard = QStringLiteral("The statistics have been copied to the clipboard");

inline const QString CannotRead = QStringLiteral("Cannot read data file \"%1\": %2");
} // namespace StatisticsTexts
