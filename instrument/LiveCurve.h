#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <optional>

// The load against time of the pull in progress, as the moving window draws it: one point per poll,
// the servo's target where there is one, and the peak so far. Adding a point costs nothing beyond
// storing it, so the poll loop does not feel it.
class LiveCurve {
public:
    static constexpr qsizetype MaxPoints = 4000; // then every second one is dropped
    void clear();
    void add(double seconds, double load, std::optional<double> target);

    const QList<QPointF>& load() const { return m_load; }
    const QList<QPointF>& target() const { return m_target; }
    bool isEmpty() const { return m_load.isEmpty(); }
    // The highest load so far (the earliest of equal ones); (0, 0) when empty.
    QPointF peak() const { return m_peak; }
    // Time and load ranges of everything drawn, with the load range from 0 and never empty.
    QRectF bounds() const;

    // A number as an axis or a readout shows it, with its unit: a value that rounds to zero reads
    // "0.0", never "-0.0".
    static QString AxisText(double value, int decimals, const QString& unit = {});

private:
    QList<QPointF> m_load;
    QList<QPointF> m_target;
    QPointF m_peak;
    double m_minLoad = 0, m_maxLoad = 0, m_maxTime = 0;
};
