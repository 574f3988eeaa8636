#include "results/Chart.h"

#include "params/NumberFormat.h"
#include "results/ChartData.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Curves are told apart by colour first, then by marker.
const QColor Palette[] = {QColor(0, 90, 200),   QColor(200, 30, 30), QColor(0, 140, 60),
                          QColor(150, 60, 170), QColor(210, 120, 0), QColor(60, 60, 60)};

// Beyond this the span of a range overflows.
constexpr double Largest = 1e300;

// 1, 2, 2.5 or 5 times a power of ten, the nearest at or above the raw step.
double niceStep(double raw) {
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double f : {1.0, 2.0, 2.5, 5.0})
        if (f * power >= raw * 0.999)
            return f * power;
    return 10 * power;
}
} // namespace

AxisScale ScaleAxis(const ChartData& chart, bool horizontal) {
    const ChartAxis& axis = horizontal ? chart.xAxis : chart.yAxis;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    auto take = [&](double v) {
        if (!std::isfinite(v))
            return;
        v = std::clamp(v, -Largest, Largest);
        low = std::min(low, v);
        high = std::max(high, v);
    };
    if (axis.autoScale) {
        for (int c = 0; c < chart.curveCount(); ++c)
            for (const ChartData::Point& p : chart.curvePoints(c))
                take(horizontal ? p.value.x() : p.value.y());
    } else {
        take(axis.minimum);
        take(axis.maximum);
    }
    if (!std::isfinite(low)) {
        low = 0;
        high = 1;
    }
    // A span too narrow to divide (one point, equal values) widens around its value; an automatic
    // scale keeps a margin around the data.
    const double size = std::max({1.0, std::abs(low), std::abs(high)});
    if (high - low < 1e-12 * size) {
        const double pad = std::max(1.0, std::abs(high) * 0.1);
        low -= pad;
        high += pad;
    } else if (axis.autoScale) {
        const double pad = (high - low) * 0.05;
        low -= pad;
        high += pad;
    }
    AxisScale scale;
    scale.minimum = low;
    scale.maximum = high;
    scale.tickInterval = niceStep((high - low) / 5);
    return scale;
}

QString AxisLabelFormat(const AxisScale& scale) {
    const double step = scale.tickInterval;
    const double largest = std::max(std::abs(scale.minimum), std::abs(scale.maximum));
    int digits = 4;
    // Very large or small numbers read in exponent form, as four digits give them.
    if (step > 0 && std::isfinite(step) && std::isfinite(largest) && largest < 1e6 && largest >= 1e-3) {
        int decimals = 0;
        while (decimals < 9) {
            const double scaled = step * std::pow(10.0, decimals);
            if (std::abs(scaled - std::round(scaled)) <= 1e-6 * scaled)
                break;
            ++decimals;
        }
        const int whole = largest >= 1 ? int(std::floor(std::log10(largest))) + 1 : 1;
        digits = std::clamp(whole + decimals, 4, 12);
    }
    return QStringLiteral("%.") + QString::number(digits) + QLatin1Char('g');
}

void InitXYChart(ChartData& chart, int curves) {
    chart.setType(ChartData::ChartType::XY);
    chart.setColumnCount(0);
    chart.setColumnCount(2 * qMax(0, curves));
    chart.setRowCount(1);
    chart.plotFillsChart = true;
    const int colours = int(std::size(Palette));
    for (int i = 0; i < chart.curveCount(); ++i) {
        CurveStyle& s = chart.styles[i];
        s = CurveStyle{};
        s.color = Palette[i % colours];
        s.marker = (i / colours) % 2 == 0 ? CurveStyle::Marker::Circle : CurveStyle::Marker::Square;
    }
}

void SetYAxisTitle(ChartData& chart, const QString& text) {
    chart.yAxis.title = text;
}

void CopyChart(const ChartData& source, ChartData& target) {
    target = source;
}

QString QuantityText(const QString& axisTitle, double value) {
    const QString number = FormatNum(value, 1, -3);
    const QString title = axisTitle.trimmed();
    if (title.isEmpty())
        return number;
    // "stress (MPa)", "Load(N)": a unit in brackets at the end, one word; "ln(stress / MPa)" is a
    // quantity of its own, without a unit.
    const qsizetype open = title.lastIndexOf(QLatin1Char('('));
    const QString unit = open > 0 && title.endsWith(QLatin1Char(')'))
                             ? title.mid(open + 1, title.size() - open - 2)
                             : QString();
    const QString name = title.left(open).trimmed();
    if (unit.isEmpty() || name.isEmpty() || unit.contains(QLatin1Char(' ')) ||
        unit.contains(QLatin1Char('(')) || unit.contains(QLatin1Char(')')))
        return title + QStringLiteral(" = ") + number;
    return name + QLatin1Char(' ') + number + QLatin1Char(' ') + unit;
}

QString PointValueText(int column, int row, double x, double y, const QString& xTitle, const QString& yTitle,
                       const QString& curveName) {
    const QString values = QuantityText(xTitle, x) + QStringLiteral(", ") + QuantityText(yTitle, y);
    return (curveName.isEmpty() ? values : curveName + QStringLiteral(": ") + values) + QStringLiteral(" (") +
           PointSelectionText(column, row, x, y) + QLatin1Char(')');
}

QString PointSelectionText(int column, int row, double x, double y) {
    return QStringLiteral("Series ") + QString::number((column + 1) / 2) + QStringLiteral(", index ") +
           QString::number(row) + QStringLiteral(", coordinates (") + FormatNum(x, 1, -3) + QLatin1Char(',') +
           FormatNum(y, 1, -3) + QLatin1Char(')');
}
