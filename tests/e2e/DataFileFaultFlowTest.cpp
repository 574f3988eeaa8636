#include "app/Program.h"
#include "app/frmMain.h"
#include "instrument/PortMap.h"
#include "params/SettingsStore.h"
#include "results/DataFile.h"
#include "results/DataLine.h"
#include "results/Datasheet.h"
#include "results/frmExport.h"
#include "results/frmLoadTimePlots.h"
#include "sim/SimServer.h"
#include "tests/e2e/DefaultFiberRig.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>

namespace {

// The whole program on a simulated instrument with a fiber threaded (breaking near 6 N), its load
// cell calibrated to the simulator's channel 0, a stress-rate run of 150 MPa/s and a data file.
struct FullDiscLab : DefaultFiberRig {
    FullDiscLab() : DefaultFiberRig(SimTest::quietConfig(0.5)) {}
    QString data() const { return dir.filePath(QStringLiteral("fibers.dat")); }
    QByteArray read(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool start() {
        return DefaultFiberRig::start({{QStringLiteral("DataFileName"), data()},
                                       {QStringLiteral("ExptType"), QStringLiteral("1")},
                                       {QStringLiteral("ExptStressRate"), QStringLiteral("150")},
                                       {QStringLiteral("PreloadType"), QStringLiteral("1")},
                                       {QStringLiteral("PreloadLoad"), QStringLiteral("1")},
                                       {QStringLiteral("MinBreakLoad"), QStringLiteral("2")},
                                       {QStringLiteral("SaveLoadTimeData"), QStringLiteral("False")},
                                       {QStringLiteral("SaveLoadTimePlots"), QStringLiteral("False")}});
    }
};

} // namespace

class DataFileFaultFlowTest : public QObject {
    Q_OBJECT
private slots:
    // The disc is full when a break is recorded: the operator is told, the export offered writes
    // the column names so that the rescued file opens as a data file, and at the end the row that
    // is missing from the data file is told again, with the export offered once more.
    void aRowTheDiscRefusesIsRescuedAndToldAgainAtTheEnd() {
#ifndef Q_OS_LINUX
        QSKIP("the full disc is /dev/full");
#else
        FullDiscLab lab;
        QVERIFY(lab.start());
        const QByteArray header = DataFile::Encoded(DataLine::HeaderLine());
        QCOMPARE(lab.read(lab.data()), header);
        QVERIFY(QFile::remove(lab.data()));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), lab.data()));

        const QStringList rescued{lab.dir.filePath(QStringLiteral("rescue1.dat")),
                                  lab.dir.filePath(QStringLiteral("rescue2.dat"))};
        int saves = 0;
        for (int i = 0; i < 12; ++i)
            lab.op->answerWith([&](const Prompt& p) -> QVariant {
                if (p.kind == QStringLiteral("saveFile"))
                    return rescued.value(saves++);
                if (p.title == QStringLiteral("REPORT RESULTS"))
                    return int(lab.sim.state().fiberBroken ? MsgResult::Yes : MsgResult::No);
                return int(MsgResult::Yes);
            });
        // The plots are closed and the export window is driven as an operator would.
        QList<bool> headersChecked;
        QTimer driver;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (frmLoadTimePlots* plots = lab.program->plotWindow(); plots && plots->isVisible())
                plots->cmdClose->click();
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* window = qobject_cast<frmExport*>(w); window && window->isVisible()) {
                    headersChecked
                        << (window->findChild<QCheckBox*>(QStringLiteral("chkIncHeaders"))->isChecked() &&
                            window->findChild<QRadioButton*>(QStringLiteral("optSource0"))->isChecked() &&
                            window->findChild<QRadioButton*>(QStringLiteral("optDestination0"))->isChecked());
                    window->findChild<QPushButton*>(QStringLiteral("cmdGo"))->click();
                }
        });
        driver.start(50);

        lab.program->mainWindow()->findChild<QPushButton*>(QStringLiteral("cmdBreak"))->click();
        Datasheet& sheet = lab.program->datasheet();
        QCOMPARE(sheet.resultRows(), 1);
        QCOMPARE(sheet.rowsNotInFile(), 1);
        QStringList titles;
        for (const Prompt& p : std::as_const(lab.op->prompts))
            titles << p.title;
        QVERIFY2(titles.contains(QStringLiteral("ERROR WRITING RESULTS TO FILE")),
                 qPrintable(titles.join('|')));
        QCOMPARE(headersChecked, QList<bool>{true});
        const QByteArray row = DataFile::Encoded(DataLine::FileLine(sheet.model().row(0)));
        QCOMPARE(lab.read(rescued[0]), header + row);
        DataFileContents reopened;
        QVERIFY(!DataFile::Read(rescued[0], reopened));
        QCOMPARE(DataLine::HeaderMismatches(reopened.header), 0);
        QCOMPARE(int(reopened.rows.size()), 1);
        QCOMPARE(reopened.badItems, 0);

        // Space again, but the row is still not in the data file: the end says so.
        QVERIFY(QFile::remove(lab.data()));
        QFile restored(lab.data());
        QVERIFY(restored.open(QIODevice::WriteOnly));
        restored.write(header);
        restored.close();
        const int before = int(lab.op->prompts.size());
        bool ended = false;
        try {
            lab.program->mainWindow()->close();
        } catch (const ProgramEnded&) {
            ended = true;
        }
        QVERIFY(ended);
        titles.clear();
        for (int i = before; i < lab.op->prompts.size(); ++i)
            titles << lab.op->prompts[i].title;
        QCOMPARE(titles,
                 (QStringList{"EXIT PROGRAM", "RESULTS NOT IN THE DATA FILE", "OPEN FILE FOR EXPORT"}));
        QVERIFY(lab.op->prompts[before + 1].text.startsWith(
            QStringLiteral("1 result of the datasheet is not in the data file\r") + lab.data()));
        QCOMPARE(headersChecked, (QList<bool>{true, true}));
        QCOMPARE(lab.read(rescued[1]), header + row);
        QCOMPARE(lab.read(lab.data()), header);
        QVERIFY(lab.op->unexpected.isEmpty());
#endif
    }
};

STAVELY_TEST(DataFileFaultFlowTest)
#include "DataFileFaultFlowTest.moc"
