#include "instrument/ApTimer.h"
#include "sim/SimServer.h"
#include "tests/instrument/LinkRig.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

namespace {

// A simulated instrument without noise whose fiber holds far beyond the loads used here.
SimConfig quietInstrument() {
    SimConfig c;
    c.seed = 7;
    c.noiseAu = 0;
    c.weibullShape = 0;
    c.strengthGpa = 5;
    return c;
}

} // namespace

// The link and discovery against the simulated System Controller over a real serial port.
class ControllerSimTest : public QObject {
    Q_OBJECT
private slots:
    // Start-up as the program runs it: the stored port is gone, a scan finds the instrument,
    // then the first commands of the working connection.
    void startUpFindsSimulatorAndTalksToIt() {
        DiscoveryRig rig;
        SimServer sim(quietInstrument());
        QVERIFY(sim.startInThread(rig.path(4)));
        rig.params.COMnum = 2;
        rig.op.answer(1);
        rig.op.answer(1);
        rig.op.answer(MsgResult::Ok);
        QVERIFY(rig.discovery.ConnectController());
        QCOMPARE(rig.op.prompts.last().text,
                 QStringLiteral("System Controller found on COM4\r\nFirmware version 1.05"));
        QCOMPARE(rig.storedComNum(), QStringLiteral("4"));

        QList<qint32> positions;
        rig.link.setPositionHandler([&](qint32 p) { positions.append(p); });
        rig.params.ADchannel = 1;
        rig.link.SetLoadSampling(-1, 128);
        rig.link.SendMotorSettings(true);
        rig.link.SetControllerPosition(-1234);
        const ControllerStatus status = rig.link.GetStatus();
        rig.link.WriteOutputs(0);
        rig.link.WriteLoaderOutputs(0);
        QVERIFY(status.valid);
        QCOMPARE(status.status, 0);
        QCOMPARE(status.position, -1234);
        QCOMPARE(positions, QList<qint32>({-1234}));
        QCOMPARE(rig.op.prompts.size(), 3);

        const SimState state = sim.state();
        QCOMPARE(state.channel, 1);
        QCOMPARE(state.samples, 128);
        QCOMPARE(state.threshold, quint16(4090));
        QCOMPARE(state.motorSettings, QByteArray("0010"));
        const QList<QByteArray> log = sim.commandLog();
        const QList<QByteArray> tail{"l10080FFFF0FFA", "S0010", "sFFFFFB2E", "?", "W0000", "w00"};
        QCOMPARE(log.mid(log.size() - tail.size()), tail);
    }

    // Stray bytes, slow chunks and lower-case hex all at once still give the exact fields.
    void faultyLineStillGivesExactFields() {
        LinkRig rig;
        QVERIFY(rig.dir.isValid());
        SimConfig config = quietInstrument();
        config.faults.stray = true;
        config.faults.chunks = true;
        config.faults.chunkSize = 3;
        config.faults.chunkIntervalMs = 60;
        config.faults.lowercase = true;
        SimServer sim(config);
        QVERIFY(sim.startInThread(rig.portPath()));
        QVERIFY(rig.link.openPort(rig.portPath()));
        rig.link.SetControllerPosition(-100000);
        const LoadStatus s = rig.link.GetLoadStatus();
        QVERIFY(s.valid);
        QCOMPARE(s.status, 0);
        QCOMPARE(s.position, -100000);
        QCOMPARE(rig.link.GetRabbitInPortByte(), int(sim.state().inputs));
        QVERIFY(rig.op.prompts.isEmpty());
    }

    // A move polled the way the motion loop polls it: it runs to its target and pulls on the fiber.
    void moveRunsToItsTarget() {
        LinkRig rig;
        QVERIFY(rig.dir.isValid());
        SimServer sim(quietInstrument());
        QVERIFY(sim.startInThread(rig.portPath()));
        QVERIFY(rig.link.openPort(rig.portPath()));
        rig.link.SetLoadSampling(0, 16);
        rig.link.SetControllerPosition(0);
        const LoadStatus before = rig.link.GetLoadStatus();
        rig.link.StartMove(3000, 8000.0, 0, 0);
        IntervalTimer limit;
        ApTimer::SetTimer(limit, 5);
        LoadStatus s;
        do {
            ApTimer::Delay(0.05);
            s = rig.link.GetLoadStatus();
        } while (s.status == 11 && !ApTimer::Expired(limit));
        QCOMPARE(s.status, 0);
        QCOMPARE(s.position, 3000);
        QVERIFY2(s.loadCounts > before.loadCounts, qPrintable(QString::number(s.loadCounts)));
        QVERIFY(rig.op.prompts.isEmpty());
        QVERIFY(sim.commandLog().contains("M00000BB845FA00000000"));
    }

    void badHexFromSimulatorReadsAsZero() {
        LinkRig rig;
        QVERIFY(rig.dir.isValid());
        SimServer sim(quietInstrument());
        QVERIFY(sim.startInThread(rig.portPath()));
        QVERIFY(rig.link.openPort(rig.portPath()));
        rig.link.SetControllerPosition(500);
        SimFaults faults;
        faults.badHex = SimFaults::BadHex::Next;
        sim.setFaults(faults);
        rig.op.answer(1);
        rig.op.answer(MsgResult::Ok);
        const ControllerStatus bad = rig.link.GetStatus();
        QVERIFY(!bad.valid);
        QCOMPARE(bad.position, 0);
        QCOMPARE(rig.op.prompts.size(), 2);
        QCOMPARE(
            rig.op.prompts.at(0).text,
            QStringLiteral("Communications with System Controller timed out during \"Bad hex\". Check that "
                           "the System Controller is functioning and connected to the PC."));
        QCOMPARE(rig.link.GetStatus().position, 500); // the next reply is sound again
    }

    void oldSimulatedFirmwareEndsTheProgram() {
        DiscoveryRig rig;
        SimServer sim(quietInstrument());
        sim.setFirmwareVersion("1.01");
        QVERIFY(sim.startInThread(rig.path(1)));
        rig.params.COMnum = 1;
        rig.op.answer(MsgResult::Ok);
        try {
            rig.discovery.ConnectController();
            QFAIL("old firmware must end the program");
        } catch (const ProgramEnded& ended) {
            QCOMPARE(ended.message, QStringLiteral("Newer System Controller firmware needed"));
        }
        QCOMPARE(rig.op.prompts.first().title, QStringLiteral("NEWER SYSTEM CONTROLLER FIRMWARE NEEDED"));
        QVERIFY(!rig.link.ControllerFound());
    }
};

STAVELY_TEST(ControllerSimTest)
#include "ControllerSimTest.moc"
