#pragma once

#include <QString>

class ChartData;

// The chart toolkit on the chart's data; ChartControl.h has the same operations on the chart control.

// An XY chart with 2 * curves data columns and one (empty) data row, the plot filling the chart, and
// a distinct drawing style per curve.
void InitXYChart(ChartData& chart, int curves);
void SetYAxisTitle(ChartData& chart, const QString& text);
// Columns, rows, every value, the type, the axes (titles and scales) and the curve styles.
void CopyChart(const ChartData& source, ChartData& target);

// How an axis is drawn: a finite, ascending, non-empty range and a round tick step that divides it
// into about five parts, whatever the data (huge or tiny spans, one point, equal values) or the
// fixed scale asked for. An automatic scale spans the finite values of every curve with a margin.
struct AxisScale {
    double minimum = 0;
    double maximum = 1;
    double tickInterval = 0.2;
};
AxisScale ScaleAxis(const ChartData& chart, bool horizontal);
// The printf format of an axis's tick labels: four significant digits, or as many more as it takes
// for neighbouring ticks never to read alike (a held load spans hundredths of a newton near 50 N).
QString AxisLabelFormat(const AxisScale& scale);
// The most ticks an axis drawn with ScaleAxis can get.
constexpr int MaxAxisTicks = 8;

// The message for a selected point: data column and row count from 1, as the operator sees them.
// The same read out for the operator: the curve's name and each coordinate as its quantity with
// its unit from the axis title, then the selection text:
// "rate fit stretch: time 2.5 s, load 1.235 N (Series 1, index 3, coordinates (2.5,1.235))".
QString PointValueText(int column, int row, double x, double y, const QString& xTitle, const QString& yTitle,
                       const QString& curveName = QString());
// "load 1.235 N" from the title "load (N)"; "ln(stress / MPa) = 8.5" from a title without a unit.
QString QuantityText(const QString& axisTitle, double value);
QString PointSelectionText(int column, int row, double x, double y);
