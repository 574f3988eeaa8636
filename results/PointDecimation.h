#pragma once

#include "results/ChartData.h"

#include <QList>
#include <QPointF>

// Thinning a curve for drawing: of the points that fall into one column of the x range, only the
// lowest and the highest are kept (in their order), so that the drawn shape and its extremes stay
// as they were while the count stays near twice the number of columns.
namespace PointDecimation {
// Enough for a chart on a page or a screen: a pixel column each, and then some.
constexpr int DefaultColumns = 1500;

QList<QPointF> Decimate(const QList<QPointF>& points, int columns = DefaultColumns);
// Every curve of the chart thinned as above; axes and styles unchanged.
ChartData Decimate(const ChartData& chart, int columns = DefaultColumns);
} // namespace PointDecimation
