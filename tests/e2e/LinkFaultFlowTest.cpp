#include "app/MainActions.h"
#include "app/Program.h"
#include "app/SimulatedInstrument.h"
#include "app/frmMain.h"
#include "instrument/MoveReport.h"
#include "instrument/PortMap.h"
#include "params/ParameterTable.h"
#include "tests/app/MainRig.h"
#include "tests/e2e/MotionRig.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/TestRegistry.h"

#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <QUuid>
#include <atomic>
#include <chrono>
#include <ctime>

namespace {

const QString MoveCaption = QStringLiteral("TEST MOVE");
const QString TimeoutTitle = QStringLiteral("COMMUNICATIONS TIMEOUT");

QString timeoutText(const QString& operation) {
    return QStringLiteral("Communications with System Controller timed out during \"") + operation +
           QStringLiteral("\". Check that the System Controller is functioning and connected to the PC.");
}
// During a move the dialog also says how the capstans stand.
const QString CapstansStopped = QStringLiteral("\r\n\r\nThe capstans have been stopped.");
const QString CapstansMayTurn =
    QStringLiteral("\r\n\r\nThe System Controller's port has gone and could not be opened again: the "
                   "capstans may still be turning. Stop them at the instrument now.");

void setBadHex(SimServer& sim, SimFaults::BadHex badHex) {
    SimFaults faults = sim.faults();
    faults.badHex = badHex;
    sim.setFaults(faults);
}

// What a real dialog does while the operator reads it: window events run.
double cpuSeconds(std::clock_t since) {
    return double(std::clock() - since) / CLOCKS_PER_SEC;
}

double secondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

} // namespace

class LinkFaultFlowTest : public QObject {
    Q_OBJECT
private slots:
    // Every status reply garbled: one bad-hex message, then the move ends as after a reply that never
    // came, at once after the operator's stop or after two seconds without one.
    void garbledMoveEndsLikeATimeout_data() {
        QTest::addColumn<bool>("operatorStops");
        QTest::newRow("no stop") << false;
        QTest::newRow("operator stops") << true;
    }
    void garbledMoveEndsLikeATimeout() {
        QFETCH(bool, operatorStops);
        MotionRig rig;
        QVERIFY(rig.start());
        QTimer::singleShot(400, [&] { setBadHex(rig.sim, SimFaults::BadHex::Every); });
        std::chrono::steady_clock::time_point garbling;
        rig.op.answer(1); // Retry on the bad-hex dialog
        rig.op.answerWith([&](const Prompt&) {
            garbling = std::chrono::steady_clock::now();
            if (operatorStops)
                QTimer::singleShot(0, rig.window.stopButton(), &QPushButton::click);
            return MsgResult::Ok;
        });
        double garbledFor = 0;
        bool stoppedBeforeDialog = false;
        rig.op.answerWith([&](const Prompt&) {
            garbledFor = secondsSince(garbling);
            // The simulated instrument reads the line in its own time.
            stoppedBeforeDialog = QTest::qWaitFor([&] { return rig.commands().last() == "!"; }, 1000);
            return 1;
        });
        QCOMPARE(rig.motion.MoveTo(100000, 2000, 0, 255, MoveCaption), int(MoveStatus::OperatorStop));

        QCOMPARE(rig.op.prompts.size(), 3);
        QCOMPARE(rig.op.prompts[0].text, timeoutText(QStringLiteral("Bad hex")) + CapstansStopped);
        QCOMPARE(rig.op.prompts[1].kind, QStringLiteral("msgBox"));
        QCOMPARE(rig.op.prompts[2].title, TimeoutTitle);
        QCOMPARE(rig.op.prompts[2].text, timeoutText(QStringLiteral("PutGet L")) + CapstansStopped);
        if (operatorStops)
            QVERIFY2(garbledFor < 1.5, qPrintable(QString::number(garbledFor)));
        else
            QVERIFY2(garbledFor >= 2.0, qPrintable(QString::number(garbledFor)));
        // The stop went out before the dialog; the motor stands.
        QVERIFY(stoppedBeforeDialog);
        QCOMPARE(rig.sim.state().stepRate, 0.0);
    }

    // Garbled replies are no measurement: the live load keeps its last value and says so once per
    // run of them; a reading that is used asks again.
    void garbledRepliesAreNoMeasurement() {
        MainRig rig;
        SimServer sim(MotionRig::quiet());
        QVERIFY(sim.startInThread(rig.dir.filePath(QStringLiteral("COM1"))));
        QVERIFY(rig.link.openPort(rig.dir.filePath(QStringLiteral("COM1"))));
        rig.link.setControllerFound(true);
        rig.calibrate();
        rig.loadCell.readFrom(rig.link);
        rig.link.SetLoadSampling(0, 1);
        sim.setExtraLoad(2.0);

        rig.window.ShowLiveLoad(false);
        const QString valid = rig.window.statusPanel(1);
        QVERIFY2(valid.startsWith(QStringLiteral("Load: ")) && !valid.contains(QStringLiteral("-")),
                 qPrintable(valid));
        setBadHex(sim, SimFaults::BadHex::Every);
        rig.op.answer(1);
        rig.op.answer(MsgResult::Ok);
        for (int i = 0; i < 5; ++i) {
            rig.window.ShowLiveLoad(false);
            QCOMPARE(rig.window.statusPanel(1), valid);
        }
        QCOMPARE(rig.op.prompts.size(), 2);

        // A reading asked while garbling lasts gets the time-out dialog; Retry reads again.
        rig.op.answerWith([&](const Prompt& p) {
            setBadHex(sim, SimFaults::BadHex::Off);
            return p.title == TimeoutTitle ? 1 : 0;
        });
        const double load = rig.loadCell.ReadLoad();
        QCOMPARE(rig.op.prompts.size(), 3);
        QCOMPARE(rig.op.last().text, timeoutText(QStringLiteral("PutGet L")));
        // 2 N on a cell read through 100 au/N while the simulated one gives 51 au/N.
        QVERIFY2(std::abs(load - 2.0 * 51 / 100) < 0.1, qPrintable(QString::number(load)));

        // A new run of garbled replies is told again, once; the next reading asks past it.
        setBadHex(sim, SimFaults::BadHex::Next);
        rig.op.answer(1);
        rig.op.answer(MsgResult::Ok);
        QVERIFY(std::abs(rig.loadCell.ReadLoad() - load) < 0.1);
        QCOMPARE(rig.op.prompts.size(), 5);
    }

    // The adapter pulled mid-move: no busy loop while the time-out dialog is up, the port's error
    // told once, just before that dialog, and the dialog comes at once rather than after the silence.
    void vanishedPortDuringAMove() {
        SimConfig config = MotionRig::quiet();
        config.faults.vanishAfterMs = 300;
        MotionRig rig(config);
        QVERIFY(rig.start());
        std::atomic<qint64> vanishedAt{0};
        connect(
            &rig.sim, &SimServer::vanished, &rig.sim,
            [&] { vanishedAt = std::chrono::steady_clock::now().time_since_epoch().count(); },
            Qt::DirectConnection);
        QList<int> errors;
        qsizetype promptsAtError = -1;
        rig.link.setSerialErrorHandler([&](int e) {
            errors.append(e);
            promptsAtError = rig.op.prompts.size();
        });
        qint64 dialogAt = 0;
        rig.op.answerWith([&](const Prompt&) {
            dialogAt = std::chrono::steady_clock::now().time_since_epoch().count();
            readFor(1000);
            return 1; // Retry: the device is still gone
        });
        rig.op.answerWith([&](const Prompt&) {
            readFor(300);
            return 2;
        });
        rig.op.answer(MsgResult::Yes);

        const std::clock_t cpu0 = std::clock();
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, rig.motion.MoveTo(100000, 2000, 0, 0, MoveCaption));
        const double cpu = cpuSeconds(cpu0);

        QVERIFY2(cpu < 0.4, qPrintable(QStringLiteral("cpu %1 s").arg(cpu)));
        QVERIFY(vanishedAt.load() != 0);
        // The vanish is signalled from the instrument's thread, possibly after the program noticed it.
        const double dialogAfter =
            std::chrono::duration<double>(std::chrono::steady_clock::duration(dialogAt - vanishedAt.load()))
                .count();
        QVERIFY2(dialogAfter < 1.9, qPrintable(QString::number(dialogAfter)));
        QCOMPARE(errors.size(), 1);
        QCOMPARE(promptsAtError, 0);
        QCOMPARE(rig.op.prompts.size(), 3);
        for (int i : {0, 1})
            QCOMPARE(rig.op.prompts[i].text, timeoutText(QStringLiteral("PutGet L")) + CapstansMayTurn);
        QVERIFY(rig.link.PortLost() || !rig.link.isOpen());
    }

    // Ending the program during a move stops the capstan before the port closes.
    void endingDuringAMoveStopsTheMotor() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Corvane-simulator.ini"));
        SettingsStore(file).saveText(QStringLiteral("STAVELY"), QStringLiteral("ForceDebug"),
                                     QStringLiteral("True"));
        SettingsStore(file).saveText(QStringLiteral("STAVELY"), QStringLiteral("DataFileName"),
                                     dir.filePath(QStringLiteral("results.dat")));
        auto scripted = std::make_unique<ScriptedOperator>();
        ScriptedOperator& op = *scripted;
        ProgramOptions options;
        options.settingsFile = file;
        options.simulate = true;
        options.instanceName =
            QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        auto program = std::make_unique<Program>(options, std::move(scripted));
        program->setEndHook([](const ProgramEnded& how) { throw how; });
        program->actions().hooks().Calibrate = [] {};
        op.answer(MsgResult::Ok); // the calibration notice
        QCOMPARE(program->start(), Program::Started::Running);
        SimServer& sim = program->simulator()->server();

        QTimer::singleShot(500, [&] { setBadHex(sim, SimFaults::BadHex::Every); });
        op.answer(2);              // Cancel in the bad-hex dialog
        op.answer(MsgResult::Yes); // and terminate
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, program->motion().MoveTo(100000, 2000, 0, 0, MoveCaption));
        QCOMPARE(op.last().text, QStringLiteral("Are you sure you want to terminate STAVELY"));
        QVERIFY(!program->link().isOpen());
        const QList<QByteArray> log = sim.commandLog();
        QCOMPARE(log.last(), QByteArray("!"));
        QTRY_COMPARE(sim.state().stepRate, 0.0);
        const qint32 stoppedAt = sim.state().position;
        QTest::qWait(300);
        QCOMPARE(sim.state().position, stoppedAt);
        program.reset();
        qunsetenv(qPrintable(PortMap::environmentName(1)));
    }
};

STAVELY_TEST(LinkFaultFlowTest)
#include "LinkFaultFlowTest.moc"
