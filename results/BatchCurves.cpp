#include "results/BatchCurves.h"

#include "params/Cp1252.h"
#include "results/BatchStatistics.h"
#include "results/PointDecimation.h"
#include "results/StatisticsTexts.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cmath>

BatchCurves::BatchCurves(const QList<QStringList>& rows, const Locator& locate,
                         const QStringList& groupOrder) {
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QStringList& fields = rows[r];
        const QString path = locate ? locate(fields) : QString();
        const std::optional<QString> text = path.isEmpty() ? std::nullopt : ReadRecord(path);
        BatchCurve curve;
        if (!text || !ParseRecord(*text, curve.stressTime, curve.stressStrain)) {
            ++m_missing;
            continue;
        }
        curve.row = int(r);
        curve.specimen = fields.value(0).trimmed();
        curve.group = fields.value(BatchStatistics::RateField).trimmed();
        curve.ignored = BatchStatistics::IsIgnored(fields.value(BatchStatistics::CommentField));
        curve.stressTime = PointDecimation::Decimate(curve.stressTime, ColumnsPerCurve);
        curve.stressStrain = PointDecimation::Decimate(curve.stressStrain, ColumnsPerCurve);
        if (!m_groups.contains(curve.group))
            m_groups.append(curve.group);
        m_curves.append(curve);
    }
    // The colours in the order the statistics list the groups, whatever the rows' order.
    std::stable_sort(m_groups.begin(), m_groups.end(), [&groupOrder](const QString& a, const QString& b) {
        const qsizetype ia = groupOrder.indexOf(a), ib = groupOrder.indexOf(b);
        return (ia < 0 ? groupOrder.size() : ia) < (ib < 0 ? groupOrder.size() : ib);
    });
    QList<int> taken;
    for (const QString& group : std::as_const(m_groups)) {
        int index = PreferredColor(group);
        for (int tries = 0; taken.contains(index) && tries < PaletteSize; ++tries)
            index = (index + 1) % PaletteSize;
        taken.append(index);
        m_colors.append(PaletteColor(index));
    }
}

int BatchCurves::PreferredColor(const QString& group) {
    const QString text = group.simplified();
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    bool ok = false;
    const double value = blank > 0 ? text.left(blank).toDouble(&ok) : 0;
    const QString unit = blank > 0 ? text.mid(blank + 1) : QString();
    if (ok && value > 0 && std::isfinite(value)) {
        const int decade = int(std::floor(std::log10(value) + 1e-9));
        auto cycle = [decade](int n) { return ((decade % n) + n) % n; };
        // 0.6, 6, 60 and 600 MPa/s blue, red, green and orange; 5 and 50 %/min purple and brown;
        // speeds pink and cyan.
        if (unit == QLatin1String("MPa/s"))
            return cycle(4) == 3 ? 0 : cycle(4) + 1;
        if (unit == QLatin1String("%/min"))
            return 4 + cycle(2);
        if (unit == QStringLiteral("\u00b5m/s"))
            return 6 + cycle(2);
    }
    // Static levels and anything else: the darker hues, by the text itself (a hash of our own, the
    // same on every machine and run).
    quint32 h = 2166136261U;
    for (const QChar c : text)
        h = (h ^ c.unicode()) * 16777619U;
    return 8 + int(h % 8U);
}

QColor BatchCurves::PaletteColor(int index) {
    // Told apart on a screen and on paper; the second eight are the first ones darker.
    static const std::array<QColor, 8> colours{QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                                               QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e),
                                               QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                                               QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf)};
    const int i = ((index % PaletteSize) + PaletteSize) % PaletteSize;
    return i < 8 ? colours[size_t(i)] : colours[size_t(i - 8)].darker(150);
}

QColor BatchCurves::GroupColor(const QString& group) const {
    const qsizetype i = m_groups.indexOf(group);
    return i < 0 ? QColor(Qt::gray) : m_colors.value(i);
}

QStringList BatchCurves::GroupOrder(const BatchStatistics& statistics) {
    QStringList order;
    for (const GroupStatistics& g : statistics.groups())
        order << g.rate;
    for (const StaticLevel& l : statistics.statics().levels())
        order << l.level;
    return order;
}

std::optional<QString> BatchCurves::ReadRecord(const QString& path) {
    // A FIFO or a device would block the read for ever.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxRecordBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return Cp1252::decode(file.readAll());
}

bool BatchCurves::ParseRecord(const QString& text, QList<QPointF>& stressTime, QList<QPointF>& stressStrain) {
    stressTime.clear();
    stressStrain.clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    // A blank line opens the stretch of the rate fit and another closes it at the break: the
    // samples after that are the fall to nothing, which would draw every curve down to zero.
    int blanks = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringView line = QStringView(lines[i]).trimmed();
        if (line.isEmpty()) {
            ++blanks;
            continue;
        }
        if (blanks >= 2)
            break;
        const QList<QStringView> f = line.split(QLatin1Char('\t'));
        if (f.size() != 6)
            return false;
        std::array<double, 6> v{};
        for (size_t c = 0; c < v.size(); ++c) {
            bool ok = false;
            v[c] = f[qsizetype(c)].toDouble(&ok);
            if (!ok || !std::isfinite(v[c]))
                return false;
        }
        stressTime.append(QPointF(v[1], v[3]));
        stressStrain.append(QPointF(v[4], v[3]));
    }
    return !stressTime.isEmpty();
}

ChartData BatchCurves::Chart(Axis x, const QString& onlyGroup) const {
    QList<const BatchCurve*> shown;
    for (const BatchCurve& c : m_curves)
        if (onlyGroup.isEmpty() || c.group == onlyGroup)
            shown.append(&c);
    ChartData chart;
    chart.setColumnCount(int(2 * shown.size()));
    chart.xAxis.title = x == Axis::Time ? StatisticsTexts::OverlayTime : StatisticsTexts::OverlayStrain;
    chart.yAxis.title = StatisticsTexts::OverlayStress;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const BatchCurve& c = *shown[i];
        chart.setCurve(int(i), x == Axis::Time ? c.stressTime : c.stressStrain);
        CurveStyle& style = chart.styles[i];
        style = CurveStyle();
        style.name = StatisticsTexts::OverlayCurveName(c.specimen, c.group);
        style.color = GroupColor(c.group);
        style.lineWidth = 1.2;
        style.dashed = c.ignored;
    }
    return chart;
}

QString BatchCurves::LegendHtml() const {
    QStringList entries;
    for (qsizetype g = 0; g < m_groups.size(); ++g)
        entries << QStringLiteral("<span style=\"color:%1\">&#9632; %2</span>")
                       .arg(m_colors.value(g).name(), m_groups[g].toHtmlEscaped());
    return entries.join(QStringLiteral(" &nbsp; ")) + StatisticsTexts::OverlayDashed;
}
