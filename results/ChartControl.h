#pragma once

#include "results/ChartData.h"

#include <QChartView>
#include <QMargins>

class QValueAxis;

// The XY chart control: draws a ChartData, reports a clicked data point and a double click.
class ChartControl : public QChartView {
    Q_OBJECT
public:
    explicit ChartControl(QWidget* parent = nullptr);

    const ChartData& data() const { return m_data; }
    // Changes made through this reference show after refresh().
    ChartData& data() { return m_data; }
    void setData(const ChartData& data);
    void refresh();

    // Room between the control's edges and its plot area (axis labels included), in pixels.
    void setPlotMargins(const QMargins& margins);

    // The picture of the chart as it is drawn now.
    QImage picture();

signals:
    // curve and row count from 0.
    void pointSelected(int curve, int row);
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void applyScale(QValueAxis* axis, const ChartAxis& settings, bool horizontal);

    ChartData m_data;
    bool m_marginsSet = false;
};

// The chart toolkit on the control: the same operations as on its data, then redrawn.
void InitXYChart(ChartControl& chart, int curves);
void SetYAxisTitle(ChartControl& chart, const QString& text);
// Copies everything the chart shows and brings the target to the front.
void CopyChart(const ChartControl& source, ChartControl& target);
