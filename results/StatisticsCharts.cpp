#include "results/StatisticsCharts.h"

#include "results/BatchStatistics.h"
#include "results/Chart.h"
#include "results/StaticStatistics.h"
#include "results/StatisticsTexts.h"

#include <cmath>
#include <optional>

namespace {
void pointsStyle(CurveStyle& style) {
    style.showLine = false;
    style.showMarkers = true;
}

QList<QPointF> line(double slope, double intercept, double x0, double x1) {
    return {{x0, slope * x0 + intercept}, {x1, slope * x1 + intercept}};
}

struct Line {
    double slope = 0;
    double intercept = 0;
};

// Points (logarithms) and, when there is one, their fitted line across the span of the points.
ChartData pointsAndFit(const QString& xTitle, const QString& yTitle, const QList<QPointF>& points,
                       std::optional<Line> fit) {
    ChartData chart;
    InitXYChart(chart, 2);
    chart.xAxis.title = xTitle;
    SetYAxisTitle(chart, yTitle);
    pointsStyle(chart.styles[0]);
    chart.styles[0].name = StatisticsTexts::CurveMedians;
    chart.styles[1].name = StatisticsTexts::CurveFit;
    chart.setCurve(0, points);
    if (fit) {
        double x0 = 0, x1 = 0;
        for (qsizetype i = 0; i < points.size(); ++i) {
            x0 = i == 0 ? points[i].x() : qMin(x0, points[i].x());
            x1 = i == 0 ? points[i].x() : qMax(x1, points[i].x());
        }
        chart.setCurve(1, line(fit->slope, fit->intercept, x0, x1));
    }
    return chart;
}
} // namespace

ChartData StatisticsCharts::Weibull(const GroupStatistics& group) {
    ChartData chart;
    InitXYChart(chart, 3);
    chart.xAxis.title = StatisticsTexts::WeibullX;
    SetYAxisTitle(chart, StatisticsTexts::WeibullY);
    pointsStyle(chart.styles[0]);
    chart.styles[0].name = StatisticsTexts::CurveBreaks;
    chart.styles[1].name = StatisticsTexts::CurveMaximumLikelihood;
    chart.styles[2].name = StatisticsTexts::CurveRegression;
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
    QList<QPointF> points;
    for (const FatigueGroup& g : fit.groups)
        points.append(QPointF(std::log(g.stressRate), std::log(g.medianStress)));
    return pointsAndFit(StatisticsTexts::FatigueX, StatisticsTexts::FatigueY, points,
                        Line{fit.slope, fit.intercept});
}

ChartData StatisticsCharts::StaticFatigue(const StaticStatistics& statistics) {
    QList<QPointF> points;
    for (const StaticLevel& level : statistics.levels())
        if (level.stress && level.median && *level.stress > 0 && *level.median > 0)
            points.append(QPointF(std::log(*level.stress), std::log(*level.median)));
    std::optional<Line> fit;
    if (const auto& f = statistics.fatigue())
        fit = Line{f->slope, f->intercept};
    return pointsAndFit(StatisticsTexts::StaticX, StatisticsTexts::StaticY, points, fit);
}
