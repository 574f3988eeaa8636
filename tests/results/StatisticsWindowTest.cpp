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
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

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
        QCOMPARE(grid->horizontalHeaderItem(0)->text(), QStringLiteral("All"));
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

        // Each group's Weibull plot: its points and two lines; a single point has no lines. The
        // largest group (60 MPa/s) shows first, not all rates pooled.
        QCOMPARE(window.cboGroup->currentIndex(), 2);
        QCOMPARE(window.chtWeibull->data().curvePoints(0).size(), 3);
        window.cboGroup->setCurrentIndex(0);
        QCOMPARE(window.chtWeibull->data().curvePoints(0).size(), 6);
        window.cboGroup->setCurrentIndex(2);
        QCOMPARE(window.chtWeibull->data().curvePoints(0).size(), 3);
        QCOMPARE(window.chtWeibull->data().curvePoints(1).size(), 2);
        window.cboGroup->setCurrentIndex(3);
        QCOMPARE(window.chtWeibull->data().curvePoints(0).size(), 1);
        QVERIFY(window.chtWeibull->data().curvePoints(1).isEmpty());
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
        whenModal<frmBigPlot>([&](frmBigPlot* big) {
            enlarged = big->windowTitle() == QStringLiteral("WEIBULL PLOT: 600 \u00b5m/s") &&
                       big->MSChart1->data() == window.chtWeibull->data();
            big->hide();
        });
        QTest::mouseDClick(window.chtWeibull->viewport(), Qt::LeftButton);
        QVERIFY(enlarged);
        QVERIFY(op.unexpected.isEmpty());
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
