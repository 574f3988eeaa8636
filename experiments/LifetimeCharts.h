#pragma once

#include "experiments/LifetimeInputs.h"
#include "results/ChartData.h"

#include <QList>
#include <QRectF>

class QPainter;

// The lifetime model's two charts, as log–log data (decimal logarithms on both axes), and the report's
// lifetime page.
class LifetimeCharts {
public:
    // Service lives of the charts: 0.01 to 1000 years.
    static constexpr double FirstDecade = -2, LastDecade = 3;
    static constexpr int PointsPerDecade = 10;
    // F below this is left out: a curve must not run down a log axis to minus infinity.
    static constexpr double LowestF = 1e-15;
    // The F used for the allowed-stress curve when no target is given.
    static constexpr double DefaultTargetF = 1e-5;

    // The service stresses drawn: the service stress and three around it.
    static QList<double> Stresses(const LifetimeInputs& in);
    // log10 F against log10(years), one curve per service stress.
    static ChartData Failure(const LifetimeInputs& in);
    // log10 of the allowed stress (MPa) against log10(years) at the target F.
    static ChartData Allowed(const LifetimeInputs& in);
    // The legend of the failure chart: the colour and stress of each curve.
    static QString FailureLegend(const LifetimeInputs& in);

    // The report page: the inputs with their sources, the answers with their ranges, both charts.
    static void DrawPage(QPainter& painter, const QRectF& page, const LifetimeInputs& in);
};
