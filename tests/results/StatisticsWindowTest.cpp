#include "params/SettingsStore.h"
#include "results/BatchReport.h"
#include "results/ChartControl.h"
#include "results/DatasheetModel.h"
#include "results/StatisticsRows.h"
#include "results/frmBigPlot.h"
#include "results/frmStatistics.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
QStringList resultRow(double stress, const QString& rate, const QString& comment = {}) {
    QStringList f(17);
    f[3] = QString::number(stress);
    f[4] = QStringLiteral("6");
    f[5] = rate;
    f[15] = comment;
    return f;
}
} // namespace

// The window on a small batch, from its figures to the copy, the report and the enlarged plot.
class StatisticsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void showsFiguresPerGroupCopiesAndSavesTheReport() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
        ScriptedOperator op;
        frmStatistics window(op, store);
        const QList<QStringList> rows{resultRow(5100, "60 MPa/s"),          resultRow(5300, "60 MPa/s"),
                                      resultRow(5200, "60 MPa/s"),          resultRow(4700, "6 MPa/s"),
                                      resultRow(4900, "6 MPa/s", "ignore"), resultRow(4750, "6 MPa/s"),
                                      resultRow(5000, "600 \u00b5m/s")};
        window.setRows(rows, dir.filePath(QStringLiteral("run7.dat")));
        window.show();

        QTableWidget* grid = window.grdStatistics;
        QCOMPARE(grid->columnCount(), 4);
        QCOMPARE(grid->horizontalHeaderItem(0)->text(), QStringLiteral("All (pooled)"));
        QCOMPARE(grid->horizontalHeaderItem(1)->text(), QStringLiteral("6 MPa/s"));
        QCOMPARE(grid->horizontalHeaderItem(3)->text(), QStringLiteral("600 \u00b5m/s"));
        QCOMPARE(grid->verticalHeaderItem(0)->text(), QStringLiteral("Specimens"));
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("6"));
        QCOMPARE(grid->item(2, 1)->text(), QStringLiteral("1")); // one marked ignore
        QCOMPARE(grid->item(4, 2)->text(), QStringLiteral("5200.0"));
        int mRow = -1;
        for (int r = 0; r < grid->rowCount(); ++r)
            if (grid->verticalHeaderItem(r)->text() == QStringLiteral("Weibull m (max. likelihood)"))
                mRow = r;
        QVERIFY(mRow >= 0);
        QCOMPARE(grid->item(mRow, 3)->text(), QStringLiteral("not enough data"));
        QVERIFY(grid->item(mRow, 2)->text().toDouble() > 10);
        QVERIFY(window.lblFatigue->text().startsWith(QStringLiteral("Dynamic fatigue n = ")));

        // Each group's Weibull plot: its points and two lines. The
        // largest group (60 MPa/s) shows first, not all rates pooled.
        QCOMPARE(window.cboGroup->currentIndex(), 2);
        QCOMPARE(window.chtWeibull->data().curvePoints(0).size(), 3);
        window.cboGroup->setCurrentIndex(0);
        QCOMPARE(window.chtWeibull->data().curvePoints(0).size(), 6);
        window.cboGroup->setCurrentIndex(2);
        QCOMPARE(window.chtWeibull->data().curvePoints(0).size(), 3);
        QCOMPARE(window.chtWeibull->data().curvePoints(1).size(), 2);
        // One break is no distribution: no plot.
        window.cboGroup->setCurrentIndex(3);
        QVERIFY(window.chtWeibull->data().curvePoints(0).isEmpty());
        QVERIFY(!window.chtWeibull->isEnabled());
        QCOMPARE(window.chtFatigue->data().curvePoints(0).size(), 2);

        op.answer(MsgResult::Ok);
        window.cmdCopy->click();
        QCOMPARE(op.last().title, QStringLiteral("DATA IN CLIPBOARD"));
        QCOMPARE(QApplication::clipboard()->text(), window.report().statistics().SummaryText());

        // The report: the dialog starts beside the data file; cancelling writes nothing.
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        op.cancel();
        window.cmdReport->click();
        QCOMPARE(op.last().kind, QStringLiteral("saveFile"));
        QCOMPARE(op.last().file.initialName, QStringLiteral("run7_report.pdf"));
        QCOMPARE(op.last().file.initialFolder, dir.path());
        QVERIFY(op.last().file.confirmOverwrite);
        QVERIFY(!QFileInfo::exists(pdf));
        op.answer(pdf);
        op.answer(MsgResult::Ok);
        window.cmdReport->click();
        QVERIFY(QFileInfo(pdf).size() > 1000);
        // It says where the report went.
        QCOMPARE(op.last().title, QStringLiteral("REPORT SAVED"));
        QCOMPARE(op.last().text,
                 QStringLiteral("The report has been saved as\r") + QDir::toNativeSeparators(pdf));
        op.answer(dir.filePath(QStringLiteral("missing/report.pdf")));
        op.answer(MsgResult::Ok);
        window.cmdReport->click();
        QVERIFY(op.last().text.startsWith(QStringLiteral("The report could not be written to\r")));

        // A double click enlarges the Weibull plot with its caption.
        bool enlarged = false;
        window.cboGroup->setCurrentIndex(2);
        whenModal<frmBigPlot>([&](frmBigPlot* big) {
            enlarged = big->windowTitle() == QStringLiteral("WEIBULL PLOT: 60 MPa/s") &&
                       big->MSChart1->data() == window.chtWeibull->data();
            big->hide();
        });
        QTest::mouseDClick(window.chtWeibull->viewport(), Qt::LeftButton);
        QVERIFY(enlarged);
        QVERIFY(op.unexpected.isEmpty());

        // Alt+C closes the window; the copy has a letter of its own.
        const qsizetype prompts = op.prompts.size();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(window.windowHandle(), Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(op.prompts.size(), prompts);
        QVERIFY(!window.cmdCopy->text().contains(QStringLiteral("&C"), Qt::CaseInsensitive));
    }

    // The batch's curves: every row whose record reads, up to its break, one colour per rate group,
    // ignored rows dashed; a missing record, a damaged one and a FIFO (which would block a read for ever) are
    // counted as without a record. The report carries them on a page of their own.
    void batchCurvesOverlayTheRowsWithRecords() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
        ScriptedOperator op;
        struct Row {
            double stress;
            const char* rate;
            const char* comment;
            const char* record; // "pull", "none", "bad", "fifo"
        };
        const QList<Row> table{
            {5100, "60 MPa/s", "", "pull"},      {5300, "60 MPa/s", "ignore: slipped", "pull"},
            {4700, "6 MPa/s", "", "pull"},       {4750, "6 MPa/s", "", "pull"},
            {5200, "60 MPa/s", "", "none"},      {4800, "6 MPa/s", "", "bad"},
            {5000, "5000 \u00b5m/s", "", "fifo"}};
        QList<QStringList> rows;
        for (qsizetype i = 0; i < table.size(); ++i) {
            QStringList f = resultRow(table[i].stress, QString::fromUtf8(table[i].rate),
                                      QString::fromUtf8(table[i].comment));
            f[0] = QString::number(i + 1);
            rows << f;
            const QString path = dir.filePath(f[0] + QStringLiteral(".dat"));
            const QByteArray kind = table[i].record;
            if (kind == "fifo") {
#ifdef Q_OS_UNIX
                QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
#endif
                continue;
            }
            if (kind == "none")
                continue;
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QByteArray text =
                "position (\xb5m)\ttime (s)\tload (N)\tstress (MPa)\tstrain (%)\tspeed (\xb5m/s)\r\n";
            const double rate = QString::fromUtf8(table[i].rate).section(QLatin1Char(' '), 0, 0).toDouble();
            for (int k = 0; k <= 50; ++k) {
                const double t = table[i].stress / rate * k / 50;
                text += QStringLiteral("%1\t%2\t%3\t%4\t%5\t100\r\n")
                            .arg(k * 10)
                            .arg(t)
                            .arg(t * rate / 200)
                            .arg(t * rate)
                            .arg(t * rate / 720)
                            .toLatin1();
                if (k == 30)
                    text += "\r\n";
                if (k == 10 && kind == "bad")
                    text += "12\tnot a number\t1\t2\t3\t4\r\n";
            }
            // The break closes the fit's stretch; the sample after it is the fall to nothing.
            text += "\r\n" + QByteArray::number(510) + "\t" +
                    QByteArray::number(table[i].stress / rate + 0.1) + "\t0.01\t0.8\t0.001\t0\r\n\r\n";

            file.write(text);
        }
        frmStatistics window(op, store);
        window.setRecordLocator(
            [&dir](const QStringList& f) { return dir.filePath(f.value(0) + QStringLiteral(".dat")); });
        window.setRows(rows, dir.filePath(QStringLiteral("run7.dat")));
        window.show();

        const BatchCurves& curves = window.curves();
        QCOMPARE(curves.curves().size(), 4);
        QCOMPARE(curves.missing(), 3);
        // Colours in the statistics' order of the groups, not the rows'.
        QCOMPARE(curves.groups(), (QStringList{QStringLiteral("6 MPa/s"), QStringLiteral("60 MPa/s")}));
        const ChartData& chart = window.chtOverlay->data();
        QCOMPARE(chart.curveCount(), 4);
        QCOMPARE(chart.curvePoints(0).size(), 51);
        auto near = [](const QPointF& a, const QPointF& b) { return (a - b).manhattanLength() < 0.01; };
        QVERIFY(near(chart.curvePoints(2).back().value, QPointF(4700.0 / 6, 4700)));
        QCOMPARE(chart.xAxis.title, QStringLiteral("time (s)"));
        QCOMPARE(chart.styles[0].color, chart.styles[1].color); // one group
        QCOMPARE(chart.styles[2].color, chart.styles[3].color);
        QVERIFY(chart.styles[0].color != chart.styles[2].color);
        QCOMPARE(chart.styles[1].dashed, true); // marked "ignore"
        QCOMPARE(chart.styles[0].dashed || chart.styles[2].dashed || chart.styles[3].dashed, false);
        window.cboOverlayAxis->setCurrentIndex(1);
        QCOMPARE(window.chtOverlay->data().xAxis.title, QStringLiteral("strain (%)"));
        QVERIFY(near(window.chtOverlay->data().curvePoints(0).back().value, QPointF(5100.0 / 720, 5100)));
        const QString legend = window.lblOverlayLegend->text();
        QVERIFY2(legend.contains(QStringLiteral("60 MPa/s")) && legend.contains(QStringLiteral("6 MPa/s")) &&
                     legend.contains(QStringLiteral("4 curves; 3 rows without a load/time record")),
                 qPrintable(legend));
        // One group at a time, in the colour its rate has in every window and report.
        QCOMPARE(window.cboOverlayGroup->count(), 3);
        window.cboOverlayGroup->setCurrentIndex(window.cboOverlayGroup->findText(QStringLiteral("60 MPa/s")));
        QCOMPARE(window.chtOverlay->data().curveCount(), 2);
        for (const CurveStyle& style : window.chtOverlay->data().styles)
            QCOMPARE(style.color,
                     BatchCurves::PaletteColor(BatchCurves::PreferredColor(QStringLiteral("60 MPa/s"))));
        QCOMPARE(window.chtOverlay->data().styles[0].name, QStringLiteral("specimen 1 (60 MPa/s)"));
        window.cboOverlayGroup->setCurrentIndex(0);
        QCOMPARE(window.chtOverlay->data().curveCount(), 4);
        // The rates a lab pulls at get colours of their own, whichever of them a batch holds.
        QStringList rates{QStringLiteral("0.6 MPa/s"),     QStringLiteral("6 MPa/s"),
                          QStringLiteral("60 MPa/s"),      QStringLiteral("600 MPa/s"),
                          QStringLiteral("5 %/min"),       QStringLiteral("50 %/min"),
                          QStringLiteral("100 \u00b5m/s"), QStringLiteral("5000 \u00b5m/s")};
        QSet<int> colours;
        for (const QString& rate : rates)
            colours.insert(BatchCurves::PreferredColor(rate));
        QCOMPARE(colours.size(), rates.size());

        // The report's page of curves comes after the table.
        const int withCurves = window.report().PageCount();
        BatchReport plain(QString(), rows);
        QCOMPARE(withCurves, plain.PageCount() + 1);
        const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
        QString error;
        QVERIFY2(window.report().Write(pdf, &error), qPrintable(error));
        QVERIFY(QFileInfo(pdf).size() > 1000);
        QVERIFY(op.unexpected.isEmpty());
        // Against strain, a panel per rate group: one rate no longer hides the other.
        if (const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
            !tool.isEmpty()) {
            QProcess text;
            text.start(tool, {pdf, QStringLiteral("-")});
            QVERIFY(text.waitForFinished(60000));
            const QString pages = QString::fromUtf8(text.readAllStandardOutput());
            for (const QString& group : curves.groups())
                QVERIFY2(pages.contains(QStringLiteral("stress (MPa) against strain (%): ") + group),
                         qPrintable(pages));
        }
    }

    // More than one selected row: those rows; one row or none: the whole datasheet.
    void statisticsTakeTheSelectedRowsOrAll() {
        DatasheetModel model;
        std::vector<DataRow> rows;
        for (int i = 1; i <= 5; ++i)
            rows.emplace_back(i, resultRow(5000 + i, "60 MPa/s"));
        model.setRows(rows);
        auto select = [&model](int top, int bottom) {
            return QItemSelection(model.index(top, 0), model.index(bottom, 16));
        };
        QCOMPARE(StatisticsRows(model, {}).size(), 5);
        QCOMPARE(StatisticsRows(model, select(2, 2)).size(), 5);
        const QList<QStringList> two = StatisticsRows(model, select(1, 2));
        QCOMPARE(two.size(), 2);
        QCOMPARE(two[0][3], QStringLiteral("5002"));
        QItemSelection split = select(0, 0);
        split.merge(select(4, 4), QItemSelectionModel::Select);
        const QList<QStringList> ends = StatisticsRows(model, split);
        QCOMPARE(ends.size(), 2);
        QCOMPARE(ends[1][3], QStringLiteral("5005"));
    }
};

STAVELY_TEST(StatisticsWindowTest)
#include "StatisticsWindowTest.moc"
