#include "results/PointDecimation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

QList<QPointF> PointDecimation::Decimate(const QList<QPointF>& points, int columns) {
    columns = std::max(columns, 1);
    if (points.size() <= 2 * qsizetype(columns))
        return points;
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const QPointF& p : points) {
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
            continue;
        lo = std::min(lo, p.x());
        hi = std::max(hi, p.x());
    }
    if (!(hi >= lo))
        return {};
    const double width = hi > lo ? (hi - lo) / columns : 1;
    struct Column {
        qsizetype lowest = -1, highest = -1;
    };
    std::vector<Column> kept(std::size_t(columns) + 1);
    for (qsizetype i = 0; i < points.size(); ++i) {
        const QPointF& p = points[i];
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
            continue;
        const auto c = std::size_t(std::clamp((p.x() - lo) / width, 0.0, double(columns)));
        Column& col = kept[c];
        if (col.lowest < 0 || p.y() < points[col.lowest].y())
            col.lowest = i;
        if (col.highest < 0 || p.y() > points[col.highest].y())
            col.highest = i;
    }
    std::vector<qsizetype> indices;
    indices.reserve(kept.size() * 2);
    for (const Column& col : kept) {
        if (col.lowest >= 0)
            indices.push_back(col.lowest);
        if (col.highest >= 0 && col.highest != col.lowest)
            indices.push_back(col.highest);
    }
    std::sort(indices.begin(), indices.end());
    QList<QPointF> out;
    out.reserve(qsizetype(indices.size()));
    for (const qsizetype i : indices)
        out.append(points[i]);
    return out;
}

ChartData PointDecimation::Decimate(const ChartData& chart, int columns) {
    if (chart.rowCount() <= 2 * columns)
        return chart;
    ChartData out = chart;
    out.setRowCount(0);
    for (int curve = 0; curve < chart.curveCount(); ++curve) {
        QList<QPointF> points;
        for (const ChartData::Point& p : chart.curvePoints(curve))
            points.append(p.value);
        out.setCurve(curve, Decimate(points, columns));
    }
    return out;
}
