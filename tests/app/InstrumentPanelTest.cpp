#include "app/frmInstrumentPanel.h"
#include "sim/SimServer.h"
#include "tests/support/TestRegistry.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

// The simulator's panel acts on the simulated instrument through its control methods.
class InstrumentPanelTest : public QObject {
    Q_OBJECT
private slots:
    void hangsMassesAndThreadsFibers() {
        SimConfig config;
        config.fiberPresent = false;
        SimServer sim(config);
        frmInstrumentPanel panel(sim);
        panel.show();
        QCOMPARE(panel.windowTitle(), QStringLiteral("Instrument panel"));

        panel.findChild<QPushButton*>(QStringLiteral("cmdMass500"))->click();
        QCOMPARE(sim.state().extraLoad, 0.5 * 9.81);
        QCOMPARE(panel.findChild<QPushButton*>(QStringLiteral("cmdMass2000"))->text(),
                 QStringLiteral("2 kg"));
        panel.udMass->setValue(1250);
        panel.findChild<QPushButton*>(QStringLiteral("cmdHang"))->click();
        QCOMPARE(sim.state().extraLoad, 1.25 * 9.81);
        QVERIFY(panel.lblState->text().startsWith(
            QStringLiteral("Hung mass: 1250 g\nLoad on the cell: 12.26 N")));
        QVERIFY(panel.lblState->text().endsWith(QStringLiteral("Fiber: none")));

        const int threaded = sim.state().fibersThreaded;
        panel.findChild<QPushButton*>(QStringLiteral("cmdThreadFiber"))->click();
        QCOMPARE(sim.state().fibersThreaded, threaded + 1);
        QVERIFY(sim.state().fiberPresent);
        QVERIFY(panel.lblState->text().endsWith(QStringLiteral("Fiber: threaded")));
    }
};

STAVELY_TEST(InstrumentPanelTest)
#include "InstrumentPanelTest.moc"
