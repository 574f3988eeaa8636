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

// The message for a selected point: data column and row count from 1, as the operator sees them.
// The same with each coordinate named by its axis title (which carries the unit):
// "Series 1, index 3, coordinates (2.5,1.235): time (s) = 2.5, load (N) = 1.235".
QString PointValueText(int column, int row, double x, double y, const QString& xTitle, const QString& yTitle);
QString PointSelectionText(int column, int row, double x, double y);
