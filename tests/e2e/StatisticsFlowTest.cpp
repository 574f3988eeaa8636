#include "app/MainActions.h"
#include "app/Program.h"
#include "app/frmMain.h"
#include "instrument/PortMap.h"
#include "params/SettingsStore.h"
#include "results/DataFile.h"
#include "results/DataLine.h"
#include "results/DatasheetPanel.h"
#include "results/frmStatistics.h"
#include "results/grdResults.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QAction>
#include <QFile>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

// The whole program on its built-in instrument with a data file of six results in two rate groups:
// the menu entry opens the statistics of the datasheet, or of the rows selected in it.
class StatisticsFlowTest : public QObject {
    Q_OBJECT
private slots:
    void menuEntryShowsTheDatasheetOrItsSelectedRows() {
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("Corvane-simulator.ini"));
        const QString data = dir.filePath(QStringLiteral("batch.dat"));
        {
            QFile file(data);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(DataFile::Encoded(DataLine::HeaderLine()));
            const double stresses[] = {5010, 5120, 4950, 4420, 4510, 4480};
            for (int n = 1; n <= 6; ++n) {
                QStringList f(17);
                f[0] = QString::number(n);
                f[3] = QString::number(stresses[n - 1]);
                f[4] = QStringLiteral("6.1");
                f[5] = n <= 3 ? QStringLiteral("60 MPa/s") : QStringLiteral("0.6 MPa/s");
                f[16] = QStringLiteral("125 500 0 72 3 0N/0 26/12/07 10:00:00 30.0mm/1.00");
                file.write(DataFile::Encoded(DataLine::FileLine(f)));
            }
        }
        SettingsStore store(settings);
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("ForceDebug"), QStringLiteral("True"));
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("DataFileName"), data);
        store.sync();
        auto scripted = std::make_unique<ScriptedOperator>();
        ScriptedOperator* op = scripted.get();
        ProgramOptions options;
        options.settingsFile = settings;
        options.simulate = true;
        options.instanceName =
            QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        auto program = std::make_unique<Program>(options, std::move(scripted));
        program->setEndHook([](const ProgramEnded& how) { throw how; });
        program->actions().hooks().Calibrate = [] {};
        op->answer(MsgResult::Ok); // the simulated load cell is not calibrated
        QCOMPARE(program->start(), Program::Started::Running);
        grdResults* grid = program->datasheetPanel()->grid();
        QTRY_VERIFY(grid->isVisible());

        QAction* entry = program->mainWindow()->findChild<QAction*>(QStringLiteral("mnuOptionsStatistics"));
        QVERIFY(entry);
        QCOMPARE(entry->text(), QStringLiteral("Statistics"));
        int specimens = -1, groups = -1;
        auto look = [&](frmStatistics* window) {
            specimens = window->grdStatistics->item(0, 0)->text().toInt();
            groups = window->grdStatistics->columnCount() - 1;
            window->cmdClose->click();
        };
        whenModal<frmStatistics>(look);
        entry->trigger();
        QCOMPARE(specimens, 6);
        QCOMPARE(groups, 2);

        // Two rows selected: the statistics of those two.
        grid->selectionModel()->select(
            QItemSelection(grid->model()->index(1, 0), grid->model()->index(2, 16)),
            QItemSelectionModel::ClearAndSelect);
        whenModal<frmStatistics>(look);
        entry->trigger();
        QCOMPARE(specimens, 2);
        QCOMPARE(groups, 1);
        QVERIFY(op->unexpected.isEmpty());
        program.reset();
        qunsetenv(qPrintable(PortMap::environmentName(1)));
    }
};

STAVELY_TEST(StatisticsFlowTest)
#include "StatisticsFlowTest.moc"
