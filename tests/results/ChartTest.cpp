#include "results/Chart.h"
#include "params/SettingsStore.h"
#include "results/ChartControl.h"
#include "results/ChartData.h"
#include "results/frmBigPlot.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QApplication>
#include <QChart>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QXYSeries>
#include <cmath>

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
            QCOMPARE(w->lblPoint->text(), QStringLiteral("Series 1, index 3, coordinates (2.5,1.235): ") +
                                              source.data().xAxis.title + QStringLiteral(" = 2.5, ") +
                                              source.data().yAxis.title + QStringLiteral(" = 1.235"));
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
};

STAVELY_TEST(ChartTest)
#include "ChartTest.moc"
