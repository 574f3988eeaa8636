#include "results/ChartData.h"

#include "params/NumberFormat.h"

#include <cmath>
#include <limits>

namespace {
constexpr double Empty = std::numeric_limits<double>::quiet_NaN();

bool sameValue(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || a == b;
}
} // namespace

void ChartData::setColumnCount(int columns) {
    columns = qMax(0, columns);
    QList<double> values(qsizetype(m_rows) * columns, Empty);
    for (int r = 0; r < m_rows; ++r)
        for (int c = 0; c < qMin(columns, m_columns); ++c)
            values[qsizetype(r) * columns + c] = m_values[qsizetype(r) * m_columns + c];
    m_values = values;
    m_columns = columns;
    while (styles.size() < curveCount())
        styles.append(CurveStyle{});
    styles.resize(curveCount());
}

void ChartData::setRowCount(int rows) {
    rows = qMax(0, rows);
    m_values.resize(qsizetype(rows) * m_columns, Empty);
    m_rows = rows;
}

double ChartData::data(int row, int column) const {
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns)
        return Empty;
    return m_values[qsizetype(row) * m_columns + column];
}

void ChartData::setData(int row, int column, double value) {
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns)
        return;
    m_values[qsizetype(row) * m_columns + column] = value;
}

void ChartData::setCurve(int curve, const QList<QPointF>& points) {
    if (curve < 0 || curve >= curveCount())
        return;
    if (points.size() > m_rows)
        setRowCount(int(points.size()));
    for (int r = 0; r < m_rows; ++r) {
        const bool has = r < points.size();
        setData(r, 2 * curve, has ? points[r].x() : Empty);
        setData(r, 2 * curve + 1, has ? points[r].y() : Empty);
    }
}

QList<ChartData::Point> ChartData::curvePoints(int curve) const {
    QList<Point> points;
    if (curve < 0 || curve >= curveCount())
        return points;
    for (int r = 0; r < m_rows; ++r) {
        const double x = data(r, 2 * curve);
        const double y = data(r, 2 * curve + 1);
        if (std::isfinite(x) && std::isfinite(y))
            points.append({r, QPointF(x, y)});
    }
    return points;
}

int ChartData::nearestRow(int curve, const QPointF& position) const {
    const QList<Point> points = curvePoints(curve);
    if (points.isEmpty())
        return -1;
    // Compare distances relative to the spread of the data, so that x and y count alike.
    double minX = points[0].value.x(), maxX = minX, minY = points[0].value.y(), maxY = minY;
    for (const Point& p : points) {
        minX = qMin(minX, p.value.x());
        maxX = qMax(maxX, p.value.x());
        minY = qMin(minY, p.value.y());
        maxY = qMax(maxY, p.value.y());
    }
    const double spanX = maxX > minX ? maxX - minX : 1;
    const double spanY = maxY > minY ? maxY - minY : 1;
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (const Point& p : points) {
        const double dx = (p.value.x() - position.x()) / spanX;
        const double dy = (p.value.y() - position.y()) / spanY;
        const double d = dx * dx + dy * dy;
        if (d < bestDistance) {
            bestDistance = d;
            best = p.row;
        }
    }
    return best;
}

QString ChartData::dataText() const {
    QString text;
    for (int r = 0; r < m_rows; ++r) {
        QStringList cells;
        for (int c = 0; c < m_columns; ++c) {
            const double v = data(r, c);
            cells << (std::isfinite(v) ? numberText(v) : QString());
        }
        text += cells.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    }
    return text;
}

bool ChartData::operator==(const ChartData& other) const {
    if (m_type != other.m_type || m_columns != other.m_columns || m_rows != other.m_rows ||
        !(xAxis == other.xAxis) || !(yAxis == other.yAxis) || styles != other.styles ||
        plotFillsChart != other.plotFillsChart)
        return false;
    for (qsizetype i = 0; i < m_values.size(); ++i)
        if (!sameValue(m_values[i], other.m_values[i]))
            return false;
    return true;
}
