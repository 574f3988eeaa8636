#include "results/Chart.h"

#include "params/NumberFormat.h"
#include "results/ChartData.h"

namespace {
// Curves are told apart by colour first, then by marker.
const QColor Palette[] = {QColor(0, 90, 200),   QColor(200, 30, 30), QColor(0, 140, 60),
                          QColor(150, 60, 170), QColor(210, 120, 0), QColor(60, 60, 60)};
} // namespace

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

QString PointValueText(int column, int row, double x, double y, const QString& xTitle,
                       const QString& yTitle) {
    auto value = [](const QString& title, double v) {
        const QString number = FormatNum(v, 1, -3);
        return title.isEmpty() ? number : title + QStringLiteral(" = ") + number;
    };
    return PointSelectionText(column, row, x, y) + QStringLiteral(": ") + value(xTitle, x) +
           QStringLiteral(", ") + value(yTitle, y);
}

QString PointSelectionText(int column, int row, double x, double y) {
    return QStringLiteral("Series ") + QString::number((column + 1) / 2) + QStringLiteral(", index ") +
           QString::number(row) + QStringLiteral(", coordinates (") + FormatNum(x, 1, -3) + QLatin1Char(',') +
           FormatNum(y, 1, -3) + QLatin1Char(')');
}
