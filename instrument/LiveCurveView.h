#pragma once

#include "instrument/LiveCurve.h"

#include <QWidget>

// Draws a LiveCurve: load (N) against time (s), the target ramp dashed, the peak marked.
class LiveCurveView : public QWidget {
    Q_OBJECT
public:
    explicit LiveCurveView(QWidget* parent = nullptr);

    LiveCurve& curve() { return m_curve; }
    QSize sizeHint() const override { return {420, 220}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LiveCurve m_curve;
};
