#include "experiments/ServoLoop.h"
#include "base/ProgramEnd.h"
#include "experiments/BreakTexts.h"
#include "experiments/Fiber.h"
#include "instrument/ControllerLink.h"
#include "instrument/RunState.h"
#include "params/Parameters.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

namespace {

class EndThrows : public ProgramEnd {
public:
    [[noreturn]] void EndProgram(const QString& message, const QString& title) override {
        throw ProgramEnded{message, title};
    }
};

// A servo loop on a virtual clock and a scripted instrument: the load each reading returns and
// every speed factor sent.
struct ServoRig {
    Parameters params;
    ScriptedOperator op;
    EndThrows end;
    Fiber fiber{params, op};
    RunState run;
    ServoLoop servo{params, fiber, run, op, end};
    double clock = 0;
    double load = 0;
    double elapsedMs = 0;
    QList<double> factors;
    QStringList infos;

    ServoRig() {
        ServoLoop::Io io;
        io.readLoad = [this](double& l, double& ms) {
            l = load;
            ms = elapsedMs;
        };
        io.speedCorrection = [this](double f) { factors << f; };
        io.servoInfo = [this](const QString& text) { infos << text; };
        servo.setIo(io);
        servo.setClock([this] { return clock; });
    }
    // One poll at time t (s) with the load measured then.
    void poll(double t, double measured) {
        clock = t;
        elapsedMs = t * 1000;
        run.ElapsedMs = qint32(elapsedMs);
        run.CurrentLoad = float(measured);
        load = measured;
        servo.svoCheck();
    }
};

bool sameValue(double a, double b) {
    return std::abs(a - b) < 1e-9;
}

} // namespace

class ServoLoopTest : public QObject {
    Q_OBJECT
private slots:
    void gainScheduleByBand_data() {
        QTest::addColumn<double>("R");
        QTest::addColumn<double>("diameter");
        QTest::addColumn<QList<double>>("expected"); // CF SI Kc Pc Kp Ki Kd
        QTest::newRow("200 MPa/s thick")
            << 200.0 << 125.0 << QList<double>{1, 0.25, 0.5, 1, 0.3, 0.6, 0.0375};
        QTest::newRow("200 MPa/s thin") << 200.0 << 80.0 << QList<double>{1, 0.25, 2, 1, 1.2, 2.4, 0.15};
        QTest::newRow("exactly 120") << 120.0 << 125.0 << QList<double>{1.2, 0.5, 2, 1, 1.2, 2.4, 0.15};
        QTest::newRow("30 MPa/s") << 30.0 << 125.0 << QList<double>{1.2, 0.5, 2, 1, 1.2, 2.4, 0.15};
        QTest::newRow("exactly 20") << 20.0 << 125.0 << QList<double>{1.3, 0.5, 4, 2, 2.4, 2.4, 0.6};
        QTest::newRow("10 MPa/s thick") << 10.0 << 125.0 << QList<double>{1.3, 0.5, 4, 2, 2.4, 2.4, 0.6};
        QTest::newRow("10 MPa/s thin") << 10.0 << 99.0 << QList<double>{1.3, 0.5, 2, 1, 1.2, 2.4, 0.15};
        QTest::newRow("exactly 2") << 2.0 << 125.0 << QList<double>{1.8, 1.0, 2, 1, 4.8, 0.15, 2.4};
        QTest::newRow("static") << 0.0 << 125.0 << QList<double>{1.8, 1.0, 2, 1, 4.8, 0.15, 2.4};
    }
    void gainScheduleByBand() {
        QFETCH(double, R);
        QFETCH(double, diameter);
        QFETCH(QList<double>, expected);
        const ServoGains g = ServoLoop::GainSchedule(R, diameter);
        const QList<double> got{g.CF, g.SI, g.Kc, g.Pc, g.Kp, g.Ki, g.Kd};
        for (int i = 0; i < got.size(); ++i)
            QVERIFY2(sameValue(got[i], expected[i]), qPrintable(QStringLiteral("%1: %2").arg(i).arg(got[i])));
    }

    void equivalentRateOfAStrainRate() {
        Parameters p;
        p.ExptType = 2;
        p.ExptStrainRate = 2.5f;
        p.Modulus = 72;
        QVERIFY(sameValue(ServoLoop::EquivalentStressRate(p), 30));
        QCOMPARE(ServoLoop::GainSchedule(30, 125).CF, 1.2);
    }

    void speedFactorIsClampedAndEncoded() {
        QCOMPARE(ServoLoop::SpeedFactorOf(10), 3.0);
        QCOMPARE(ServoLoop::SpeedFactorOf(-10), 1.0 / 3.0);
        QCOMPARE(ServoLoop::SpeedFactorOf(0), 1.0);
        QVERIFY(sameValue(ServoLoop::SpeedFactorOf(1), 2));
        QCOMPARE(QStringLiteral("v") + ControllerLink::FloatHex(1 / ServoLoop::SpeedFactorOf(0)),
                 QStringLiteral("v3F800000"));
    }

    void diagnosticLines() {
        QCOMPARE(ServoLoop::CycleLine(0, 0.04, -0.04, 1.362, 0.004, 0.443, -0.001, 1429),
                 QStringLiteral("Err  0.00 (-0.04  0.04) +1.362  P 0.004  I 0.443  D-0.001  1429"));
        QCOMPARE(ServoLoop::HeaderLine(ServoLoop::GainSchedule(10, 125)),
                 QStringLiteral("Kp 2.40  Ki 2.40  Kd 0.60  CF 1.30  SI 0.50  Kc 4.00  Pc 2.00"));
    }

    // Below the minimum servo load the reference point is taken again and again; the compliance
    // factor must raise the speed once, as the motor was started once.
    void complianceFactorAppliesOncePerRun() {
        ServoRig rig;
        rig.params.ExptType = 1;
        rig.params.ExptStressRate = 10;
        rig.params.MinServoLoad = 0.5f;
        rig.run.CommandedSpeed = 100;
        rig.load = 0.1;
        rig.servo.svoInit();
        QCOMPARE(rig.run.CommandedSpeed, 130.0);
        QCOMPARE(rig.params.ComplianceFactor, 1.3f);
        for (int k = 1; k <= 5; ++k)
            rig.poll(0.5 * k + 0.01, 0.1);
        QCOMPARE(rig.run.CommandedSpeed, 130.0);
        QCOMPARE(rig.servo.NominalSpeed(), 130.0);
        QVERIFY(rig.factors.isEmpty()); // nothing sent while the load is low
        QCOMPARE(rig.servo.T0(), 2.51);

        // From the first reference point above the minimum the ramp is followed: a load behind the
        // target speeds the motor up, and the recorded speed is the speed really commanded.
        rig.load = 1.0;
        rig.poll(3.02, 1.0); // new reference point at 1 N
        QVERIFY(rig.factors.isEmpty());
        QVERIFY(!rig.servo.NewTarget());
        rig.poll(3.6, 1.0);
        QCOMPARE(rig.factors.size(), 1);
        // The cycle's target load, for the live curve.
        QVERIFY(rig.servo.NewTarget() && sameValue(*rig.servo.NewTarget(), 1.0 + rig.servo.Err()));
        QVERIFY(rig.servo.Err() > 0);
        QVERIFY(rig.servo.SpeedFactor() > 1);
        QVERIFY(sameValue(rig.factors.last(), 1 / rig.servo.SpeedFactor()));
        QVERIFY(sameValue(rig.run.CommandedSpeed, 130 * rig.servo.SpeedFactor()));
        // Sums advance by the nominal interval, not the time between polls.
        QVERIFY(sameValue(rig.servo.ErrSum(), 0.5 * rig.servo.Err()));
        rig.poll(3.7, 1.0); // before the next cycle is due: no new target
        QVERIFY(!rig.servo.NewTarget());
    }

    void debugDisplayKeepsFiftyCyclesAndTheGainLine() {
        ServoRig rig;
        rig.params.ExptType = 1;
        rig.params.ExptStressRate = 200;
        rig.run.CommandedSpeed = 1000;
        rig.load = 2;
        rig.servo.svoInit();
        QCOMPARE(rig.infos, QStringList{QString()});
        for (int k = 1; k <= 20; ++k)
            rig.poll(0.3 * k, 2);
        QCOMPARE(rig.infos.size(), 1); // debug mode off: the display stays empty
        QCOMPARE(rig.servo.ServoCount(), 20);

        rig.params.DebugMode = true;
        for (int k = 21; k <= 80; ++k)
            rig.poll(0.3 * k, 2 + 0.01 * k);
        const QStringList lines = rig.infos.last().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 51);
        QCOMPARE(lines.last(), rig.servo.ServoHeader());
        QVERIFY(lines.first().endsWith(QStringLiteral("  31")));
        QVERIFY(lines[49].endsWith(QStringLiteral("  80")));
        // The error range restarts after the tenth cycle.
        QVERIFY(rig.servo.ErrMax() < 10000 && rig.servo.ErrMin() > -10000);
    }

    void impossibleTypeEndsTheProgram() {
        ServoRig rig;
        rig.params.ExptType = 7;
        try {
            rig.servo.svoInit();
            QFAIL("svoInit returned");
        } catch (const ProgramEnded& ended) {
            QCOMPARE(ended.title, QStringLiteral("PROGRAM ENDING"));
            QCOMPARE(ended.message,
                     QStringLiteral("Unexpected fault in StavelyStuff.svoInit - unexpected value of "
                                    "ExptMode\rPlease report the circumstances to Corvane\r\r"
                                    "STAVELY will now terminate"));
        }
    }
};

STAVELY_TEST(ServoLoopTest)
#include "ServoLoopTest.moc"
