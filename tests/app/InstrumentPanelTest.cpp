#include "app/frmInstrumentPanel.h"
#include "sim/SimServer.h"
#include "tests/support/TestRegistry.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <limits>

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

    // The time a held fiber has left spans from nothing to far beyond any count of seconds.
    void fatigueTimeLeft_data() {
        QTest::addColumn<double>("ms");
        QTest::addColumn<QString>("left");
        QTest::newRow("hours") << 3723500.0 << "1:02:03 left at this load";
        QTest::newRow("past due") << -5.0 << "0:00:00 left at this load";
        QTest::newRow("a lightly loaded fiber") << 1e25 << "more than 100 years left at this load";
        QTest::newRow("just over a century") << 3.2e12 << "more than 100 years left at this load";
        QTest::newRow("unloaded") << std::numeric_limits<double>::infinity() << "unloaded";
    }
    void fatigueTimeLeft() {
        QFETCH(double, ms);
        QFETCH(QString, left);
        QCOMPARE(InstrumentPanelTexts::fatigueText(0.61, ms),
                 QStringLiteral("Fatigue damage: 61.0 %, ") + left);
    }
};

STAVELY_TEST(InstrumentPanelTest)
#include "InstrumentPanelTest.moc"
