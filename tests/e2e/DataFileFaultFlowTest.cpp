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
struct FullDiscLab {
    QTemporaryDir dir;
    SimServer sim{SimTest::quietConfig(0.5)};
    ScriptedOperator* op = nullptr;
    std::unique_ptr<Program> program;

    ~FullDiscLab() {
        program.reset();
        qunsetenv(qPrintable(PortMap::environmentName(1)));
    }
    QString data() const { return dir.filePath(QStringLiteral("fibers.dat")); }
    QByteArray read(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool start() {
        const QString link = dir.filePath(QStringLiteral("COM1"));
        if (!dir.isValid() || !sim.startInThread(link))
            return false;
        qputenv(qPrintable(PortMap::environmentName(1)), link.toLocal8Bit());
        sim.update([](SimInstrument& instrument) { instrument.receive("s000007D0\r", instrument.now()); });
        const QString file = dir.filePath(QStringLiteral("Corvane.ini"));
        SettingsStore store(file);
        auto set = [&](const char* key, const QString& value) {
            store.saveText(QStringLiteral("STAVELY"), QLatin1String(key), value);
        };
        set("COMnum", QStringLiteral("1"));
        set("CalibrationData0", QStringLiteral("\"SIM-2041\",0,51,0.1,100,0.5,------,------,------,"));
        set("DataFileName", data());
        set("ExptType", QStringLiteral("1"));
        set("ExptStressRate", QStringLiteral("150"));
        set("PreloadType", QStringLiteral("1"));
        set("PreloadLoad", QStringLiteral("1"));
        set("MinBreakLoad", QStringLiteral("2"));
        set("SaveLoadTimeData", QStringLiteral("False"));
        set("SaveLoadTimePlots", QStringLiteral("False"));
        store.sync();
        auto scripted = std::make_unique<ScriptedOperator>();
        op = scripted.get();
        ProgramOptions options;
        options.settingsFile = file;
        options.instanceName =
            QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        program = std::make_unique<Program>(options, std::move(scripted));
        program->setEndHook([](const ProgramEnded& how) { throw how; });
        op->answer(MsgResult::Yes); // the position the instrument kept
        return program->start() == Program::Started::Running;
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
