#include "results/StatisticsCharts.h"

#include "results/BatchStatistics.h"
#include "results/Chart.h"
#include "results/StaticStatistics.h"
#include "results/StatisticsTexts.h"

#include <cmath>

namespace {
void pointsStyle(CurveStyle& style) {
    style.showLine = false;
    style.showMarkers = true;
}

QList<QPointF> line(double slope, double intercept, double x0, double x1) {
    return {{x0, slope * x0 + intercept}, {x1, slope * x1 + intercept}};
}
} // namespace

ChartData StatisticsCharts::Weibull(const GroupStatistics& group) {
    ChartData chart;
    InitXYChart(chart, 3);
    chart.xAxis.title = StatisticsTexts::WeibullX;
    SetYAxisTitle(chart, StatisticsTexts::WeibullY);
    pointsStyle(chart.styles[0]);
    QList<QPointF> points;
    for (const WeibullPlotPoint& p : Weibull::PlotPoints(group.stresses))
        points.append({p.x, p.y});
    chart.setCurve(0, points);
    if (points.size() >= 2) {
        const double x0 = points.front().x(), x1 = points.back().x();
        if (const auto& ml = group.maximumLikelihood)
            chart.setCurve(1, line(ml->estimate.m, -ml->estimate.m * std::log(ml->estimate.sigma0), x0, x1));
        if (const auto& reg = group.regression)
            chart.setCurve(2, line(reg->m, -reg->m * std::log(reg->sigma0), x0, x1));
    }
    return chart;
}

ChartData StatisticsCharts::Fatigue(const FatigueFit& fit) {
    ChartData chart;
    InitXYChart(chart, 2);
    chart.xAxis.title = StatisticsTexts::FatigueX;
    SetYAxisTitle(chart, StatisticsTexts::FatigueY);
    pointsStyle(chart.styles[0]);
    QList<QPointF> points;
    double x0 = 0, x1 = 0;
    for (const FatigueGroup& g : fit.groups) {
        const QPointF p(std::log(g.stressRate), std::log(g.medianStress));
        x0 = points.isEmpty() ? p.x() : qMin(x0, p.x());
        x1 = points.isEmpty() ? p.x() : qMax(x1, p.x());
        points.append(p);
    }
    chart.setCurve(0, points);
    chart.setCurve(1, line(fit.slope, fit.intercept, x0, x1));
    return chart;
}

ChartData StatisticsCharts::StaticFatigue(const StaticStatistics& statistics) {
    ChartData chart;
    InitXYChart(chart, 2);
    chart.xAxis.title = StatisticsTexts::StaticX;
    SetYAxisTitle(chart, StatisticsTexts::StaticY);
    pointsStyle(chart.styles[0]);
    QList<QPointF> points;
    double x0 = 0, x1 = 0;
    for (const StaticLevel& level : statistics.levels()) {
        if (!level.stress || !level.median || !(*level.stress > 0) || !(*level.median > 0))
            continue;
        const QPointF p(std::log(*level.stress), std::log(*level.median));
        x0 = points.isEmpty() ? p.x() : qMin(x0, p.x());
        x1 = points.isEmpty() ? p.x() : qMax(x1, p.x());
        points.append(p);
    }
    chart.setCurve(0, points);
    if (const auto& fit = statistics.fatigue())
        chart.setCurve(1, line(fit->slope, fit->intercept, x0, x1));
    return chart;
}
