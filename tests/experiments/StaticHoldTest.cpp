#include "experiments/HoldControl.h"
#include "experiments/HoldRecorder.h"
#include "tests/support/TestRegistry.h"
#include "tests/support/VirtualHold.h"

#include <QTest>
#include <cmath>

class StaticHoldTest : public QObject {
    Q_OBJECT
private slots:
    // The hold loop against the simulated instrument on a virtual clock, the fiber's strength and
    // noise as the simulator draws them: it reaches the target from a preload that stopped short,
    // recovers from a disturbance, keeps the load inside the band without overshooting it, and does
    // not chatter.
    void holdKeepsTheLoadInItsBand() {
        struct Case {
            const char* name;
            double target;    // N
            double preloadTo; // share of the target where the preload move stops
            double extraLoad; // N hung on the cell halfway through
            int maxCorrections;
        };
        const QList<Case> cases{
            {"80 % of the default fiber's strength", 39.3, 1.0, 0, 20},
            {"preload stopped 3 % short", 39.3, 0.97, 0, 20},
            {"a load step of 1 % halfway", 39.3, 1.0, 0.39, 30},
            {"a small load: the 0.02 N floor of the band", 3.0, 0.98, 0, 40},
        };
        for (const Case& c : cases) {
            SimConfig config;
            config.seed = 7;
            config.fatigueN = 0; // the hold itself, without a break
            VirtualHold rig(config);
            QVERIFY2(rig.preload(c.target * c.preloadTo, 3000), c.name);
            const double tolerance = HoldControl::Tolerance(c.target);
            double worstAfterSettling = 0, highest = 0;
            bool stepped = false;
            rig.hold(c.target, 120, [&](const VirtualHold::Poll& p) {
                if (c.extraLoad > 0 && !stepped && p.seconds >= 60) {
                    rig.sim.setExtraLoad(c.extraLoad);
                    stepped = true;
                }
                highest = std::max(highest, p.measured);
                // Settled: 5 s after the start and after the step.
                if (p.seconds > 5 && !(p.seconds >= 60 && p.seconds < 65))
                    worstAfterSettling = std::max(worstAfterSettling, std::abs(p.measured - c.target));
            });
            QVERIFY2(worstAfterSettling <= tolerance, qPrintable(QStringLiteral("%1: worst %2 N, band %3 N")
                                                                     .arg(c.name)
                                                                     .arg(worstAfterSettling)
                                                                     .arg(tolerance)));
            QVERIFY2(highest <= c.target + tolerance + c.extraLoad, c.name);
            // The fiber creeps: even an undisturbed hold needs its corrections.
            QVERIFY2(rig.control->corrections() >= 1, c.name);
            QVERIFY2(
                rig.control->corrections() <= c.maxCorrections,
                qPrintable(QStringLiteral("%1: %2 corrections").arg(c.name).arg(rig.control->corrections())));
        }
    }

    // The control law's single decisions.
    void correctionsOfTheLaw() {
        HoldControl law(40, 0.002, 500); // 0.2 N band, 0.08 N dead band
        QCOMPARE(HoldControl::Tolerance(40), 0.2);
        QCOMPARE(HoldControl::Tolerance(2), 0.02);
        QVERIFY(!law.Step(40.05, 1000, false)); // inside the dead band
        QVERIFY(!law.Step(39.0, 1000, true));   // a correction still runs
        QVERIFY(!law.Step(39.9, 1000, false));  // one reading out: perhaps noise
        QVERIFY(!law.Step(40.1, 1000, false));  // the other side: still nothing
        QVERIFY(!law.Step(39.9, 1000, false));
        const auto up = law.Step(39.9, 1000, false); // 0.1 N short twice: 0.08 N of it = 40 steps
        QVERIFY(up);
        QCOMPARE(up->target, 1040);
        QCOMPARE(up->speed, 200.0);
        // It moved 40 steps and gained 0.4 N: the fiber is stiffer than thought, and the overshoot
        // is taken back with the stiffness learnt.
        QVERIFY(!law.Step(40.3, 1040, false));
        QVERIFY(law.stiffness() > 0.002);
        const auto down = law.Step(40.3, 1040, false);
        QVERIFY(down);
        QVERIFY(down->target < 1040);
        // A far-off load (a break the rule has not seen yet) moves at most three bands' worth.
        HoldControl far(40, 0.002, 500);
        QVERIFY(!far.Step(10, 0, false));
        QCOMPARE(far.Step(10, 0, false)->target, 300);
        // A load that does not follow the corrections (a slipping fiber): after twenty bands' worth
        // of travel the law says so; one that comes back into the band starts the count again.
        qint32 at = 300;
        int moves = 1;
        while (!far.Stalled() && moves < 50) {
            far.Step(10, at, false);
            if (const auto next = far.Step(10, at, false)) {
                at = next->target;
                ++moves;
            }
        }
        QVERIFY2(moves >= 6 && moves <= 8, qPrintable(QString::number(moves)));
        QVERIFY(!far.Step(40, at, false));
        QVERIFY(!far.Stalled());
    }

    // The recorder keeps the whole of any hold in its thousand samples, evenly spread, and the last
    // hundred polls at full resolution, in time order.
    void recorderSpreadsLongHoldsAndKeepsTheEnd() {
        for (const double hours : {0.05, 1.0, 24.0, 24.0 * 30}) {
            HoldRecorder rec;
            rec.Start(0.3);
            const auto polls = qint64(hours * 3600 / 0.3);
            for (qint64 i = 0; i <= polls; ++i)
                rec.Sample({100 + double(i) * 0.3, 40, qint32(i % 7), 0});
            const std::vector<HoldSample> s = rec.Samples();
            const QString name = QString::number(hours) + QStringLiteral(" h");
            QVERIFY2(int(s.size()) <= HoldRecorder::Capacity, qPrintable(name));
            QCOMPARE(s.front().time, 100.0); // the start of the hold stays
            QVERIFY2(std::abs(s.back().time - (100 + double(polls) * 0.3)) < 1e-6, qPrintable(name));
            for (size_t i = 1; i < s.size(); ++i)
                QVERIFY2(s[i].time > s[i - 1].time, qPrintable(name));
            // The last hundred are one poll apart.
            const size_t tail = std::min<size_t>(s.size(), HoldRecorder::TailCapacity);
            for (size_t i = s.size() - tail + 1; i < s.size(); ++i)
                QVERIFY2(std::abs(s[i].time - s[i - 1].time - 0.3) < 1e-6, qPrintable(name));
            // No stretch of the hold is left out: no gap wider than twice the spread period.
            for (size_t i = 1; i < s.size(); ++i)
                QVERIFY2(s[i].time - s[i - 1].time <= 2 * rec.SpreadPeriod() + 1e-6, qPrintable(name));
            if (hours >= 1)
                QVERIFY2(s.size() >= 500, qPrintable(name));
        }
    }
};

STAVELY_TEST(StaticHoldTest)
#include "StaticHoldTest.moc"
