#include "results/ChartControl.h"

#include "results/Chart.h"

#include <QChart>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QValueAxis>
#include <cmath>
#include <limits>

namespace {
// 1, 2, 2.5 or 5 times a power of ten, the nearest at or above the raw step.
double niceStep(double raw) {
    if (!(raw > 0))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double f : {1.0, 2.0, 2.5, 5.0})
        if (f * power >= raw * 0.999)
            return f * power;
    return 10 * power;
}
} // namespace

ChartControl::ChartControl(QWidget* parent) : QChartView(new QChart, parent) {
    setRenderHint(QPainter::Antialiasing);
    chart()->legend()->hide();
    chart()->setBackgroundRoundness(0);
    chart()->layout()->setContentsMargins(0, 0, 0, 0);
    setMinimumSize(120, 90);
    refresh();
}

void ChartControl::setData(const ChartData& data) {
    m_data = data;
    refresh();
}

void ChartControl::setPlotMargins(const QMargins& margins) {
    m_marginsSet = true;
    chart()->setMargins(margins);
}

QImage ChartControl::picture() {
    return grab().toImage();
}

void ChartControl::applyScale(QValueAxis* axis, const ChartAxis& settings, bool horizontal) {
    axis->setTitleText(settings.title);
    if (!settings.autoScale) {
        axis->setRange(settings.minimum, settings.maximum);
        return;
    }
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (int c = 0; c < m_data.curveCount(); ++c)
        for (const ChartData::Point& p : m_data.curvePoints(c)) {
            const double v = horizontal ? p.value.x() : p.value.y();
            low = qMin(low, v);
            high = qMax(high, v);
        }
    if (!std::isfinite(low)) {
        low = 0;
        high = 1;
    } else if (high - low < 1e-12 * qMax(1.0, std::abs(high))) {
        const double pad = qMax(1.0, std::abs(high) * 0.1);
        low -= pad;
        high += pad;
    } else {
        const double pad = (high - low) * 0.05;
        low -= pad;
        high += pad;
    }
    // Ticks on round values through 0, without widening the range to them. The axis lays out its
    // ticks at each change: the range and the interval change in the order that never pairs a wide
    // range with a fine interval (tens of thousands of ticks for a moment).
    const double step = niceStep((high - low) / 5);
    if (step >= axis->tickInterval()) {
        axis->setTickInterval(step);
        axis->setTickAnchor(0);
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setRange(low, high);
    } else {
        axis->setRange(low, high);
        axis->setTickInterval(step);
        axis->setTickAnchor(0);
        axis->setTickType(QValueAxis::TicksDynamic);
    }
}

void ChartControl::refresh() {
    QChart* c = chart();
    c->removeAllSeries();
    // The two axes stay for the chart's life: an axis replaced on a shown chart leaves its labels
    // drawn over those of the new one.
    auto* x = qobject_cast<QValueAxis*>(c->axes(Qt::Horizontal).value(0));
    auto* y = qobject_cast<QValueAxis*>(c->axes(Qt::Vertical).value(0));
    if (x == nullptr || y == nullptr) {
        for (QAbstractAxis* axis : c->axes()) {
            c->removeAxis(axis); // the chart lets go of a removed axis
            delete axis;
        }
        x = new QValueAxis;
        y = new QValueAxis;
        c->addAxis(x, Qt::AlignBottom);
        c->addAxis(y, Qt::AlignLeft);
    }

    if (!m_marginsSet)
        c->setMargins(m_data.plotFillsChart ? QMargins(4, 4, 8, 4) : QMargins(20, 20, 20, 20));
    applyScale(x, m_data.xAxis, true);
    applyScale(y, m_data.yAxis, false);
    x->setLabelFormat(QStringLiteral("%.4g"));
    y->setLabelFormat(QStringLiteral("%.4g"));
    QList<QXYSeries*> added;
    for (int curve = 0; curve < m_data.curveCount(); ++curve) {
        const CurveStyle style = m_data.styles.value(curve);
        const QList<ChartData::Point> points = m_data.curvePoints(curve);
        QList<QPointF> values;
        for (const ChartData::Point& p : points)
            values.append(p.value);
        auto attach = [&](QXYSeries* series) {
            series->replace(values);
            c->addSeries(series);
            added.append(series);
            connect(series, &QXYSeries::clicked, this, [this, curve](const QPointF& at) {
                const int row = m_data.nearestRow(curve, at);
                if (row >= 0)
                    emit pointSelected(curve, row);
            });
        };
        if (style.showLine || !style.showMarkers) {
            auto* line = new QLineSeries;
            line->setPen(QPen(style.color, style.lineWidth));
            attach(line);
        }
        if (style.showMarkers) {
            auto* dots = new QScatterSeries;
            dots->setMarkerShape(style.marker == CurveStyle::Marker::Circle
                                     ? QScatterSeries::MarkerShapeCircle
                                     : QScatterSeries::MarkerShapeRectangle);
            dots->setMarkerSize(style.markerSize);
            dots->setColor(style.color);
            dots->setBorderColor(style.color);
            attach(dots);
        }
    }
    for (QXYSeries* series : added) {
        series->attachAxis(x);
        series->attachAxis(y);
    }
}

void ChartControl::mouseDoubleClickEvent(QMouseEvent* event) {
    QChartView::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void InitXYChart(ChartControl& chart, int curves) {
    InitXYChart(chart.data(), curves);
    chart.refresh();
}

void SetYAxisTitle(ChartControl& chart, const QString& text) {
    SetYAxisTitle(chart.data(), text);
    chart.refresh();
}

void CopyChart(const ChartControl& source, ChartControl& target) {
    CopyChart(source.data(), target.data());
    target.refresh();
    target.raise();
}
