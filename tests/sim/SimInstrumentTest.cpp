#include "sim/SimInstrument.h"
#include "sim/SimFiber.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/TestRegistry.h"

#include <QElapsedTimer>
#include <QTest>
#include <cmath>

using namespace SimTest;

namespace {

QByteArray send(SimInstrument& sim, const QByteArray& command, double t) {
    return sim.receive(command + "\r", t);
}

LoadStatus poll(SimInstrument& sim, double t) {
    return parseLoadStatus(send(sim, "L", t));
}

// Position (physical steps from threading) at which glass of strength s GPa breaks, from the
// secant law sigma = E0 * eps * (1 + a * eps) solved by hand.
qint64 expectedBreakStep(double s, double slack = 300) {
    const double a = 3, e0 = 72, gaugeUm = 500000;
    const double eps = (std::sqrt(1 + 4 * a * s / e0) - 1) / (2 * a);
    return qint64(std::ceil(slack + eps * gaugeUm));
}

} // namespace

class SimInstrumentTest : public QObject {
    Q_OBJECT
private slots:
    void everyCommandAnswersInItsExactFormat() {
        SimInstrument sim(quietConfig());
        const double t = 1234.7;
        QCOMPARE(send(sim, "?", t), QByteArray("?000000000000\r\n"));
        // 64 samples of 100 au at zero load; time stamp 1234 ms.
        QCOMPARE(send(sim, "L", t), QByteArray("L0000000000001900000000000004D2\r\n"));
        QCOMPARE(send(sim, "R", t), QByteArray("R00\r\n"));
        QCOMPARE(send(sim, "z", t), QByteArray("z00000040\r\n"));
        QCOMPARE(send(sim, "l20010FFFF0FFA", t), QByteArray("l02\r\n"));
        QCOMPARE(send(sim, "W1212", t), QByteArray("W\r\n"));
        QCOMPARE(send(sim, "w00", t), QByteArray("w\r\n"));
        QCOMPARE(send(sim, "V", t), QByteArray("System Controller firmware version 1.05\r"));

        for (const char letter : {'F', 'A'}) {
            const QByteArray r = send(sim, QByteArray(1, letter), t);
            QCOMPARE(r.size(), 1 + 59 + 2);
            QCOMPARE(r[0], letter);
            QVERIFY(r.endsWith("\r\n"));
            for (char c : r.mid(1, 59))
                QVERIFY2(std::isdigit(uchar(c)) || (c >= 'A' && c <= 'F'), r.constData());
        }
        // "A" reports channel 2's 16 samples of 100 au: sum 1600, mean 100.0.
        const QByteArray a = send(sim, "A", t).mid(1);
        QCOMPARE(a.mid(0, 1), QByteArray("2"));
        QCOMPARE(a.mid(1, 6), QByteArray("000640"));
        QCOMPARE(a.mid(15, 4), QByteArray("0010"));
        QCOMPARE(a.mid(35, 8), floatHex(100.0f));

        // Commands the program sends without reading a reply leave nothing on the line.
        for (const QByteArray& c :
             {QByteArray("s00000010"), QByteArray("S0010"), moveCommand(20, 100), QByteArray("X"),
              QByteArray("v3F800000"), QByteArray("g"), QByteArray("!"), QByteArray("!!")})
            QCOMPARE(send(sim, c, t + 10), QByteArray());
        // Unknown and malformed commands get no answer either.
        for (const QByteArray& c : {QByteArray("m"), QByteArray("Q"), QByteArray("?1"), QByteArray("l0100"),
                                    QByteArray("W12"), QByteArray("LL")})
            QCOMPARE(send(sim, c, t + 10), QByteArray());
        QCOMPARE(sim.output(0), quint8(0x12));
        QCOMPARE(sim.motorSettings(), QByteArray("0010"));
    }

    void linesAreFramedByCarriageReturnOnly() {
        SimInstrument sim(quietConfig());
        // The probe's stop-and-version burst: two stops, an empty line, then the query.
        QCOMPARE(sim.receive("\r!\r!\r\rV\r", 0), QByteArray("System Controller firmware version 1.05\r"));
        QCOMPARE(sim.receive("\n?\r\n", 0), QByteArray("?000000000000\r\n"));
        QCOMPARE(sim.receive("?", 0), QByteArray());
        QCOMPARE(sim.receive("\r", 0), QByteArray("?000000000000\r\n"));
        QCOMPARE(sim.receive("?\rR\r", 0), QByteArray("?000000000000\r\nR00\r\n"));
        // A run of garbage longer than any command is dropped whole; the next command still works.
        QCOMPARE(sim.receive(QByteArray(1000, 'x') + "\r?\r", 0), QByteArray("?000000000000\r\n"));
        QStringList log;
        for (const SimCommand& c : sim.commandLog())
            log << QString::fromLatin1(c.text);
        QCOMPARE(log, QStringList({"!", "!", "V", "?", "?", "?", "R", "?"}));
    }

    void positionCounterIsTwosComplementAndSetWithoutMoving() {
        SimInstrument sim(quietConfig());
        send(sim, "sFFFFFFFF", 0);
        QCOMPARE(send(sim, "?", 0), QByteArray("?00FFFFFFFF00\r\n"));
        send(sim, "sFFFFFE0C", 0);
        QCOMPARE(sim.position(), -500);
        QCOMPARE(sim.physicalPosition(), qint64(0));
        send(sim, "s000000FF", 0);
        QCOMPARE(poll(sim, 0).position, 255);
    }

    void moveReportsMovingThenItsEnding() {
        SimInstrument sim(quietConfig());
        send(sim, moveCommand(1000, 500), 0);
        LoadStatus s = poll(sim, 1000);
        QCOMPARE(s.status, 11);
        QVERIFY2(std::abs(s.position - 500) <= 1, qPrintable(QString::number(s.position)));
        s = poll(sim, 2500);
        QCOMPARE(s.status, 0);
        QCOMPARE(s.position, 1000);

        send(sim, moveCommand(0, 500), 3000);
        send(sim, "!", 3400);
        s = poll(sim, 5000);
        QCOMPARE(s.status, 1);
        QVERIFY(std::abs(s.position - 800) <= 1);

        send(sim, moveCommand(0, 500), 6000);
        send(sim, "!!", 6200);
        QCOMPARE(poll(sim, 7000).status, 3);

        // A move to where the counter already is ends at once.
        send(sim, moveCommand(sim.position(), 500), 8000);
        QCOMPARE(poll(sim, 8000).status, 0);
    }

    void doublingAndServoFactorSetTheStepRate() {
        SimInstrument sim(quietConfig());
        sim.removeFiber();
        send(sim, moveCommand(100000, 1000), 0);
        QCOMPARE(poll(sim, 1000).position, 1000);
        send(sim, "X", 1000);
        QCOMPARE(poll(sim, 2000).position, 3000);
        // "v" scales the step period of the move: twice the period is half the speed, and the factor
        // replaces the previous one rather than compounding.
        send(sim, "v" + floatHex(2.0f), 2000);
        QCOMPARE(poll(sim, 3000).position, 4000);
        send(sim, "v" + floatHex(2.0f), 3000);
        QCOMPARE(poll(sim, 4000).position, 5000);
        send(sim, "v" + floatHex(0.5f), 4000);
        QCOMPARE(poll(sim, 5000).position, 9000);
        QCOMPARE(sim.stepRate(), 4000.0);
        // A meaningless factor is ignored.
        send(sim, "v" + floatHex(-1.0f), 5000);
        QCOMPARE(poll(sim, 5500).position, 11000);
        send(sim, "!", 5500);
        // "X" and "v" while idle change nothing for the next move.
        send(sim, "X", 6000);
        send(sim, moveCommand(12000, 1000), 6000);
        QCOMPARE(poll(sim, 7000).position, 12000);
    }

    void hardLimitsStopMovesAndShowOnTheInputs() {
        SimInstrument sim(quietConfig());
        send(sim, "s00000000", 0);
        send(sim, moveCommand(-200000, 5000), 0);
        LoadStatus s = poll(sim, 2000);
        QCOMPARE(s.status, 4);
        QCOMPARE(sim.physicalPosition(), qint64(-2500));
        QCOMPARE(s.position, -2500);
        QCOMPARE(send(sim, "R", 2000), QByteArray("R10\r\n"));
        // Homing as the program does it: call this point -500 and go to zero.
        send(sim, "sFFFFFE0C", 2000);
        send(sim, moveCommand(0, 5000), 2000);
        s = poll(sim, 3000);
        QCOMPARE(s.status, 0);
        QCOMPARE(s.position, 0);
        QCOMPARE(sim.physicalPosition(), qint64(-2000));
        QCOMPARE(send(sim, "R", 3000), QByteArray("R00\r\n"));
        // A move further into a closed limit ends at once.
        send(sim, moveCommand(-200000, 5000), 3000);
        send(sim, moveCommand(-300000, 5000), 4000);
        QCOMPARE(poll(sim, 4000).status, 4);
        QCOMPARE(sim.physicalPosition(), qint64(-2500));
        // The open limit lies beyond the program's travel.
        sim.removeFiber();
        send(sim, moveCommand(300000, 20000), 5000);
        s = poll(sim, 30000);
        QCOMPARE(s.status, 4);
        QCOMPARE(sim.physicalPosition(), qint64(205000));
        QCOMPARE(send(sim, "R", 30000), QByteArray("R20\r\n"));
    }

    void fiberLoadFollowsTheSecantModulusLaw() {
        SimConfig c = quietConfig(5.0);
        SimInstrument sim(c);
        // Slack first: no load until 300 steps.
        send(sim, moveCommand(300, 1000), 0);
        QCOMPARE(poll(sim, 1000).load, qint64(6400));
        // 1 % of 500 mm is 5000 steps: 72 GPa * 1.03 = 741.6 MPa on 125 um glass.
        send(sim, moveCommand(5300, 5000), 1000);
        QCOMPARE(poll(sim, 3000).position, 5300);
        const double area = 3.14159265358979 * 62.5e-6 * 62.5e-6;
        QVERIFY(std::abs(sim.load() - 741.6e6 * area) < 1e-6);
        QCOMPARE(poll(sim, 3000).load, qRound64((100 + 51 * 741.6e6 * area) * 64));
        // The coating carries CoatingEA * strain on top.
        c.coatingEA = 200;
        sim.setConfig(c);
        QVERIFY(std::abs(sim.load() - (741.6e6 * area + 2.0)) < 1e-6);
    }

    // The wound fiber creeps: at rest its load relaxes by the creep share over a few time
    // constants, and a fiber pulled further creeps from its new stretch.
    void heldFiberRelaxes() {
        SimConfig c = quietConfig(5.0);
        c.creepShare = 0.005;
        c.creepSeconds = 30;
        SimInstrument sim(c);
        send(sim, moveCommand(5300, 5000), 0);
        QCOMPARE(poll(sim, 2000).position, 5300);
        const double start = sim.load();
        poll(sim, 32000); // one time constant
        const double relaxed = sim.load();
        QVERIFY2(relaxed < start * (1 - 0.5 * 0.005) && relaxed > start * (1 - 0.9 * 0.005),
                 qPrintable(QStringLiteral("%1 -> %2").arg(start).arg(relaxed)));
        poll(sim, 300000);
        const double settled = sim.load();
        QVERIFY2(std::abs(settled / start - 0.995) < 0.001,
                 qPrintable(QStringLiteral("%1 -> %2").arg(start).arg(settled)));
    }

    void pullBreaksTheFiberAndKeepsThePeak() {
        SimInstrument sim(quietConfig(1.0));
        send(sim, sampling(0, 64, 4090), 0);
        send(sim, moveCommand(200000, 2000, 8, 1), 0);
        const qint64 breakAt = expectedBreakStep(1.0);
        const double breakLoad = 1e9 * SimFiber::glassArea(sim.config());
        qint64 lastLoad = 0;
        double t = 0;
        // Load rises steadily up to the break.
        for (; t < 1000.0 * (breakAt - 400) / 2000; t += 100) {
            const LoadStatus s = poll(sim, t);
            QCOMPARE(s.status, 11);
            QVERIFY(s.load >= lastLoad);
            lastLoad = s.load;
        }
        const LoadStatus after = poll(sim, 1000.0 * (breakAt + 400) / 2000);
        QCOMPARE(after.status, 11);
        QCOMPARE(after.load, qint64(6400)); // nothing left but the intercept
        QVERIFY(sim.fiber().broken());
        const double peakAverage = double(after.peak) / 64;
        QVERIFY2(std::abs(peakAverage - (100 + 51 * breakLoad)) < 0.02,
                 qPrintable(QString::number(peakAverage)));

        send(sim, "!!", t + 5000);
        QCOMPARE(poll(sim, t + 6000).status, 3);
        // The peak survives the end of the move, and "F" gives its time and position.
        const QByteArray f = send(sim, "F", t + 7000).mid(1, 59);
        QCOMPARE(f.mid(0, 1), QByteArray("1"));
        QCOMPARE(f.mid(35, 8).toLongLong(nullptr, 16), after.peak);
        QCOMPARE(f.mid(51, 8).toLongLong(nullptr, 16), breakAt);
        QVERIFY(std::abs(f.mid(43, 8).toLongLong(nullptr, 16) - 1000.0 * breakAt / 2000) <= 1.5);
        // The next move starts a new peak.
        send(sim, moveCommand(breakAt + 100, 1000), t + 8000);
        QCOMPARE(poll(sim, t + 9000).peak, qint64(6400));
    }

    void brokenFiberIsReplacedWhenTheCapstansReturn() {
        SimConfig c = quietConfig(0.5);
        SimInstrument sim(c);
        send(sim, moveCommand(10000, 5000), 0);
        QCOMPARE(poll(sim, 3000).status, 0);
        QVERIFY(sim.fiber().broken());
        send(sim, moveCommand(0, 5000), 3000);
        QCOMPARE(poll(sim, 6000).status, 0);
        QVERIFY(sim.fiber().intact());
        QCOMPARE(sim.state().fibersThreaded, 2);
        send(sim, moveCommand(3000, 5000), 6000);
        QVERIFY(poll(sim, 8000).load > 6400);

        c.autoThread = false;
        SimInstrument manual(c);
        send(manual, moveCommand(10000, 5000), 0);
        send(manual, moveCommand(0, 5000), 3000);
        QCOMPARE(poll(manual, 6000).status, 0);
        QVERIFY(manual.fiber().broken());
        manual.threadFiber();
        send(manual, moveCommand(3000, 5000), 6000);
        QVERIFY(poll(manual, 8000).load > 6400);

        // Without a fiber only a hung mass loads the cell.
        c.fiberPresent = false;
        SimInstrument empty(c);
        send(empty, moveCommand(50000, 5000), 0);
        QCOMPARE(poll(empty, 20000).load, qint64(6400));
        empty.setExtraLoad(9.81);
        QCOMPARE(poll(empty, 20000).load, qRound64((100 + 51 * 9.81) * 64));
    }

    void loadThresholdEndsAPull() {
        SimInstrument sim(quietConfig(5.0));
        // Stop at 5 N: signal 355 au on channel 0.
        send(sim, sampling(0, 64, 355), 0);
        send(sim, moveCommand(200000, 1000, 95), 0);
        const LoadStatus s = poll(sim, 20000);
        QCOMPARE(s.status, 7);
        QVERIFY(sim.load() >= 5.0);
        QVERIFY2(sim.load() < 5.0 + 0.05, qPrintable(QString::number(sim.load())));
        QVERIFY(sim.fiber().intact());
        // Moving back unloads the fiber and is not stopped by the threshold.
        send(sim, moveCommand(0, 5000), 20000);
        QCOMPARE(poll(sim, 30000).status, 0);
        // A threshold already reached ends the next pull that checks it at once; a pull that does
        // not check it runs past it.
        sim.setExtraLoad(10);
        const qint32 before = sim.position();
        send(sim, moveCommand(1000, 10, 95), 30000);
        QCOMPARE(poll(sim, 30000).status, 7);
        QCOMPARE(sim.position(), before);
        send(sim, moveCommand(before + 10, 1000, 8), 30000);
        QCOMPARE(poll(sim, 31000).status, 0);
        QCOMPARE(sim.position(), before + 10);
    }

    void interruptedMoveWaitsForResumeOrStop() {
        SimConfig c = quietConfig();
        c.faults.interruptAt = 500;
        SimInstrument sim(c);
        send(sim, moveCommand(1000, 1000), 0);
        LoadStatus s = poll(sim, 2000);
        QCOMPARE(s.status, 12);
        QCOMPARE(s.position, 500);
        send(sim, "g", 2000);
        s = poll(sim, 2300);
        QCOMPARE(s.status, 11);
        QVERIFY(std::abs(s.position - 800) <= 1);
        QCOMPARE(poll(sim, 3000).status, 0);
        // Back across the interrupt position, ended there by "!".
        send(sim, moveCommand(0, 1000), 3000);
        QCOMPARE(poll(sim, 4000).status, 12);
        send(sim, "!", 4000);
        s = poll(sim, 5000);
        QCOMPARE(s.status, 1);
        QCOMPARE(s.position, 500);
        // The instrument's stop key interrupts too.
        SimInstrument keyed(quietConfig());
        send(keyed, moveCommand(1000, 1000), 0);
        keyed.advanceTo(200);
        keyed.setStopKey(true);
        QCOMPARE(send(keyed, "R", 300), QByteArray("R02\r\n"));
        QCOMPARE(poll(keyed, 1000).status, 12);
        keyed.setStopKey(false);
        send(keyed, "g", 1000);
        QCOMPARE(poll(keyed, 3000).status, 0);
    }

    void localControlRefusesMovesAndOverloadEndsTheNext() {
        SimConfig c = quietConfig();
        c.faults.localControl = true;
        SimInstrument sim(c);
        QCOMPARE(send(sim, "?", 0), QByteArray("?0A0000000000\r\n"));
        send(sim, moveCommand(1000, 1000), 0);
        QCOMPARE(poll(sim, 1000).status, 10);
        QCOMPARE(sim.position(), 0);
        SimFaults f = sim.faults();
        f.localControl = false;
        sim.setFaults(f);
        QCOMPARE(poll(sim, 1000).status, 0);
        send(sim, moveCommand(1000, 1000), 1000);
        // Switching to local control mid-move ends the move.
        f.localControl = true;
        sim.advanceTo(1500);
        sim.setFaults(f);
        QCOMPARE(poll(sim, 2500).status, 10);
        QVERIFY(std::abs(sim.position() - 500) <= 1);
        f.localControl = false;
        f.overload = true;
        sim.setFaults(f);
        send(sim, moveCommand(2000, 1000), 3000);
        QCOMPARE(poll(sim, 3000).status, 7);
        send(sim, moveCommand(2000, 1000), 3000);
        QCOMPARE(poll(sim, 3100).status, 11);
    }

    void replyFaultsShapeTheBytes() {
        SimConfig c = quietConfig();
        c.faults.stray = true;
        c.faults.lowercase = true;
        SimInstrument sim(c);
        send(sim, "sFFFFFFAB", 0);
        QCOMPARE(send(sim, "?", 0), QByteArray("~#*?00ffffffab00\r\n"));
        QCOMPARE(send(sim, "W0000", 0), QByteArray("~#*W\r\n"));

        SimFaults f;
        f.badHex = SimFaults::BadHex::Next;
        sim.setFaults(f);
        QCOMPARE(send(sim, "W0000", 0), QByteArray("W\r\n")); // no field to spoil
        QCOMPARE(send(sim, "?", 0), QByteArray("?00FFFFFFAB0G\r\n"));
        QCOMPARE(send(sim, "?", 0), QByteArray("?00FFFFFFAB00\r\n"));
        f.badHex = SimFaults::BadHex::Every;
        sim.setFaults(f);
        QCOMPARE(send(sim, "R", 0), QByteArray("R0G\r\n"));
        QCOMPARE(send(sim, "R", 0), QByteArray("R0G\r\n"));

        f = SimFaults{};
        f.silenceAfter = sim.commandCount() + 2;
        sim.setFaults(f);
        QCOMPARE(send(sim, "R", 0), QByteArray("R00\r\n"));
        QCOMPARE(send(sim, "?", 0), QByteArray("?00FFFFFFAB00\r\n"));
        QCOMPARE(send(sim, "?", 0), QByteArray());
        QCOMPARE(send(sim, "V", 0), QByteArray());
        // Commands are still carried out while silent.
        send(sim, "s00000001", 0);
        QCOMPARE(sim.position(), 1);

        sim.setFaults(SimFaults{});
        sim.setFirmwareVersion("1.01");
        QCOMPARE(send(sim, "V", 0), QByteArray("System Controller firmware version 1.01\r"));
    }

    void loadCellChannelsSamplesAndClipping() {
        SimConfig c = quietConfig();
        c.fiberPresent = false;
        c.extraLoad = 10;
        SimInstrument sim(c);
        const auto average = [&](const QByteArray& l) {
            send(sim, l, 0);
            const LoadStatus s = poll(sim, 0);
            return double(s.load) / sim.loadCell().samples();
        };
        QCOMPARE(average(sampling(0, 100, 4090)), 100 + 51 * 10.0);
        QCOMPARE(average(sampling(1, 100, 4090)), 100 + 204 * 10.0);
        QCOMPARE(average(sampling(2, 100, 4090)), 4095.0); // 8260 au clipped by the converter
        // Channel F keeps the current channel; samples are held to 1..256.
        QCOMPARE(send(sim, sampling(15, 0, 4090), 0), QByteArray("l02\r\n"));
        QCOMPARE(sim.loadCell().samples(), 1);
        send(sim, sampling(0, 300, 4090), 0);
        QCOMPARE(sim.loadCell().samples(), 256);
        QCOMPARE(poll(sim, 0).load, qint64(610 * 256));
        // About 78 N reaches 4090 on channel 0.
        sim.setExtraLoad(78.24);
        QVERIFY(std::abs(sim.signal() - 4090) < 1);
    }

    void noiseIsGaussianOfTheConfiguredSize() {
        SimConfig c;
        c.noiseAu = 3;
        c.fiberPresent = false;
        SimInstrument sim(c);
        send(sim, sampling(0, 1, 4090), 0);
        double sum = 0, squares = 0;
        const int n = 4000;
        for (int i = 0; i < n; ++i) {
            const double v = double(poll(sim, i).load);
            sum += v;
            squares += v * v;
        }
        const double mean = sum / n;
        const double sd = std::sqrt(squares / n - mean * mean);
        QVERIFY2(std::abs(mean - 100) < 0.3, qPrintable(QString::number(mean)));
        QVERIFY2(std::abs(sd - 3) < 0.3, qPrintable(QString::number(sd)));
        // Averaging 256 samples shrinks the scatter sixteen-fold.
        send(sim, sampling(0, 256, 4090), 0);
        squares = 0;
        for (int i = 0; i < 400; ++i) {
            const double v = double(poll(sim, i).load) / 256 - 100;
            squares += v * v;
        }
        QVERIFY(std::sqrt(squares / 400) < 3.0 / 16 * 1.5);
    }

    void strengthsFollowTheWeibullDistribution() {
        SimConfig c;
        QCOMPARE(SimFiber::drawStrength(0.5, c), 5.0);
        // Shape 20: the 10 % and 90 % quantiles lie at (ln(1/0.9)/ln 2)^(1/20) and (ln 10/ln 2)^(1/20)
        // times the median.
        const double q10 = 5 * std::pow(std::log(1 / 0.9) / std::log(2.0), 0.05);
        const double q90 = 5 * std::pow(std::log(10.0) / std::log(2.0), 0.05);
        QVERIFY(std::abs(SimFiber::drawStrength(0.1, c) - q10) < 1e-9);
        std::vector<double> draws;
        SimInstrument sim(c);
        for (int i = 0; i < 401; ++i) {
            sim.threadFiber();
            draws.push_back(sim.fiber().strengthGpa());
        }
        std::sort(draws.begin(), draws.end());
        QVERIFY2(std::abs(draws[200] - 5) < 0.1, qPrintable(QString::number(draws[200])));
        QVERIFY2(std::abs(draws[40] - q10) < 0.1, qPrintable(QString::number(draws[40])));
        QVERIFY2(std::abs(draws[360] - q90) < 0.1, qPrintable(QString::number(draws[360])));
        // The break position matches the strength drawn.
        sim.removeFiber();
        sim.threadFiber();
        // (Past the slack, the take-up of 200 steps counts for half its travel.)
        QCOMPARE(sim.fiber().breakPosition(), expectedBreakStep(sim.fiber().strengthGpa(), 300 + 200 / 2));
    }

    // The load of a new fiber comes in softly over the take-up travel, and a slower pull breaks the
    // same fiber at a lower stress, as stress corrosion makes real glass do.
    void takeUpAndFatigue() {
        SimConfig c = quietConfig(1.0);
        c.takeUpSteps = 200;
        SimFiber f;
        f.thread(0, 1.0, c);
        QCOMPARE(f.strain(300, c), 0.0);
        QVERIFY(std::abs(f.strain(400, c) - 25 / 500000.0) < 1e-15); // 100² / (2 * 200) steps
        QVERIFY(std::abs(f.strain(500, c) - 100 / 500000.0) < 1e-15);
        QVERIFY(std::abs(f.strain(700, c) - 300 / 500000.0) < 1e-15); // then one for one
        QCOMPARE(SimFiber::travelForStretch(SimFiber::stretchForTravel(150, c), c), 150.0);

        c.fatigueN = 20;
        c.fatigueRefRate = 60;
        auto breakStress = [&c](double stepsPerSecond) {
            SimInstrument sim(c);
            send(sim, sampling(0, 64, 4090), 0);
            send(sim, moveCommand(200000, float(stepsPerSecond), 8, 1), 0);
            double t = 0;
            while (sim.fiber().intact() && t < 1e6)
                sim.advanceTo(t += 500);
            const double peakLoad = (double(poll(sim, t).peak) / 64 - 100) / 51;
            return peakLoad / SimFiber::glassArea(c) / 1e9; // GPa
        };
        const double fast = breakStress(4167); // about 600 MPa/s
        const double slow = breakStress(41.67);
        QVERIFY2(fast > 1.05 && slow < 0.95, qPrintable(QStringLiteral("%1 %2").arg(fast).arg(slow)));
        // A hundred times the rate: (100)^(1/21) = 1.245 times the stress.
        QVERIFY2(std::abs(fast / slow - 1.245) < 0.05, qPrintable(QString::number(fast / slow)));
    }

    void seededRunsRepeatExactly() {
        const auto run = [](quint64 seed) {
            SimConfig c;
            c.seed = seed;
            SimInstrument sim(c);
            QByteArray out = send(sim, sampling(0, 64, 4090), 0);
            out += send(sim, moveCommand(200000, 5000, 8, 1), 0);
            for (double t = 0; t < 12000; t += 137)
                out += send(sim, "L", t);
            return out + send(sim, "F", 12000) + send(sim, "A", 12000);
        };
        const QByteArray first = run(7);
        QCOMPARE(run(7), first);
        QVERIFY(run(8) != first);
    }

    void idleTimeCostsNothing() {
        SimInstrument sim;
        QElapsedTimer clock;
        clock.start();
        // Ten hours between polls while nothing moves.
        for (int i = 1; i <= 1000; ++i)
            send(sim, "L", i * 36000.0);
        QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
        // A slow move left alone for ten hours is caught up at once, step for step.
        sim.removeFiber();
        const double t0 = sim.now();
        send(sim, moveCommand(100000, 1), t0);
        clock.restart();
        QCOMPARE(poll(sim, t0 + 36e6).position, 36000);
        QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
    }
};

STAVELY_TEST(SimInstrumentTest)
#include "SimInstrumentTest.moc"
