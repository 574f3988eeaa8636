#include "results/BatchReport.h"

#include "base/ProductIdentity.h"
#include "results/ChartControl.h"
#include "results/PointDecimation.h"
#include "results/StatisticsCharts.h"
#include "results/StatisticsTexts.h"

#include <QFile>
#include <QGraphicsScene>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <array>
#include <cmath>

namespace {
const QStringList ColumnTitles{QStringLiteral("N"),
                               QStringLiteral("Lt (N)"),
                               QStringLiteral("Lf (N)"),
                               QStringLiteral("s (MPa)"),
                               QStringLiteral("e (%)"),
                               QStringLiteral("nom rate"),
                               QStringLiteral("v (\u00b5m/s)"),
                               QStringLiteral("\u00b1"),
                               QStringLiteral("e. (%/min)"),
                               QStringLiteral("\u00b1"),
                               QStringLiteral("s. (MPa/s)"),
                               QStringLiteral("\u00b1"),
                               QStringLiteral("t (s)"),
                               QStringLiteral("date"),
                               QStringLiteral("time"),
                               QStringLiteral("comments"),
                               QStringLiteral("df GL EA Eo Ea Preload start")};
constexpr int Resolution = 96; // page coordinates in pixels of 1/96 inch
constexpr int GroupsPerTable = 5;

QFont font(double points, bool bold = false) {
    QFont f(QStringLiteral("Sans Serif"));
    f.setPointSizeF(points);
    f.setBold(bold);
    // Without ligatures, so that the PDF's text reads and searches letter for letter.
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
}

void drawChart(QPainter& painter, const ChartData& data, const QString& caption, const QRectF& box) {
    painter.setFont(font(10, true));
    const QRectF captionBox(box.left(), box.top(), box.width(), 20);
    painter.drawText(captionBox, Qt::AlignLeft | Qt::AlignVCenter, caption);
    if (data.curveCount() == 3) {
        painter.setFont(font(8));
        painter.drawText(captionBox, Qt::AlignRight | Qt::AlignVCenter, StatisticsTexts::WeibullLegend);
    }
    const QRectF plot = box.adjusted(0, 24, 0, 0);
    ChartControl chart;
    // Thousands of markers in one plot draw as one blot and take minutes to write.
    chart.setData(PointDecimation::Decimate(data));
    QChart* c = chart.chart();
    c->resize(plot.size());
    c->setGeometry(QRectF(QPointF(0, 0), plot.size()));
    c->scene()->setSceneRect(QRectF(QPointF(0, 0), plot.size()));
    c->scene()->render(&painter, plot, QRectF(QPointF(0, 0), plot.size()));
}
} // namespace

BatchReport::BatchReport(const QString& dataFileName, const QList<QStringList>& rows)
    : m_dataFileName(dataFileName), m_rows(rows.mid(0, MaxTableRows)), m_rowCount(rows.size()), m_stats(rows),
      m_date(QDateTime::currentDateTime()), m_pageSize(PageSizeFor(QLocale::system())) {
    for (const QStringList& row : rows)
        addParameters(row.value(BatchStatistics::ParametersField));
}

BatchReport::BatchReport(const QString& dataFileName, const std::vector<DataRow>& rows)
    : m_dataFileName(dataFileName), m_rowCount(qsizetype(rows.size())), m_stats(rows),
      m_date(QDateTime::currentDateTime()), m_pageSize(PageSizeFor(QLocale::system())) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i < std::size_t(MaxTableRows))
            m_rows.append(rows[i].fields());
        addParameters(rows[i].field(BatchStatistics::ParametersField + 1));
    }
}

void BatchReport::addParameters(QStringView parameters) {
    // The first six items, without the run's own start time and travel.
    QStringList items;
    for (const QStringView item : parameters.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (items.size() == 6)
            break;
        items.append(item.toString());
    }
    const QString text = items.join(QLatin1Char(' '));
    const auto it = m_parameterIndex.constFind(text);
    if (it != m_parameterIndex.constEnd()) {
        ++m_parameters[*it].second;
        return;
    }
    m_parameterIndex.insert(text, m_parameters.size());
    m_parameters.append({text, 1});
}

QString BatchReport::LeftOutText() const {
    if (RowsLeftOut() <= 0)
        return QString();
    return QStringLiteral("The table shows the first %1 of %2 rows; %3 rows are left out. The full data are "
                          "in the data file %4.")
        .arg(m_rows.size())
        .arg(m_rowCount)
        .arg(RowsLeftOut())
        .arg(m_dataFileName);
}

QPageSize BatchReport::PageSizeFor(const QLocale& locale) {
    if (locale.measurementSystem() == QLocale::ImperialUSSystem)
        return QPageSize(QPageSize::Letter);
    switch (locale.territory()) {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::Philippines:
    case QLocale::Chile:
    case QLocale::Colombia:
    case QLocale::Venezuela:
        return QPageSize(QPageSize::Letter);
    default:
        return QPageSize(QPageSize::A4);
    }
}

int BatchReport::chartCount() const {
    int charts = 0;
    if (m_stats.all().specimens() > 0)
        ++charts;
    for (const GroupStatistics& g : m_stats.groups())
        charts += g.specimens() > 0 ? 1 : 0;
    return charts + (m_stats.fatigue() ? 1 : 0) + (m_stats.statics().isEmpty() ? 0 : 1);
}

int BatchReport::PageCount() const {
    const int tablePages = qMax(1, int((m_rows.size() + RowsPerPage - 1) / RowsPerPage));
    return 1 + tablePages + (chartCount() + ChartsPerPage - 1) / ChartsPerPage;
}

namespace {
// The values of one note ("operator:" or "sample:") over the rows' conditions texts, in row order.
QString noteValues(const QList<QStringList>& rows, const QString& note) {
    QStringList values;
    for (const QStringList& row : rows) {
        const QStringList items =
            row.value(BatchStatistics::ParametersField).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString& item : items)
            if (item.startsWith(note) && item.size() > note.size()) {
                QString value = item.mid(note.size());
                value.replace(QLatin1Char('_'), QLatin1Char(' '));
                if (!values.contains(value))
                    values.append(value);
            }
    }
    return values.isEmpty() ? QStringLiteral("not given") : values.join(QStringLiteral(", "));
}
} // namespace

QString BatchReport::Operators() const {
    return noteValues(m_rows, QStringLiteral("operator:"));
}

QString BatchReport::Samples() const {
    return noteValues(m_rows, QStringLiteral("sample:"));
}

bool BatchReport::Write(const QString& pdfPath, QString* error) const {
    {
        // QPdfWriter reports nothing when it cannot create the file.
        QFile probe(pdfPath);
        if (!probe.open(QIODevice::WriteOnly)) {
            *error = probe.errorString();
            return false;
        }
    }
    QPdfWriter writer(pdfPath);
    writer.setResolution(Resolution);
    writer.setPageSize(m_pageSize);
    writer.setPageOrientation(QPageLayout::Landscape);
    writer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    writer.setTitle(QStringLiteral("Batch strength report"));
    writer.setCreator(QStringLiteral("STAVELY"));
    QPainter painter;
    if (!painter.begin(&writer)) {
        *error = QStringLiteral("the PDF writer could not start");
        return false;
    }
    const QRectF page(QPointF(0, 0), QSizeF(writer.width(), writer.height()));
    const int totalPages = PageCount();
    int pageNumber = 0;
    auto newPage = [&] {
        if (pageNumber > 0)
            writer.newPage();
        ++pageNumber;
        painter.setFont(font(8));
        painter.drawText(page, Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("Page %1 of %2").arg(pageNumber).arg(totalPages));
        painter.drawText(page, Qt::AlignLeft | Qt::AlignBottom,
                         ProductIdentity::AppTitle + QLatin1Char(' ') + ProductIdentity::PredefinedVersion);
    };

    // Summary: where the rows come from, their parameters and the statistics.
    newPage();
    double y = 0;
    auto line = [&](const QString& text, const QFont& f, double gap = 4) {
        painter.setFont(f);
        const QRectF box(0, y, page.width(), QFontMetricsF(f).height());
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text);
        y += box.height() + gap;
    };
    line(QStringLiteral("Batch strength report"), font(16, true), 10);
    line(QStringLiteral("Data file: ") + m_dataFileName, font(10));
    line(QStringLiteral("Date: ") + m_date.toString(QStringLiteral("yyyy-MM-dd hh:mm")), font(10));
    line(QStringLiteral("Operator: ") + Operators() + QStringLiteral("    Sample: ") + Samples(), font(10));
    line(QStringLiteral("Program: ") + ProductIdentity::AppTitle + QLatin1Char(' ') +
             ProductIdentity::PredefinedVersion + QStringLiteral("    Load cell calibration: ") +
             (m_calibration.isEmpty() ? QStringLiteral("not known (report made from the data file)")
                                      : m_calibration),
         font(10));
    line(QStringLiteral("Rows: %1; used %2, skipped %3, marked \"ignore\" %4, physically impossible %5")
             .arg(m_rowCount)
             .arg(m_stats.all().specimens())
             .arg(m_stats.all().skipped)
             .arg(m_stats.all().ignored)
             .arg(m_stats.all().impossible),
         font(10), LeftOutText().isEmpty() ? 10 : 4);
    if (!LeftOutText().isEmpty())
        line(LeftOutText(), font(10), 10);
    line(QStringLiteral("Test parameters (df GL EA Eo Ea Preload):"), font(10, true));
    const QList<QPair<QString, int>> parameters = TestParameters();
    for (qsizetype i = 0; i < parameters.size() && i < 6; ++i)
        line(QStringLiteral("    ") + parameters[i].first +
                 QStringLiteral("   (%1 rows)").arg(parameters[i].second),
             font(9), 2);
    if (parameters.size() > 6)
        line(QStringLiteral("    and %1 more").arg(parameters.size() - 6), font(9), 2);
    y += 10;

    // The statistics table, a few groups at a time.
    QList<const GroupStatistics*> columns{&m_stats.all()};
    for (const GroupStatistics& g : m_stats.groups())
        columns.append(&g);
    const QFont tableFont = font(8);
    const double rowHeight = QFontMetricsF(tableFont).height() + 2;
    const double labelWidth = page.width() * 0.30;
    for (qsizetype first = 0; first < columns.size(); first += GroupsPerTable + 1) {
        const qsizetype count = qMin<qsizetype>(GroupsPerTable + 1, columns.size() - first);
        const double width = (page.width() - labelWidth) / double(GroupsPerTable + 1);
        painter.setFont(font(8, true));
        for (qsizetype c = 0; c < count; ++c) {
            const GroupStatistics* g = columns[first + c];
            painter.drawText(QRectF(labelWidth + double(c) * width, y, width, rowHeight),
                             Qt::AlignRight | Qt::AlignVCenter,
                             g->rate.isEmpty() && first + c == 0 ? StatisticsTexts::AllRows : g->rate);
        }
        y += rowHeight;
        painter.setFont(tableFont);
        QList<QList<StatisticFigure>> figures;
        for (qsizetype c = 0; c < count; ++c)
            figures.append(BatchStatistics::Figures(*columns[first + c]));
        for (qsizetype i = 0; i < figures.front().size(); ++i) {
            painter.drawText(QRectF(0, y, labelWidth, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                             figures.front()[i].label);
            for (qsizetype c = 0; c < count; ++c)
                painter.drawText(QRectF(labelWidth + double(c) * width, y, width, rowHeight),
                                 Qt::AlignRight | Qt::AlignVCenter,
                                 BatchStatistics::DisplayText(figures[c][i]));
            y += rowHeight;
        }
        y += 8;
        if (y > page.height() - 60 && first + count < columns.size()) {
            newPage();
            y = 0;
        }
    }
    line(m_stats.FatigueText(), font(10), 4);
    // The static levels, one line each, and their n.
    const StaticStatistics& statics = m_stats.statics();
    if (!statics.isEmpty()) {
        y += 6;
        line(StatisticsTexts::StaticTitle, font(10, true), 2);
        auto figure = [](const std::optional<double>& v, int decimals) {
            return v ? QString::number(*v, 'f', decimals) : StatisticsTexts::NotEnoughData;
        };
        for (const StaticLevel& l : statics.levels())
            line(StatisticsTexts::StaticLevelLine.arg(l.level, figure(l.stress, 1))
                     .arg(l.breaks)
                     .arg(l.runouts)
                     .arg(figure(l.median, 2),
                          l.weibull ? QString::number(l.weibull->m, 'f', 2) : StatisticsTexts::NotEnoughData,
                          l.weibull ? QString::number(l.weibull->sigma0, 'f', 1)
                                    : StatisticsTexts::NotEnoughData),
                 font(9), 1);
        line(statics.FatigueText(), font(10), 4);
    }

    // The datasheet table: each column as wide as its widest text; where the page is too narrow for
    // all of them, the type is condensed rather than cut, so no column loses its end.
    const QFont cellFont = font(8);
    const QFont headerFont = font(8, true);
    const double cellHeight = (page.height() - 40) / (RowsPerPage + 1);
    constexpr double CellPadding = 6;
    std::array<double, 17> natural{};
    for (int c = 0; c < 17; ++c) {
        natural[size_t(c)] = QFontMetricsF(headerFont, &writer).horizontalAdvance(ColumnTitles.value(c));
        for (const QStringList& row : m_rows)
            natural[size_t(c)] =
                qMax(natural[size_t(c)], QFontMetricsF(cellFont, &writer).horizontalAdvance(row.value(c)));
    }
    double naturalSum = 0;
    for (double w : natural)
        naturalSum += w;
    const double room = page.width() - 17 * CellPadding;
    // Condensed a little more than the arithmetic says, for the glyphs' rounding.
    const double squeeze = naturalSum > room ? room / naturalSum : 1.0;
    const int stretch = qMax(50, int(std::floor(squeeze * 100)) - 2);
    auto condensed = [stretch](QFont f) {
        if (stretch < 98)
            f.setStretch(stretch);
        return f;
    };
    // Spare room goes to the columns in proportion to their width.
    const double spread = naturalSum > 0 ? room / naturalSum : 1.0;
    auto drawRow = [&](const QStringList& cells, double top, bool header) {
        painter.setFont(condensed(header ? headerFont : cellFont));
        double x = 0;
        for (int c = 0; c < 17; ++c) {
            const double w = natural[size_t(c)] * spread + CellPadding;
            const QRectF box(x + CellPadding / 2, top, w - CellPadding, cellHeight);
            const bool left = c >= 15;
            // A cell that still does not fit is condensed further before anything is cut.
            QFont cellType = painter.font();
            int cellStretch = cellType.stretch() > 0 ? cellType.stretch() : 100;
            while (QFontMetricsF(cellType, &writer).horizontalAdvance(cells.value(c)) > box.width() &&
                   cellStretch > 50) {
                cellStretch = qMax(50, cellStretch - 4);
                cellType.setStretch(cellStretch);
            }
            const QFont rowType = painter.font();
            painter.setFont(cellType);
            const QString text =
                QFontMetricsF(cellType, &writer).elidedText(cells.value(c), Qt::ElideRight, box.width() + 1);
            painter.drawText(box, (left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, text);
            painter.setFont(rowType);
            x += w;
        }
    };
    const qsizetype tablePages = qMax<qsizetype>(1, (m_rows.size() + RowsPerPage - 1) / RowsPerPage);
    for (qsizetype p = 0; p < tablePages; ++p) {
        newPage();
        drawRow(ColumnTitles, 0, true);
        painter.drawLine(QPointF(0, cellHeight), QPointF(page.width(), cellHeight));
        for (qsizetype r = p * RowsPerPage; r < qMin<qsizetype>(m_rows.size(), (p + 1) * RowsPerPage); ++r)
            drawRow(m_rows[r], double(r - p * RowsPerPage + 1) * cellHeight + 2, false);
        if (p + 1 == tablePages && RowsLeftOut() > 0) {
            painter.setFont(font(8));
            painter.drawText(QRectF(0, page.height() - 36, page.width(), 16),
                             Qt::AlignLeft | Qt::AlignVCenter, LeftOutText());
        }
    }

    // The plots, four a page.
    QList<QPair<QString, ChartData>> charts;
    if (m_stats.all().specimens() > 0)
        charts.append({StatisticsTexts::WeibullTitle + QStringLiteral(": ") + StatisticsTexts::AllRows,
                       StatisticsCharts::Weibull(m_stats.all())});
    for (const GroupStatistics& g : m_stats.groups())
        if (g.specimens() > 0)
            charts.append({StatisticsTexts::WeibullTitle + QStringLiteral(": ") + g.rate,
                           StatisticsCharts::Weibull(g)});
    if (m_stats.fatigue())
        charts.append({StatisticsTexts::FatigueTitle, StatisticsCharts::Fatigue(*m_stats.fatigue())});
    if (!statics.isEmpty())
        charts.append({StatisticsTexts::StaticTitle, StatisticsCharts::StaticFatigue(statics)});
    const double cellW = page.width() / 2, cellH = (page.height() - 20) / 2;
    for (qsizetype i = 0; i < charts.size(); ++i) {
        if (i % ChartsPerPage == 0)
            newPage();
        const int slot = int(i % ChartsPerPage);
        const QRectF box((slot % 2) * cellW + 6, (slot / 2) * cellH + 4, cellW - 12, cellH - 12);
        drawChart(painter, charts[i].second, charts[i].first, box);
    }
    painter.end();
    return true;
}
