#include "results/BatchReport.h"

#include "base/ProductIdentity.h"
#include "results/ChartControl.h"
#include "results/PointDecimation.h"
#include "results/RowTitle.h"
#include "results/SafeReplace.h"
#include "results/StatisticsCharts.h"
#include "results/StatisticsTexts.h"

#include "results/Figures.h"

#include <QDate>
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

// A legend entry: the colour's square and its text; the x after it.
double drawLegendEntry(QPainter& painter, double x, double y, const QColor& colour, const QString& text,
                       bool dashed = false) {
    const QFontMetricsF metrics(painter.font());
    const double h = metrics.height();
    painter.save();
    QPen pen(colour, 2);
    if (dashed)
        pen.setStyle(Qt::DashLine);
    painter.setPen(pen);
    painter.drawLine(QPointF(x, y + h / 2), QPointF(x + 20, y + h / 2));
    painter.restore();
    painter.drawText(QPointF(x + 24, y + metrics.ascent()), text);
    return x + 24 + metrics.horizontalAdvance(text) + 14;
}

void drawChart(QPainter& painter, const ChartData& data, const QString& caption, const QRectF& box,
               const QString& legend = QString()) {
    painter.setFont(font(10, true));
    const QRectF captionBox(box.left(), box.top(), box.width(), 20);
    painter.drawText(captionBox, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(painter.font()).elidedText(caption, Qt::ElideRight, box.width()));
    double top = 24;
    // The legend under the caption, never on the same line: a long caption would run into it.
    const QString& note = legend;
    if (!note.isEmpty()) {
        painter.setFont(font(8));
        painter.drawText(QRectF(box.left(), box.top() + top, box.width(), 16),
                         Qt::AlignLeft | Qt::AlignVCenter, note);
        top += 18;
    }
    const QRectF plot = box.adjusted(0, top, 0, 0);
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
    listLeftOut([&rows](int r, int f) { return rows[r].value(f).trimmed(); });
}

BatchReport::BatchReport(const QString& dataFileName, const std::vector<DataRow>& rows)
    : m_dataFileName(dataFileName), m_rowCount(qsizetype(rows.size())), m_stats(rows),
      m_date(QDateTime::currentDateTime()), m_pageSize(PageSizeFor(QLocale::system())) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i < std::size_t(MaxTableRows))
            m_rows.append(rows[i].fields());
        addParameters(rows[i].field(BatchStatistics::ParametersField + 1));
    }
    listLeftOut([&rows](int r, int f) { return rows[std::size_t(r)].field(f + 1).trimmed(); });
}

void BatchReport::listLeftOut(const std::function<QString(int row, int field)>& field) {
    for (const LeftOutRow& r : m_stats.LeftOut())
        m_leftOutLines.append(QStringLiteral("Specimen %1 (%2): %3")
                                  .arg(field(r.row, 0), field(r.row, BatchStatistics::RateField), r.reason));
}

QString BatchReport::SetupText(const QString& items) {
    const QStringList f = items.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const qsizetype slash = f.value(5).indexOf(QStringLiteral("N/"));
    if (f.size() < 6 || slash < 0)
        return items;
    const QString force = f[5].left(slash), speed = f[5].mid(slash + 2);
    const bool noPreload = FieldNumber(force).value_or(-1) == 0;
    return QStringLiteral("diameter %1 \u00b5m, gauge length %2 mm, coating EA %3 N, modulus %4 GPa, "
                          "modulus a %5, ")
               .arg(f[0], f[1], f[2], f[3], f[4]) +
           (noPreload ? QStringLiteral("no preload")
                      : QStringLiteral("preload %1 N at %2 \u00b5m/s").arg(force, speed));
}

QString BatchReport::IsoDate(const QString& date) {
    const QDate d = QDate::fromString(date.trimmed(), QStringLiteral("yy/MM/dd"));
    if (!d.isValid())
        return date;
    // Two-digit years are this century's, as the record files' names read them.
    return (d.year() < 2000 ? d.addYears(100) : d).toString(Qt::ISODate);
}

QStringList BatchReport::TableRow(const QStringList& fields) {
    QStringList row = fields;
    if (row.size() > 13)
        row[13] = IsoDate(row[13]);
    if (row.size() > BatchStatistics::ParametersField) {
        QStringList items = row[BatchStatistics::ParametersField].split(QLatin1Char(' '));
        // The run's start date is the seventh item of the conditions text.
        qsizetype seen = 0;
        for (QString& item : items)
            if (!item.isEmpty() && ++seen == 7) {
                item = IsoDate(item);
                break;
            }
        row[BatchStatistics::ParametersField] = items.join(QLatin1Char(' '));
    }
    return row;
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

void BatchReport::DrawChart(QPainter& painter, const ChartData& data, const QString& caption,
                            const QRectF& box) {
    drawChart(painter, data, caption, box);
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
    if (m_stats.all().specimens() >= MinWeibullPoints)
        ++charts;
    for (const GroupStatistics& g : m_stats.groups())
        charts += g.specimens() >= MinWeibullPoints ? 1 : 0;
    return charts + (m_stats.fatigue() ? 1 : 0) + (m_stats.statics().isEmpty() ? 0 : 1);
}

int BatchReport::leftOutPages() const {
    return int((m_leftOutLines.size() + LeftOutPerPage - 1) / LeftOutPerPage);
}

bool BatchReport::signaturePage() const {
    // Chart and overlay pages keep room for it at their foot; a full last table page does not.
    if (chartCount() > 0 || overlayPage() || !m_extraPages.isEmpty())
        return false;
    const qsizetype last = m_rows.size() % RowsPerPage;
    return m_rows.size() > 0 && (last == 0 || last > RowsPerPage - 6);
}

int BatchReport::PageCount() const {
    const int tablePages = qMax(1, int((m_rows.size() + RowsPerPage - 1) / RowsPerPage));
    return 1 + leftOutPages() + tablePages + (overlayPage() ? 1 : 0) +
           (chartCount() + ChartsPerPage - 1) / ChartsPerPage + int(m_extraPages.size()) +
           (signaturePage() ? 1 : 0);
}

namespace {
// The values of one note ("operator:" or "sample:") over the rows' conditions texts, in row order.
QString noteValues(const QList<QStringList>& rows, const QString& note) {
    QStringList values;
    for (const QStringList& row : rows) {
        const QStringList items =
            row.value(BatchStatistics::ParametersField).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString value = RowTitle::Note(items.join(QLatin1Char(' ')), note);
        if (!value.isEmpty() && !values.contains(value))
            values.append(value);
    }
    if (values.isEmpty())
        return QStringLiteral("not given");
    // Names that hold a comma themselves are told apart by semicolons.
    const bool commas = std::any_of(values.begin(), values.end(),
                                    [](const QString& v) { return v.contains(QLatin1Char(',')); });
    return values.join(commas ? QStringLiteral("; ") : QStringLiteral(", "));
}
} // namespace

QString BatchReport::Operators() const {
    return noteValues(m_rows, QStringLiteral("operator:"));
}

QString BatchReport::Samples() const {
    return noteValues(m_rows, QStringLiteral("sample:"));
}

bool BatchReport::Write(const QString& pdfPath, QString* error) const {
    // Drawn into a file beside the older report, which it replaces only once whole and on the disc:
    // a full disc or a kill leaves the older report as it was.
    SafeReplace::RemoveStaleTemporaries(pdfPath);
    const std::optional<FileFault> fault =
        SafeReplace::WriteThrough(pdfPath, [this](QIODevice& device) { return draw(device); });
    if (fault)
        *error = fault->description;
    return !fault;
}

QString BatchReport::draw(QIODevice& device) const {
    QPdfWriter writer(&device);
    writer.setResolution(Resolution);
    writer.setPageSize(m_pageSize);
    writer.setPageOrientation(QPageLayout::Landscape);
    writer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    writer.setTitle(QStringLiteral("Batch strength report"));
    writer.setCreator(QStringLiteral("STAVELY"));
    QPainter painter;
    if (!painter.begin(&writer))
        return QStringLiteral("the PDF writer could not start");
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
        // A line longer than the page goes on under itself rather than off the edge.
        const QRectF box = painter.boundingRect(QRectF(0, y, page.width(), QFontMetricsF(f).height()),
                                                Qt::AlignLeft | Qt::TextWordWrap, text);
        painter.drawText(box, Qt::AlignLeft | Qt::TextWordWrap, text);
        y += qMax(box.height(), QFontMetricsF(f).height()) + gap;
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
    line(QStringLiteral("Test parameters:"), font(10, true));
    const QList<QPair<QString, int>> parameters = TestParameters();
    for (qsizetype i = 0; i < parameters.size() && i < 6; ++i)
        line(QStringLiteral("    ") + SetupText(parameters[i].first) + QStringLiteral("   (") +
                 StatisticsTexts::Rows(parameters[i].second) + QLatin1Char(')'),
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
                             g->rate.isEmpty() && first + c == 0 ? m_stats.AllTitle() : g->rate);
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
    if (m_stats.AllPooled())
        line(m_stats.PooledText(), font(9), 4);
    line(m_stats.FatigueText(), font(10), 4);
    // The static levels, one line each, and their n.
    const StaticStatistics& statics = m_stats.statics();
    if (!statics.isEmpty()) {
        y += 6;
        line(StatisticsTexts::StaticTitle, font(10, true), 2);
        auto figure = [](const std::optional<double>& v, int decimals) {
            return v ? QString::number(*v, 'f', decimals) : StatisticsTexts::NotEnoughData;
        };
        auto seconds = [](const std::optional<double>& v, int decimals) {
            return StatisticsTexts::Seconds(v ? QString::number(*v, 'f', decimals) : QString(),
                                            v.has_value());
        };
        for (const StaticLevel& l : statics.levels())
            line(StatisticsTexts::StaticLevelLine(
                     l.level, figure(l.stress, 1), l.breaks, l.runouts, seconds(l.median, 2),
                     l.weibull ? QString::number(l.weibull->m, 'f', 2) : StatisticsTexts::NotEnoughData,
                     seconds(l.weibull ? std::optional<double>(l.weibull->sigma0) : std::nullopt, 1),
                     l.skipped, l.ignored),
                 font(9), 1);
        line(statics.FatigueText(), font(10), 4);
    }
    // The proof levels: failure fraction and proof breaks per km.
    for (const QString& proof :
         m_stats.proof().SummaryText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        line(proof, font(10), 2);

    // The rows the figures leave out, each with its reason.
    for (int p = 0; p < leftOutPages(); ++p) {
        newPage();
        y = 0;
        line(StatisticsTexts::LeftOutTitle.arg(m_leftOutLines.size()), font(10, true), 6);
        for (qsizetype i = qsizetype(p) * LeftOutPerPage;
             i < qMin<qsizetype>(m_leftOutLines.size(), qsizetype(p + 1) * LeftOutPerPage); ++i)
            line(QStringLiteral("    ") + m_leftOutLines[i], font(9), 1);
    }

    // The datasheet table: each column as wide as its widest text; where the page is too narrow for
    // all of them, the type is condensed rather than cut, so no column loses its end.
    const QFont cellFont = font(8);
    const QFont headerFont = font(8, true);
    const double cellHeight = (page.height() - 40) / (RowsPerPage + 1);
    constexpr double CellPadding = 6;
    std::array<double, 17> natural{};
    QList<QStringList> tableRows;
    tableRows.reserve(m_rows.size());
    for (const QStringList& row : m_rows)
        tableRows.append(TableRow(row));
    for (int c = 0; c < 17; ++c) {
        natural[size_t(c)] = QFontMetricsF(headerFont, &writer).horizontalAdvance(ColumnTitles.value(c));
        for (const QStringList& row : tableRows)
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
            drawRow(tableRows[r], double(r - p * RowsPerPage + 1) * cellHeight + 2, false);
        if (p + 1 == tablePages && RowsLeftOut() > 0) {
            painter.setFont(font(8));
            painter.drawText(QRectF(0, page.height() - 36, page.width(), 16),
                             Qt::AlignLeft | Qt::AlignVCenter, LeftOutText());
        }
    }

    // The signatures, empty for a pen, at the foot of the last page.
    auto signatures = [&] {
        painter.setFont(font(10));
        const double top = page.height() - SignatureHeight + 10;
        const double third = page.width() / 3;
        const QStringList labels{StatisticsTexts::TestedBy, StatisticsTexts::CheckedBy,
                                 StatisticsTexts::SignedOn};
        for (int i = 0; i < 3; ++i) {
            const double x = i * third;
            painter.drawText(QPointF(x, top + 14), labels[i]);
            painter.drawLine(QPointF(x, top + 50), QPointF(x + third - 30, top + 50));
        }
        // One line below the pens: the latest signature, and how many came before it.
        if (!m_signatures.isEmpty()) {
            painter.setFont(font(7));
            QString text = m_signatures.last();
            if (m_signatures.size() > 1)
                text += StatisticsTexts::MoreSignatures(m_signatures.size() - 1);
            painter.drawText(QRectF(0, top + 53, page.width(), 12), Qt::AlignLeft | Qt::AlignVCenter,
                             painter.fontMetrics().elidedText(text, Qt::ElideRight, int(page.width())));
        }
    };

    // The batch's curves, stress against time and against strain, one colour per rate group.
    const double usable = page.height() - 20 - SignatureHeight;
    if (overlayPage()) {
        newPage();
        QString legend;
        painter.setFont(font(10, true));
        painter.drawText(QRectF(0, 0, page.width(), 20), Qt::AlignLeft | Qt::AlignVCenter,
                         StatisticsTexts::OverlayTitle + QStringLiteral(": ") +
                             StatisticsTexts::OverlayCount(m_curves.curves().size(), m_curves.missing()));
        painter.setFont(font(8));
        double x = 0;
        for (qsizetype g = 0; g < m_curves.groups().size(); ++g)
            x = drawLegendEntry(painter, x, 24, m_curves.GroupColor(m_curves.groups()[g]),
                                m_curves.groups()[g]);
        drawLegendEntry(painter, x, 24, Qt::gray, StatisticsTexts::IgnoredDashed, true);
        const double w = page.width() / 2;
        const QRectF left(0, 46, w - 8, usable - 46), right(w + 8, 46, w - 8, usable - 46);
        drawChart(painter, m_curves.Chart(BatchCurves::Axis::Time),
                  StatisticsTexts::OverlayStress + QLatin1Char(' ') + StatisticsTexts::OverlayAgainst +
                      QLatin1Char(' ') + StatisticsTexts::OverlayTime,
                  left, legend);
        const QString againstStrain = StatisticsTexts::OverlayStress + QLatin1Char(' ') +
                                      StatisticsTexts::OverlayAgainst + QLatin1Char(' ') +
                                      StatisticsTexts::OverlayStrain;
        // Against strain the rates' curves lie on one another: a panel per group, as long as
        // the panels stay tall enough to read.
        const QStringList& groups = m_curves.groups();
        if (groups.size() < 2 || groups.size() > MaxStrainPanels) {
            drawChart(painter, m_curves.Chart(BatchCurves::Axis::Strain), againstStrain, right, legend);
        } else {
            const double h = right.height() / double(groups.size());
            for (qsizetype g = 0; g < groups.size(); ++g)
                drawChart(painter, m_curves.Chart(BatchCurves::Axis::Strain, groups[g]),
                          againstStrain + QStringLiteral(": ") + groups[g],
                          QRectF(right.left(), right.top() + double(g) * h, right.width(), h - 6), legend);
        }
    }

    // The plots, four a page.
    QList<QPair<QString, ChartData>> charts;
    if (m_stats.all().specimens() >= MinWeibullPoints)
        charts.append({StatisticsTexts::WeibullTitle + QStringLiteral(": ") + m_stats.AllTitle(),
                       StatisticsCharts::Weibull(m_stats.all())});
    for (const GroupStatistics& g : m_stats.groups())
        if (g.specimens() >= MinWeibullPoints)
            charts.append({StatisticsTexts::WeibullTitle + QStringLiteral(": ") + g.rate,
                           StatisticsCharts::Weibull(g)});
    if (m_stats.fatigue())
        charts.append({StatisticsTexts::FatigueTitle, StatisticsCharts::Fatigue(*m_stats.fatigue())});
    if (!statics.isEmpty())
        charts.append({StatisticsTexts::StaticTitle, StatisticsCharts::StaticFatigue(statics)});
    const double cellW = page.width() / 2, cellH = usable / 2;
    for (qsizetype i = 0; i < charts.size(); ++i) {
        if (i % ChartsPerPage == 0)
            newPage();
        const int slot = int(i % ChartsPerPage);
        const QRectF box((slot % 2) * cellW + 6, (slot / 2) * cellH + 4, cellW - 12, cellH - 12);
        // The Weibull plots say which line is which; a chart of three other curves is no Weibull plot.
        drawChart(painter, charts[i].second, charts[i].first, box,
                  charts[i].first.startsWith(StatisticsTexts::WeibullTitle) ? StatisticsTexts::WeibullLegend
                                                                            : QString());
    }
    for (const PagePainter& extra : m_extraPages) {
        newPage();
        painter.save();
        extra(painter, QRectF(page.topLeft(), QSizeF(page.width(), usable)));
        painter.restore();
    }
    if (signaturePage())
        newPage();
    signatures();
    if (!painter.end())
        return QStringLiteral("the PDF writer could not finish the report");
    return QString();
}
