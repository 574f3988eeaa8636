#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>

// One axis of a chart: its title and either an automatic or a fixed scale.
struct ChartAxis {
    QString title;
    bool autoScale = true;
    double minimum = 0;
    double maximum = 1;

    bool operator==(const ChartAxis&) const = default;
};

// How one curve is drawn.
struct CurveStyle {
    enum class Marker { Circle, Square };
    QColor color;
    double lineWidth = 1.5;
    bool showLine = true;
    bool showMarkers = false;
    Marker marker = Marker::Circle;
    double markerSize = 7;
    bool dashed = false; // the line drawn dashed
    QString name;        // what the curve is, for the read-out of a point ("analysed stretch")

    bool operator==(const CurveStyle&) const = default;
};

// What an XY chart shows, without a screen: a grid of numbers whose columns come in x/y pairs, one
// pair per curve, rows being the points; a title per axis and a drawing style per curve. A value
// that is not a number (NaN) leaves that point out.
class ChartData {
public:
    enum class ChartType { XY, Line };

    ChartType type() const { return m_type; }
    void setType(ChartType type) { m_type = type; }

    int columnCount() const { return m_columns; }
    int rowCount() const { return m_rows; }
    int curveCount() const { return m_columns / 2; }
    // Resizing keeps the values that still fit; new cells are empty (NaN).
    void setColumnCount(int columns);
    void setRowCount(int rows);
    // Rows and columns count from 0; outside the grid reads NaN and writes nothing.
    double data(int row, int column) const;
    void setData(int row, int column, double value);
    // Fills curve (0-based) with the points, growing the rows as needed; rows beyond them are emptied.
    void setCurve(int curve, const QList<QPointF>& points);
    // The points of a curve with their row, leaving out rows where x or y is empty.
    struct Point {
        int row = 0;
        QPointF value;
    };
    QList<Point> curvePoints(int curve) const;
    // The row of the curve's point nearest to a position (in data units scaled by the spans), -1 if none.
    int nearestRow(int curve, const QPointF& position) const;

    ChartAxis xAxis;
    ChartAxis yAxis;
    QList<CurveStyle> styles; // one per curve
    bool plotFillsChart = false;

    // The data as text: one line per row, values separated by tabs, empty cells left blank.
    QString dataText() const;

    bool operator==(const ChartData& other) const;

private:
    ChartType m_type = ChartType::XY;
    int m_columns = 0;
    int m_rows = 0;
    QList<double> m_values; // row-major
};
