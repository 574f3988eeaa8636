#include "app/SimulatedInstrument.h"
#include "base/ProgramEnd.h"
#include "instrument/ControllerDiscovery.h"
#include "instrument/ControllerLink.h"
#include "instrument/PortMap.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "sim/SimInstrument.h"
#include "sim/SimServer.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"
#include "tests/support/ThrowingEnd.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// The built-in instrument must be found by discovery at once, and must keep to its own port.
class SimulatedInstrumentTest : public QObject {
    Q_OBJECT
private slots:
    void freshSettingsConnectWithoutAnyDialog() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("Corvane-simulator.ini")));
        SimulatedInstrument sim;
        QString error;
        QVERIFY2(sim.start(store, &error), qPrintable(error));
        QCOMPARE(sim.comNumber(), 1);
        QCOMPARE(store.getText(QStringLiteral("STAVELY"), QStringLiteral("COMnum"), {}), QStringLiteral("1"));
        QVERIFY(QFileInfo(sim.linkPath()).isSymLink());

        ScriptedOperator op; // any prompt fails the test
        ThrowingEnd end;
        Parameters params;
        params.COMnum = 1;
        ControllerLink link(op, end, params);
        PortMap ports(&store);
        ControllerDiscovery discovery(op, end, link, params, store, ports);
        discovery.ConnectController();
        QVERIFY(link.ControllerFound());
        QVERIFY(op.prompts.isEmpty());
        QCOMPARE(link.FirmwareVersion(), QStringLiteral("1.05"));
        const ControllerStatus status = link.GetStatus();
        QVERIFY(status.valid);
        link.closePort();
        sim.stop();
        QVERIFY(!QFileInfo::exists(sim.linkPath()));
        qunsetenv(qPrintable(PortMap::environmentName(1)));
    }

    void storedPortNumberIsKept() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("Corvane-simulator.ini")));
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("COMnum"), QStringLiteral("4"));
        SimulatedInstrument sim;
        QVERIFY(sim.start(store, nullptr));
        QCOMPARE(sim.comNumber(), 4);
        QCOMPARE(PortMap(&store).devicePath(4), sim.linkPath());
        sim.stop();
        qunsetenv(qPrintable(PortMap::environmentName(4)));
    }

    // Like a powered instrument the simulator is where the last run left it: the program reads the kept
    // position over the line, and the next end keeps the new one; the link goes with the run.
    void keepsItsPositionFromRunToRun() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Corvane-simulator.ini"));
        {
            SettingsStore store(file);
            store.saveText(QStringLiteral("Simulator"), QStringLiteral("CapstanSteps"),
                           QStringLiteral("3000"));
            store.saveText(QStringLiteral("Simulator"), QStringLiteral("PositionCounter"),
                           QStringLiteral("5000"));
        }
        SettingsStore store(file);
        SimulatedInstrument sim;
        QVERIFY(sim.start(store, nullptr));
        ScriptedOperator op;
        ThrowingEnd end;
        Parameters params;
        params.COMnum = 1;
        ControllerLink link(op, end, params);
        PortMap ports(&store);
        ControllerDiscovery(op, end, link, params, store, ports).ConnectController();
        QVERIFY(link.ControllerFound());
        const ControllerStatus status = link.GetStatus();
        QVERIFY(status.valid);
        QCOMPARE(status.position, 5000);
        // The fiber is wound afresh where the capstans stand: slack, not pulled by the restore.
        QVERIFY(sim.server().state().load < 0.5);

        sim.server().update([](SimInstrument& i) { i.restorePositions(-1000, 250); });
        sim.keepPosition(store);
        store.sync();
        link.closePort();
        sim.removeLink();
        QVERIFY(!QFileInfo::exists(sim.linkPath()));
        sim.stop();
        qunsetenv(qPrintable(PortMap::environmentName(1)));
        const SettingsStore kept(file);
        QCOMPARE(kept.getText(QStringLiteral("Simulator"), QStringLiteral("CapstanSteps"), {}),
                 QStringLiteral("-1000"));
        QCOMPARE(kept.getText(QStringLiteral("Simulator"), QStringLiteral("PositionCounter"), {}),
                 QStringLiteral("250"));
    }
};

STAVELY_TEST(SimulatedInstrumentTest)
#include "SimulatedInstrumentTest.moc"
