#include "results/Chart.h"
#include "base/Twips.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "results/ChartControl.h"
#include "results/ChartData.h"
#include "results/RowTitle.h"
#include "results/TitleFit.h"
#include "results/frmBigPlot.h"
#include "results/frmLoadTimePlots.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QApplication>
#include <QChart>
#include <QClipboard>
#include <QGraphicsScene>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
#include <QXYSeries>
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>

namespace {
ChartData twoCurves() {
    ChartData d;
    InitXYChart(d, 2);
    d.setCurve(0, {{0, 1}, {1, 2.5}, {2.5, 1.23456}});
    d.setCurve(1, {{0, 10}, {1, 20}});
    d.xAxis.title = QStringLiteral("time (s)");
    SetYAxisTitle(d, QStringLiteral("load (N)"));
    d.yAxis.autoScale = false;
    d.yAxis.minimum = -1;
    d.yAxis.maximum = 25;
    d.styles[1].showMarkers = true;
    d.styles[0].name = QStringLiteral("rate fit stretch");
    return d;
}

int pointCount(const ChartControl& chart) {
    int n = 0;
    for (QAbstractSeries* s : chart.chart()->series())
        n += int(static_cast<QXYSeries*>(s)->count());
    return n;
}
} // namespace

class ChartTest : public QObject {
    Q_OBJECT
private slots:
    void initGivesColumnPairsOneEmptyRowAndDistinctCurves() {
        ChartData d = twoCurves();
        InitXYChart(d, 3);
        QCOMPARE(d.columnCount(), 6);
        QCOMPARE(d.rowCount(), 1);
        QVERIFY(std::isnan(d.data(0, 0)));
        QVERIFY(d.curvePoints(0).isEmpty());
        QVERIFY(d.plotFillsChart);
        QCOMPARE(d.styles.size(), 3);
        QVERIFY(d.styles[0].color != d.styles[1].color && d.styles[1].color != d.styles[2].color);
    }

    void curvesKeepTheirRowsAndLeaveOutEmptyCells() {
        const ChartData d = twoCurves();
        QCOMPARE(d.rowCount(), 3);
        QCOMPARE(d.curvePoints(0).size(), 3);
        QCOMPARE(d.curvePoints(1).size(), 2); // the third row of curve 2 is empty
        QCOMPARE(d.data(2, 1), 1.23456);
        QCOMPARE(d.nearestRow(0, {2.4, 1.3}), 2);
        QCOMPARE(d.nearestRow(1, {0.1, 11}), 0);
        QCOMPARE(d.dataText(), QStringLiteral("0\t1\t0\t10\r\n1\t2.5\t1\t20\r\n2.5\t1.23456\t\t\r\n"));
    }

    // Everything a chart shows travels, and the copy does not follow later changes of the source.
    void copyTakesValuesTypeAxesAndStyles() {
        ChartData source = twoCurves();
        source.setType(ChartData::ChartType::Line);
        ChartData target;
        InitXYChart(target, 1);
        CopyChart(source, target);
        QVERIFY(target == source);
        source.setData(0, 1, 99);
        source.styles[0].showLine = false;
        QCOMPARE(target.data(0, 1), 1.0);
        QVERIFY(target.styles[0].showLine);

        ChartControl from, to;
        from.setData(twoCurves());
        CopyChart(from, to);
        QVERIFY(to.data() == from.data());
        // Curve 1 drawn as a line (3 points), curve 2 as line and markers (2 + 2).
        QCOMPARE(pointCount(to), 7);
    }

    void selectionTextCountsFromOneWithAtMostThreeDecimals() {
        QCOMPARE(PointSelectionText(1, 3, 2.5, 1.23456),
                 QStringLiteral("Series 1, index 3, coordinates (2.5,1.235)"));
        QCOMPARE(PointSelectionText(2, 1, -4, 1000.0004),
                 QStringLiteral("Series 1, index 1, coordinates (-4,1000)"));
        QCOMPARE(PointSelectionText(4, 2, 0.5, 7), QStringLiteral("Series 2, index 2, coordinates (0.5,7)"));
        // The read-out names quantities and units from the axis titles the program gives.
        const QList<std::array<QString, 2>> quantities{
            {QStringLiteral("stress (MPa)"), QStringLiteral("stress 4725.125 MPa")},
            {QStringLiteral("speed (\u00b5m/s)"), QStringLiteral("speed 4725.125 \u00b5m/s")},
            {QStringLiteral("ln(stress / MPa)"), QStringLiteral("ln(stress / MPa) = 4725.125")},
            {QStringLiteral("Load(N)"), QStringLiteral("Load 4725.125 N")},
            {QStringLiteral("ln(stress rate / (MPa/s))"),
             QStringLiteral("ln(stress rate / (MPa/s)) = 4725.125")},
            {QString(), QStringLiteral("4725.125")}};
        for (const auto& [title, text] : quantities)
            QCOMPARE(QuantityText(title, 4725.1254), text);
    }

    // Every scale a chart can be given gets a finite, ascending range and a handful of ticks; on a
    // shown chart that was first drawn empty (tick step 0.2), a range of 0 to 100,000 must not ask
    // Qt for half a million tick items.
    void axesGetAHandfulOfTicksWhateverTheData_data() {
        QTest::addColumn<std::function<void(ChartData&)>>("fill");
        QTest::addColumn<double>("low"); // what the range must hold (NaN: nothing)
        QTest::addColumn<double>("high");
        using Fill = std::function<void(ChartData&)>;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        auto curve = [](QList<QPointF> points) {
            return Fill([points](ChartData& d) { d.setCurve(0, points); });
        };
        QTest::newRow("steps: 0 to 100000")
            << curve({{0, 0}, {40000, 40000}, {100000, 100000}}) << 0.0 << 100000.0;
        QTest::newRow("a held load: hundredths near 50 N")
            << curve({{50.318, 50.318}, {50.338, 50.338}, {50.33, 50.33}}) << 50.318 << 50.338;
        QTest::newRow("one point") << curve({{3, 3}}) << 3.0 << 3.0;
        QTest::newRow("equal values") << curve({{5, 5}, {5, 5}, {5, 5}}) << 5.0 << 5.0;
        QTest::newRow("huge") << curve({{-1.7e308, -1.7e308}, {1.7e308, 1.7e308}}) << nan << nan;
        QTest::newRow("tiny span") << curve({{1, 1}, {1 + 1e-15, 1 + 1e-15}}) << 1.0 << 1.0;
        QTest::newRow("tiny values") << curve({{1e-300, 1e-300}, {3e-300, 3e-300}}) << 1e-300 << 3e-300;
        QTest::newRow("not finite") << Fill([inf](ChartData& d) {
            d.setCurve(0, {{0, 1}, {1, 2}, {2, 3}});
            d.setData(1, 0, inf);
            d.setData(2, 1, -inf);
        }) << 0.0 << 1.0;
        QTest::newRow("fixed, reversed") << Fill([](ChartData& d) {
            d.yAxis.autoScale = d.xAxis.autoScale = false;
            d.yAxis.minimum = d.xAxis.minimum = 10;
            d.yAxis.maximum = d.xAxis.maximum = -10;
        }) << -10.0 << 10.0;
        QTest::newRow("fixed, equal") << Fill([](ChartData& d) {
            d.yAxis.autoScale = d.xAxis.autoScale = false;
            d.yAxis.minimum = d.xAxis.minimum = d.yAxis.maximum = d.xAxis.maximum = 7;
        }) << 7.0 << 7.0;
        QTest::newRow("fixed, not numbers") << Fill([nan, inf](ChartData& d) {
            d.yAxis.autoScale = d.xAxis.autoScale = false;
            d.yAxis.minimum = d.xAxis.minimum = nan;
            d.yAxis.maximum = d.xAxis.maximum = inf;
        }) << nan << nan;
    }
    void axesGetAHandfulOfTicksWhateverTheData() {
        QFETCH(std::function<void(ChartData&)>, fill);
        QFETCH(double, low);
        QFETCH(double, high);
        ChartControl chart;
        chart.resize(600, 400);
        InitXYChart(chart, 2); // drawn empty first, as the plot window's charts are
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        const int emptyItems = int(chart.scene()->items().size());

        ChartData data;
        InitXYChart(data, 2);
        fill(data);
        chart.setData(data);
        QApplication::processEvents();
        for (Qt::Orientation o : {Qt::Horizontal, Qt::Vertical}) {
            const AxisScale scale = ScaleAxis(data, o == Qt::Horizontal);
            QVERIFY(std::isfinite(scale.minimum) && std::isfinite(scale.maximum));
            QVERIFY(scale.minimum < scale.maximum);
            QVERIFY(scale.tickInterval > 0);
            QVERIFY((scale.maximum - scale.minimum) / scale.tickInterval <= MaxAxisTicks);
            if (!std::isnan(low)) {
                QVERIFY(scale.minimum <= low && scale.maximum >= high);
                QVERIFY((scale.maximum - scale.minimum) / scale.tickInterval >= 3);
            }
            auto* axis = qobject_cast<QValueAxis*>(chart.chart()->axes(o).value(0));
            QVERIFY(axis != nullptr);
            QCOMPARE(axis->min(), scale.minimum);
            QCOMPARE(axis->max(), scale.maximum);
            QCOMPARE(axis->tickInterval(), scale.tickInterval);
            // Neighbouring ticks never read alike, wherever numbers are not shown as exponents.
            const double largest = std::max(std::abs(scale.minimum), std::abs(scale.maximum));
            if (largest >= 1e-3 && largest < 1e6 && scale.tickInterval > 1e-9 * largest) {
                const QByteArray format = axis->labelFormat().toLatin1();
                QString previous;
                for (double t = std::ceil(scale.minimum / scale.tickInterval) * scale.tickInterval;
                     t <= scale.maximum; t += scale.tickInterval) {
                    const QString label = QString::asprintf(format.constData(), t);
                    QVERIFY2(label != previous, qPrintable(label + QStringLiteral(" twice, ") + format));
                    previous = label;
                }
            }
        }
        // Two axes of at most MaxAxisTicks ticks, each a tick, a grid line and a label, and the series.
        const int items = int(chart.scene()->items().size());
        QVERIFY2(items <= emptyItems + 2 * 3 * MaxAxisTicks + 20,
                 qPrintable(QStringLiteral("%1 items, %2 when empty").arg(items).arg(emptyItems)));
    }

    // The enlarged window shows a copy under the given caption; a click on a point reports it, Copy
    // puts picture and data on the clipboard, Exit only hides, and the placement comes back.
    void bigPlotShowsReportsCopiesAndRemembersItsPlace() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
        ScriptedOperator op;
        ChartControl source;
        source.setData(twoCurves());

        frmBigPlot big(op, store);
        big.move(70, 80);
        big.resize(640, 480);
        bool checked = false;
        whenModal<frmBigPlot>([&](frmBigPlot* w) {
            QCOMPARE(w->windowTitle(), QStringLiteral("LOAD"));
            QVERIFY(w->MSChart1->data() == source.data());
            // Click the third point of the first curve.
            ChartControl* chart = w->MSChart1;
            QTest::qWait(50);
            const QPointF scene = chart->chart()->mapToPosition({2.5, 1.23456});
            const QPoint at = chart->mapFromScene(scene);
            QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, at);
            // The values show under the plot, with the axes' titles; no box stands in the way.
            QCOMPARE(w->lblPoint->text(), QStringLiteral("rate fit stretch: time 2.5 s, load 1.235 N "
                                                         "(Series 1, index 3, coordinates (2.5,1.235))"));
            w->findChild<QPushButton*>(QStringLiteral("cmdCopy"))->click();
            w->findChild<QPushButton*>(QStringLiteral("cmdExit"))->click();
            checked = true;
        });
        big.Show(source, QStringLiteral("LOAD"));
        QVERIFY(checked);
        QVERIFY(!big.isVisible());
        QCOMPARE(op.prompts.size(), 0);
        const QMimeData* clip = QApplication::clipboard()->mimeData();
        QVERIFY(clip != nullptr);
        QCOMPARE(clip->text(), source.data().dataText());
        QVERIFY(clip->hasImage());

        const QRect placed = big.geometry();
        frmBigPlot again(op, store);
        QCOMPARE(again.geometry().size(), placed.size());
        QCOMPARE(again.pos(), big.pos());
    }

    // A point's text with long axis titles on a window at its smallest stays in its own room: the
    // window keeps its width and the Exit button stays inside it.
    void bigPlotPointTextLeavesTheButtonsInside() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
        ScriptedOperator op;
        ChartControl source;
        ChartData data = twoCurves();
        data.xAxis.title = QStringLiteral("time since the start of the pull at the set stress rate (s)");
        data.yAxis.title = QStringLiteral("stress of the glass without the coating's share (MPa)");
        source.setData(data);
        frmBigPlot big(op, store);
        big.resize(420, 320);
        bool inside = false;
        QString why;
        whenModal<frmBigPlot>([&](frmBigPlot* w) {
            const int width = w->width();
            emit w->MSChart1->pointSelected(0, 2);
            QApplication::processEvents();
            auto* exit = w->findChild<QPushButton*>(QStringLiteral("cmdExit"));
            const QRect button(exit->mapTo(w, QPoint(0, 0)), exit->size());
            inside = w->width() == width && w->rect().contains(button) && !w->lblPoint->text().isEmpty();
            why = QStringLiteral("window %1 -> %2, exit at %3+%4")
                      .arg(width)
                      .arg(w->width())
                      .arg(button.x())
                      .arg(button.width());
            w->hide();
        });
        big.Show(source, QStringLiteral("STRESS"));
        QVERIFY2(inside, qPrintable(why));
    }

    // What a row is, in one line for its plots and their picture: dates in ISO form, the notes'
    // underscores as blanks, a static hold's time instead of a break stress; and the plot window
    // shows it inside the picture it saves and in its caption.
    void plotsCarryTheRowTitle() {
        auto fields = [](const char* rate, const char* stress, const char* time, const char* comment,
                         const char* notes) {
            QStringList f(17);
            f[0] = QStringLiteral("12");
            f[3] = QString::fromUtf8(stress);
            f[5] = QString::fromUtf8(rate);
            f[12] = QString::fromUtf8(time);
            f[13] = QStringLiteral("26/12/08");
            f[14] = QStringLiteral("14:03:05");
            f[15] = QString::fromUtf8(comment);
            f[16] = QStringLiteral("125 500 0 72 3 0.5N/100 26/12/08 14:02:11 31.2mm/1.00") +
                    QString::fromUtf8(notes);
            return f;
        };
        const QList<QPair<QStringList, QString>> cases{
            {fields("60 MPa/s", "4725.1", "78.5", "", " operator:Jane_Doe sample:B-17"),
             QStringLiteral("Specimen 12 \u00b7 sample B-17 \u00b7 operator Jane Doe \u00b7 60 MPa/s \u00b7 "
                            "break stress 4725.1 MPa \u00b7 2026-12-08 14:03:05")},
            {fields("5000 \u00b5m/s", "4801.3", "9.2", "", ""),
             QStringLiteral("Specimen 12 \u00b7 5000 \u00b5m/s \u00b7 break stress 4801.3 MPa \u00b7 "
                            "2026-12-08 14:03:05")},
            {fields("1500 MPa", "1500.0", "24.73", "", " operator:Al"),
             QStringLiteral("Specimen 12 \u00b7 operator Al \u00b7 1500 MPa \u00b7 time to failure 24.73 s "
                            "\u00b7 2026-12-08 14:03:05")},
            {fields("1500 MPa", "1500.0", "600.00", "runout after 10 min", ""),
             QStringLiteral(
                 "Specimen 12 \u00b7 1500 MPa \u00b7 run-out after 600.00 s \u00b7 2026-12-08 14:03:05")},
        };
        for (const auto& [row, title] : cases)
            QCOMPARE(RowTitle::Text(row), title);
        QCOMPARE(RowTitle::Text(QStringList(17)), QString());

        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
        ScriptedOperator op;
        Parameters params;
        params.SaveLoadTimeData = false;
        params.SaveLoadTimePlots = false;
        frmLoadTimePlots plots(params, op, store);
        LoadTimePlotData data;
        for (ChartData& c : data.charts)
            c = twoCurves();
        data.title = cases[0].second;
        bool titled = false;
        whenModal<frmLoadTimePlots>([&](frmLoadTimePlots* w) {
            const QRect label = w->lblTitle->geometry();
            titled = w->windowTitle() == QStringLiteral("LOAD TIME PROFILES \u2014 ") + data.title &&
                     w->lblTitle->text() == data.title && label.bottom() < w->lblCaption[0]->y() &&
                     w->lblCaption[0]->geometry().bottom() <= w->MSChart[0]->y() &&
                     label.bottom() < w->Label6->y() && w->ChartsPicture().height() == w->Label6->y();
            w->cmdClose->click();
        });
        plots.Show(data);
        QVERIFY(titled);
        // A row read back without a title shows the plain caption.
        data.title.clear();
        whenModal<frmLoadTimePlots>([&](frmLoadTimePlots* w) {
            titled = w->windowTitle() == QStringLiteral("LOAD TIME PROFILES");
            w->cmdClose->click();
        });
        plots.ShowPast(data);
        QVERIFY(titled);

        // A realistic long name at the window's least width: two lines or smaller type, never cut,
        // on the screen and in the saved picture.
        data.title =
            QStringLiteral("Specimen 118 \u00b7 sample B7 preform 12  spool 3, draw tower 2 \u00b7 "
                           "operator Anna-Lena Vasquez-Whitfield \u00b7 600 MPa/s \u00b7 break stress "
                           "5610.4 MPa \u00b7 2026-12-08 06:51:07");
        plots.resize(twipsToPixels(frmLoadTimePlots::MinWidthTwips),
                     twipsToPixels(frmLoadTimePlots::MinHeightTwips));
        QString shown;
        bool fits = false;
        whenModal<frmLoadTimePlots>([&](frmLoadTimePlots* w) {
            QLabel* title = w->lblTitle;
            shown = title->text();
            const QStringList lines = shown.split(QLatin1Char('\n'));
            fits = lines.size() >= 2 &&
                   TitleFit::Widest(lines, title->font()) <= title->contentsRect().width() &&
                   title->geometry().bottom() < w->lblCaption[0]->y() &&
                   title->height() >= lines.size() * QFontMetrics(title->font()).lineSpacing() &&
                   w->ChartsPicture().height() == w->Label6->y() &&
                   title->geometry().bottom() < w->Label6->y();
            w->cmdClose->click();
        });
        plots.Show(data);
        QVERIFY2(fits, qPrintable(shown));
        QCOMPARE(QString(shown).replace(QLatin1Char('\n'), TitleFit::Separator), data.title);
    }

    // Titles against widths: whole, each line within the width, the type no smaller than allowed.
    void titlesFitWhole() {
        QFont font;
        font.setBold(true);
        font.setPointSizeF(10.5);
        const QStringList titles{
            QStringLiteral(
                "Specimen 3 \u00b7 60 MPa/s \u00b7 break stress 4725.1 MPa \u00b7 2026-12-08 14:03:05"),
            QStringLiteral("Specimen 12 \u00b7 sample B7 preform 12  spool 3 \u00b7 operator Jane Doe \u00b7 "
                           "600 MPa/s \u00b7 break stress 5610.4 MPa \u00b7 2026-12-08 06:51:07"),
            QStringLiteral("Specimen 7 \u00b7 sample lot 4, reel 2 of the 2026 qualification batch for the "
                           "undersea cable, tower 3 \u00b7 1500 MPa \u00b7 run-out after 3600.00 s \u00b7 "
                           "2026-12-08 22:14:40")};
        for (const QString& title : titles)
            for (const int width : {936, 700, 420}) {
                const FittedTitle fit = TitleFit::Fit(title, font, width);
                const QString whole = fit.text();
                QVERIFY2(TitleFit::Widest(fit.lines, fit.font) <= width ||
                             std::any_of(fit.lines.begin(), fit.lines.end(),
                                         [](const QString& l) { return !l.contains(QLatin1Char(' ')); }),
                         qPrintable(whole));
                QVERIFY(fit.font.pointSizeF() >= font.pointSizeF() * TitleFit::MinShrink - 1e-9);
                // Every character there: the breaks only take the separators or blanks they stand at.
                QString joined = fit.lines.join(QLatin1Char(' '));
                QString plain = title;
                QCOMPARE(joined.remove(QLatin1Char(' ')).remove(QChar(0xb7)),
                         plain.remove(QLatin1Char(' ')).remove(QChar(0xb7)));
                QVERIFY(whole.contains(QStringLiteral("Specimen ")) &&
                        whole.contains(QStringLiteral("2026-12-08")));
            }
    }
};

STAVELY_TEST(ChartTest)
#include "ChartTest.moc"
