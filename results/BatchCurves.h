#pragma once

#include "results/ChartData.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <functional>

class BatchStatistics;

// One row's load/time record as the overlay draws it.
struct BatchCurve {
    int row = 0;                 // index in the rows given
    QString specimen;            // column 1
    QString group;               // the nominal rate or static level, column 6
    bool ignored = false;        // the comment starts with "ignore"
    QList<QPointF> stressTime;   // (s, MPa)
    QList<QPointF> stressStrain; // (%, MPa)
};

// The batch at a glance: the stress curves of the rows whose load/time record can be read, one
// colour per rate group, the rows marked "ignore" dashed.
class BatchCurves {
public:
    // Where a row's record lies (its 17 fields in, a path or nothing out).
    using Locator = std::function<QString(const QStringList& fields)>;
    enum class Axis { Time, Strain };

    // Each curve is thinned to about this many points: enough for a page, and a batch of a few
    // hundred rows still draws at once.
    static constexpr int ColumnsPerCurve = 200;
    // Larger records are not read: no real pull is that long.
    static constexpr qint64 MaxRecordBytes = 64 * 1024 * 1024;

    BatchCurves() = default;
    // groupOrder: the order of the groups' colours (the statistics' order); groups it lacks follow
    // in the order the rows bring them.
    BatchCurves(const QList<QStringList>& rows, const Locator& locate, const QStringList& groupOrder = {});
    // The statistics' order of the groups: rate groups, then static levels.
    static QStringList GroupOrder(const BatchStatistics& statistics);

    // The samples of a record's text up to the break (header, then position, time, load, stress,
    // strain and speed per line, a blank line before the rate fit's stretch and another after the
    // break); false when a line is not six numbers or none is there.
    static bool ParseRecord(const QString& text, QList<QPointF>& stressTime, QList<QPointF>& stressStrain);
    // The record file's text, or nothing when it is not a regular file of a sane size.
    static std::optional<QString> ReadRecord(const QString& path);

    const QList<BatchCurve>& curves() const { return m_curves; }
    // The groups in the order of their colours (order of first appearance in the rows).
    const QStringList& groups() const { return m_groups; }
    // Rows with no record that could be read.
    int missing() const { return m_missing; }
    bool isEmpty() const { return m_curves.isEmpty(); }

    // The colour a group keeps from one window and report to the next: taken from its rate (the
    // unit and the decade), so that 600 MPa/s is drawn alike whatever else the batch holds; a
    // second group that would take a colour already given gets the next free one.
    static int PreferredColor(const QString& group);
    static QColor PaletteColor(int index);
    static constexpr int PaletteSize = 16;
    QColor GroupColor(const QString& group) const;
    // The curves of every group, or of the one group named.
    ChartData Chart(Axis x, const QString& onlyGroup = QString()) const;
    // "colour: group" legend entries, as HTML for a label.
    QString LegendHtml() const;

private:
    QList<BatchCurve> m_curves;
    QStringList m_groups;
    QList<QColor> m_colors; // one per group
    int m_missing = 0;
};
