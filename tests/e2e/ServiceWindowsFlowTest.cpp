#include "app/Program.h"
#include "app/frmMain.h"
#include "instrument/PortMap.h"
#include "instrument/frmHardware.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "params/frmOptions.h"
#include "params/frmPreloadSpeed.h"
#include "sim/SimServer.h"
#include "tests/app/ModalDriver.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

// The options, preload speed and hardware windows opened from the main window of the whole
// program on the simulated System Controller.
class ServiceWindowsFlowTest : public QObject {
    Q_OBJECT
private slots:
    void mainWindowOpensTheServiceWindowsAndFollowsThem() {
        QTemporaryDir dir;
        SimConfig config = SimTest::quietConfig();
        config.fiberPresent = false;
        SimServer sim(config);
        const QString link = dir.filePath(QStringLiteral("COM1"));
        QVERIFY(sim.startInThread(link));
        qputenv(qPrintable(PortMap::environmentName(1)), link.toLocal8Bit());
        sim.update([](SimInstrument& i) { i.receive("s000001F4\r", i.now()); }); // kept position 500
        const QString file = dir.filePath(QStringLiteral("Corvane.ini"));
        {
            SettingsStore store(file);
            store.saveText(QStringLiteral("STAVELY"), QStringLiteral("COMnum"), QStringLiteral("1"));
            store.saveText(QStringLiteral("STAVELY"), QStringLiteral("DataFileName"),
                           dir.filePath(QStringLiteral("results.dat")));
            store.saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData0"),
                           QStringLiteral("\"SIM-2041\",0,51,0.1,100,0.5,------,------,------,"));
        }
        auto scripted = std::make_unique<ScriptedOperator>();
        ScriptedOperator& op = *scripted;
        ProgramOptions options;
        options.settingsFile = file;
        options.instanceName =
            QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        Program program(options, std::move(scripted));
        program.setEndHook([](const ProgramEnded& how) { throw how; });
        op.answer(MsgResult::Yes); // take the kept position
        QVERIFY(program.start() == Program::Started::Running);
        frmMain& main = *program.mainWindow();
        auto find = [&main](const char* name) { return main.findChild<QPushButton*>(QLatin1String(name)); };

        // Preload speed: the nominal strain rate, shown in the main window afterwards.
        whenModal<frmPreloadSpeed>([](frmPreloadSpeed* w) {
            w->optMode[1]->click();
            w->cmdOK->click();
        });
        find("cmdPreloadSpeed")->click();
        QCOMPARE(program.parameters().PreloadSpeedMode, 1);
        QCOMPARE(main.findChild<QLabel*>(QStringLiteral("lblPreloadSpeed"))->text(),
                 QStringLiteral("Speed 0.3 %/min"));

        // Options: Noisy off, and the menu's check mark follows.
        QAction* noisy = main.findChild<QAction*>(QStringLiteral("mnuOptionsNoisy"));
        QVERIFY(noisy->isChecked());
        whenModal<frmOptions>([](frmOptions* w) {
            w->chkNoisy->click();
            w->cmdDone->click();
        });
        find("cmdOptions")->click();
        QVERIFY(!program.parameters().Noisy);
        QVERIFY(!noisy->isChecked());

        // Hardware: one step in "Step open", then the position and the motor settings go back.
        whenModal<frmHardware>([](frmHardware* w) {
            w->tmrIO.setInterval(3600000); // ticked by hand
            w->optOutputs[HardwareIO::StepOpen]->click();
            for (int i = 0; i < 4; ++i)
                w->tick();
            w->cmdOK->click();
        });
        sim.clearCommandLog();
        find("cmdHardware")->click();
        // The motor settings need no reply: wait until the instrument has them.
        QTRY_VERIFY(sim.commandLog().contains("S1010"));
        QList<QByteArray> commands = sim.commandLog();
        commands.removeAll("L");
        const qsizetype at = commands.indexOf("s000001F5");
        QVERIFY2(at >= 3, qPrintable(QString::fromLatin1(commands.join(' '))));
        QCOMPARE(commands.mid(at - 3, 6),
                 (QList<QByteArray>{"W1212", "W0000", "W0000", "s000001F5", "?", "S1010"}));
        QCOMPARE(commands.first(), QByteArray("R"));
        QCOMPARE(main.findChild<QLabel*>(QStringLiteral("lblPosition"))->text(), QStringLiteral("501"));
        QCOMPARE(sim.state().outputs[0], quint8(0));
        QCOMPARE(op.prompts.size(), 1);
        qunsetenv(qPrintable(PortMap::environmentName(1)));
    }
};

STAVELY_TEST(ServiceWindowsFlowTest)
#include "ServiceWindowsFlowTest.moc"
