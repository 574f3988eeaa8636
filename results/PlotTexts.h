#pragma once

#include <QString>

// Texts of the plot windows, kept together so tests compare them exactly.
namespace PlotTexts {
inline const QString BigPlotCopy = QStringLiteral("&Copy");
inline const QString BigPlotExit = QStringLiteral("&Exit");
inline const QString ClickAPoint = QStringLiteral("Click a point to see its values");
} // namespace PlotTexts

namespace PlotTexts {
inline const QString LoadTimeCaption = QStringLiteral("LOAD TIME PROFILES");
inline const QString Dots = QStringLiteral("&Dots / lines");
inline const QString CopyData = QStringLiteral("Co&py data to clipboard");
inline const QString Close = QStringLiteral("&Close");
inline const QString DoubleClickHint = QStringLiteral("double click a graph to see a larger version");
inline const QString DataInClipboardTitle = QStringLiteral("DATA IN CLIPBOARD");
inline const QString DataInClipboard = QStringLiteral("All data have been copied to the clipboard");
constexpr int PictureQuality = 85;
inline const QString RecordNotWrittenTitle = QStringLiteral("ERROR WRITING LOAD/TIME FILES");
inline QString RecordNotWritten(const QString& failures) {
    return QStringLiteral("The load/time record of this break could not be written:\r") + failures +
           QStringLiteral("\r\rThe result row is not affected. Close the plots anyway? ") +
           QStringLiteral("(No keeps them open: you can copy the data, make room and close again.)");
}
// A sample of the load/time record that is not a number: the record is written up to it.
inline const QString SoftwareErrorTitle = QStringLiteral("SOFTWARE ERROR");
inline QString DataStringError(int number, const QString& description) {
    return QStringLiteral("Error constructing output data string. The Load/Time/Position data file ") +
           QStringLiteral("might be empty, incomplete or corrupt. Please send a copy of this message ") +
           QStringLiteral("to Corvane") + QStringLiteral("\r\n") + QStringLiteral("\r\n") +
           QStringLiteral("Error ") + QString::number(number) + QStringLiteral(" (") + description +
           QStringLiteral(" ) in frmLoadTimePlots.LT_Data_String()");
}
inline QString NotANumber(int line) {
    return QStringLiteral("Type mismatch: line %1 of the samples is not six numbers").arg(line);
}
inline const QString NoSamples = QStringLiteral("Subscript out of range: no samples");
} // namespace PlotTexts
