#pragma once

#include <QString>

// Texts of the plot windows, kept together so tests compare them exactly.
namespace PlotTexts {
inline const QString BigPlotCopy = QStringLiteral("&Copy");
inline const QString BigPlotExit = QStringLiteral("&Exit");
} // namespace PlotTexts
