#include "results/ChartControl.h"

#include "results/Chart.h"

#include <QChart>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QValueAxis>

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
    const AxisScale scale = ScaleAxis(m_data, horizontal);
    // Qt lays the ticks out as soon as the range or the interval changes; a new range under the
    // old interval (or the reverse) can ask for millions of tick items. A fixed handful of ticks
    // while both change, then the round ticks through 0 on the new range.
    axis->setTickType(QValueAxis::TicksFixed);
    axis->setTickCount(5);
    axis->setTickAnchor(0);
    axis->setTickInterval(scale.tickInterval);
    axis->setRange(scale.minimum, scale.maximum);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setLabelFormat(AxisLabelFormat(scale));
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
            QPen pen(style.color, style.lineWidth);
            if (style.dashed)
                pen.setStyle(Qt::DashLine);
            line->setPen(pen);
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
