#include "instrument/LiveCurveView.h"

#include <QPainter>
#include <QPainterPath>

LiveCurveView::LiveCurveView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picLiveCurve"));
    setMinimumSize(300, 160);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LiveCurveView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QFontMetrics fm = fontMetrics();
    const QRectF plot = QRectF(rect()).adjusted(fm.horizontalAdvance(QStringLiteral("-000.0 N")) + 8, 8, -10,
                                                -fm.height() - 6);
    p.setPen(QColor(120, 120, 120));
    p.drawRect(plot);
    QRectF b = m_curve.bounds();
    // Room above the highest load for the peak's label: a held load would otherwise run along the
    // frame or through the label.
    const double head = fm.height() + 6;
    if (plot.height() > 2 * head)
        b.setBottom(b.bottom() + b.height() * head / (plot.height() - head));
    auto map = [&](const QPointF& v) {
        return QPointF(plot.left() + (v.x() - b.left()) / b.width() * plot.width(),
                       plot.bottom() - (v.y() - b.top()) / b.height() * plot.height());
    };
    p.drawText(QRectF(0, plot.top() - 4, plot.left() - 4, fm.height()), Qt::AlignRight,
               LiveCurve::AxisText(b.bottom(), 1, QStringLiteral("N")));
    p.drawText(QRectF(0, plot.bottom() - fm.height() + 4, plot.left() - 4, fm.height()), Qt::AlignRight,
               LiveCurve::AxisText(b.top(), 1, QStringLiteral("N")));
    p.drawText(QRectF(plot.left(), plot.bottom() + 2, plot.width(), fm.height()), Qt::AlignLeft,
               QStringLiteral("0 s"));
    p.drawText(QRectF(plot.left(), plot.bottom() + 2, plot.width(), fm.height()), Qt::AlignRight,
               LiveCurve::AxisText(b.right(), 1, QStringLiteral("s")));
    p.drawText(QRectF(plot.left(), plot.bottom() + 2, plot.width(), fm.height()), Qt::AlignHCenter,
               QStringLiteral("load (N) against time"));
    if (m_curve.isEmpty())
        return;
    p.setRenderHint(QPainter::Antialiasing);
    auto path = [&](const QList<QPointF>& points) {
        QPainterPath line(map(points.front()));
        for (qsizetype i = 1; i < points.size(); ++i)
            line.lineTo(map(points[i]));
        return line;
    };
    if (!m_curve.target().isEmpty()) {
        p.setPen(QPen(QColor(110, 110, 110), 1.2, Qt::DashLine));
        p.drawPath(path(m_curve.target()));
    }
    p.setPen(QPen(QColor(0, 90, 200), 1.8));
    p.drawPath(path(m_curve.load()));
    const QPointF peak = map(m_curve.peak());
    p.setPen(QPen(QColor(200, 30, 30), 1.5));
    p.drawEllipse(peak, 4, 4);
    p.drawText(QRectF(plot.left(), plot.top() + 2, plot.width() - 4, fm.height()), Qt::AlignRight,
               QStringLiteral("max %1 N").arg(m_curve.peak().y(), 0, 'f', 2));
}
