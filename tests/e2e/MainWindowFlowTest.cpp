#include "app/MainActions.h"
#include "app/Program.h"
#include "app/frmMain.h"
#include "instrument/ControllerLink.h"
#include "instrument/Motion.h"
#include "instrument/PortMap.h"
#include "instrument/frmMoving.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "sim/SimServer.h"
#include "tests/e2e/MotionRig.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>

namespace {

// The whole program on a simulated System Controller found on COM1, with a load cell calibrated
// to the simulator's channel 0 and a position the instrument kept from an earlier run.
struct ProgramOnSim {
    QTemporaryDir dir;
    SimServer sim;
    ScriptedOperator* op = nullptr;
    std::unique_ptr<Program> program;

    ProgramOnSim() : sim(config()) {}
    ~ProgramOnSim() {
        program.reset();
        qunsetenv(qPrintable(PortMap::environmentName(1)));
    }

    static SimConfig config() {
        SimConfig c = SimTest::quietConfig();
        c.fiberPresent = false;
        return c;
    }

    bool start(qint32 keptPosition) {
        const QString link = dir.filePath(QStringLiteral("COM1"));
        if (!dir.isValid() || !sim.startInThread(link))
            return false;
        qputenv(qPrintable(PortMap::environmentName(1)), link.toLocal8Bit());
        sim.update([keptPosition](SimInstrument& instrument) {
            instrument.receive("s" + SimInstrument::hex(quint32(keptPosition), 8) + "\r", instrument.now());
        });

        const QString file = dir.filePath(QStringLiteral("Corvane.ini"));
        SettingsStore store(file);
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("COMnum"), QStringLiteral("1"));
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("DataFileName"),
                       dir.filePath(QStringLiteral("results.dat")));
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData0"),
                       QStringLiteral("\"SIM-2041\",0,51,0.1,100,0.5,------,------,------,"));
        store.sync();

        auto scripted = std::make_unique<ScriptedOperator>();
        op = scripted.get();
        ProgramOptions options;
        options.settingsFile = file;
        options.instanceName =
            QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        program = std::make_unique<Program>(options, std::move(scripted));
        program->setEndHook([](const ProgramEnded& how) { throw how; });
        op->answer(MsgResult::Yes); // take the kept position
        sim.clearCommandLog();
        return program->start() == Program::Started::Running;
    }

    frmMain& window() const { return *program->mainWindow(); }
    template <class W> W* find(const char* name) const { return window().findChild<W*>(QLatin1String(name)); }
    QList<QByteArray> commands() const { return sim.commandLog(); }
};

} // namespace

class MainWindowFlowTest : public QObject {
    Q_OBJECT
private slots:
    void startUpToAWorkingWindowThenLoadAndGoTo() {
        ProgramOnSim run;
        QVERIFY(run.start(2000));
        QCOMPARE(run.op->prompts.size(), 1);
        QCOMPARE(run.op->last().text,
                 QStringLiteral("The position recovered from the System Controller is 2000\r\n"
                                "Do you want to accept this value?"));

        frmMain& window = run.window();
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("STAVELY - Control Program for the Stavely Tester"));
        QCOMPARE(run.find<QLabel>("lblPosition")->text(), QStringLiteral("2000"));
        for (const char* name : {"cmdLoad", "cmdBreak", "cmdGoto", "cmdZero", "cmdHardware"})
            QVERIFY2(run.find<QPushButton>(name)->isEnabled(), name);

        // The live load: one "L" exchange per tick of the window's timer.
        QTRY_COMPARE(window.statusPanel(1), QStringLiteral("Load:  0.00"));
        QCOMPARE(window.statusPanel(2), QString());
        run.sim.clearCommandLog();
        QTest::qWait(1000);
        const auto polls = run.commands().count("L");
        QVERIFY2(polls >= 5 && polls <= 11, qPrintable(QString::number(polls)));
        QCOMPARE(run.commands().size(), polls); // nothing but the load

        // Load fiber: 256 samples per reading, then to 0 at the fastest rate.
        run.sim.clearCommandLog();
        run.find<QPushButton>("cmdLoad")->click();
        QCOMPARE(run.program->motion().Position(), 0);
        QCOMPARE(run.sim.state().position, 0);
        QList<QByteArray> log = run.commands();
        const qsizetype sampling = log.indexOf(SimTest::sampling(0, 256, 4090));
        const qsizetype move = log.indexOf(SimTest::moveCommand(0, 5000));
        QVERIFY(sampling >= 0 && move > sampling);
        QCOMPARE(run.find<QLabel>("lblPosition")->text(), QStringLiteral("0"));
        QCOMPARE(window.focusWidget(), run.find<QWidget>("cmdBreak"));

        // Go to: a target beyond the travel limit is refused and asked again.
        QStringList captions;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            frmMoving* moving = run.program->movingWindow();
            const QString caption = moving->findChild<QLabel*>(QStringLiteral("lblAction"))->text();
            if (moving->isVisible() && !captions.contains(caption))
                captions << caption;
        });
        watch.start(10);
        run.op->answer(QStringLiteral("200001"));
        run.op->answer(MsgResult::Ok);
        run.op->answer(QStringLiteral("3000"));
        run.sim.clearCommandLog();
        run.find<QPushButton>("cmdGoto")->click();
        QCOMPARE(run.op->prompts.size(), 4);
        const Prompt& ask = run.op->prompts[1];
        QCOMPARE(ask.kind, QStringLiteral("inputBox"));
        QCOMPARE(ask.title, QStringLiteral("GO TO POSITION"));
        QCOMPARE(ask.text, QStringLiteral("Goto faceplate separation (in steps)"));
        QCOMPARE(ask.buttons, QStringList{QStringLiteral("0")}); // the starting value
        QCOMPARE(run.op->prompts[2].text, QStringLiteral("Value outside range of -200000 to 200000"));
        QCOMPARE(run.op->prompts[3].kind, QStringLiteral("inputBox"));
        QCOMPARE(run.program->motion().Position(), 3000);
        QCOMPARE(run.sim.state().position, 3000);
        log = run.commands();
        QVERIFY(log.indexOf(SimTest::sampling(0, 256, 4090)) >= 0);
        QCOMPARE(log.count(SimTest::moveCommand(3000, 5000)), 1);
        QCOMPARE(captions, QStringList{QStringLiteral("GO TO 3000")});
        QCOMPARE(window.focusWidget(), run.find<QWidget>("cmdLoad"));

        // The next go to starts from the last target; cancelling moves nothing.
        run.op->cancel();
        run.sim.clearCommandLog();
        run.find<QPushButton>("cmdGoto")->click();
        QCOMPARE(run.op->last().buttons, QStringList{QStringLiteral("3000")});
        for (const QByteArray& c : run.commands())
            QVERIFY2(!c.startsWith('M'), c.constData());
        QCOMPARE(run.program->motion().Position(), 3000);
        QVERIFY(run.op->unexpected.isEmpty());
    }

    // The debug test button: twelve moves between 1000 and 0 at exactly 5000 steps/s, never halved.
    void testButtonMovesTwelveTimesAtFullSpeed() {
        MotionRig rig;
        QVERIFY(rig.start());
        MainActions actions(rig.params, rig.op, rig.link, rig.loadCell, rig.motion);
        rig.sim.clearCommandLog();
        actions.Test();
        QList<QByteArray> moves;
        for (const QByteArray& c : rig.commands())
            if (c.startsWith('M') || c == "X")
                moves << c;
        QList<QByteArray> expected;
        for (int i = 0; i < 6; ++i)
            expected << SimTest::moveCommand(1000, 5000) << SimTest::moveCommand(0, 5000);
        QCOMPARE(moves, expected);
        QCOMPARE(rig.motion.Position(), 0);
        QVERIFY(rig.op.prompts.isEmpty());
    }
};

STAVELY_TEST(MainWindowFlowTest)
#include "MainWindowFlowTest.moc"
