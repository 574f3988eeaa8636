#include "instrument/LiveCurve.h"

void LiveCurve::clear() {
    m_load.clear();
    m_target.clear();
    m_peak = {};
    m_minLoad = m_maxLoad = m_maxTime = 0;
}

void LiveCurve::add(double seconds, double load, std::optional<double> target) {
    if (m_load.isEmpty() || load > m_peak.y())
        m_peak = {seconds, load};
    m_load.append({seconds, load});
    m_minLoad = qMin(m_minLoad, load);
    m_maxLoad = qMax(m_maxLoad, load);
    m_maxTime = qMax(m_maxTime, seconds);
    if (target) {
        m_target.append({seconds, *target});
        m_minLoad = qMin(m_minLoad, *target);
        m_maxLoad = qMax(m_maxLoad, *target);
    }
    // A hold may last days: every second point goes once a curve is long, so drawing stays cheap.
    auto thin = [](QList<QPointF>& points) {
        if (points.size() < MaxPoints)
            return;
        qsizetype kept = 0;
        for (qsizetype i = 0; i < points.size(); i += 2)
            points[kept++] = points[i];
        if (points.size() % 2 == 0)
            points[kept++] = points.back(); // the newest point stays
        points.resize(kept);
    };
    thin(m_load);
    thin(m_target);
}

QRectF LiveCurve::bounds() const {
    const double time = m_maxTime > 0 ? m_maxTime : 1;
    const double top = m_maxLoad > m_minLoad ? m_maxLoad : m_minLoad + 1;
    return QRectF(0, m_minLoad, time, top - m_minLoad);
}

QString LiveCurve::AxisText(double value, int decimals, const QString& unit) {
    QString text = QString::number(value, 'f', decimals);
    if (text.startsWith(QLatin1Char('-')) && text.mid(1).toDouble() == 0)
        text.remove(0, 1);
    return unit.isEmpty() ? text : text + QLatin1Char(' ') + unit;
}
