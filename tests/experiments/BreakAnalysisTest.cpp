#include "experiments/BreakAnalysis.h"
#include "experiments/Fiber.h"
#include "experiments/LoadTimeRecorder.h"
#include "params/NumberFormat.h"
#include "params/Parameters.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

namespace {

// A recorder on a virtual clock; every sample is forced in by setting the next load below it.
struct Recording {
    double clock = 0;
    LoadTimeRecorder rec;
    Recording() {
        rec.setClock([this] { return clock; });
        rec.LtStart(0.1f);
    }
    void add(double time, double load, qint32 position, double speed) {
        clock = time;
        rec.setLtNextLoad(float(load) - 1);
        QVERIFY(rec.LtSample(float(load), position, time, speed));
    }
};

struct AnalysisRig {
    Parameters params;
    ScriptedOperator op;
    Fiber fiber{params, op};
    BreakAnalysis analysis{params, fiber, op};
    AnalysisRig() {
        params.ModulusA = 0; // a linear fiber: loads map to stress and strain in proportion
        params.CoatingEA = 0;
    }
};

} // namespace

class BreakAnalysisTest : public QObject {
    Q_OBJECT
private slots:
    void recorderSamplesOnTimeOrRisingLoadAndWraps() {
        double clock = 0;
        LoadTimeRecorder rec;
        rec.setClock([&clock] { return clock; });
        QList<double> seen;
        connect(&rec, &LoadTimeRecorder::sampleTaken, this,
                [&seen](double t, double, qint32, double) { seen << t; });
        rec.LtStart(1.0f);
        QVERIFY(!rec.LtSample(0, 0, 0, 1));      // neither the period nor the threshold
        QVERIFY(rec.LtSample(0.25f, 0, 0.1, 1)); // above 0 N
        QVERIFY(!rec.LtSample(0.2f, 0, 0.2, 1)); // threshold now 0.2 N
        QVERIFY(rec.LtSample(0.21f, 0, 0.3, 1));
        clock = 2;
        QVERIFY(rec.LtSample(0.0f, 0, 2, 1)); // the period passed
        QCOMPARE(seen, (QList<double>{0.1, 0.3, 2}));
        QCOMPARE(rec.LtIndex(), 4);
        QVERIFY(!rec.LtWrapped());
        for (int k = 0; k < 997; ++k) {
            clock += 1;
            rec.LtSample(0, k, clock, 1);
        }
        QCOMPARE(rec.LtIndex(), 1);
        QVERIFY(rec.LtWrapped());
        QCOMPARE(rec.SampleCount(), 1000);
    }

    // A pull longer than the ring: the analysis keeps the last 1000 samples, in time order and
    // relative to the oldest, and fits the rates the ramp was made with.
    void knownRampThroughAWrappedRing() {
        AnalysisRig rig;
        rig.params.MicronsPerStep = 2;
        Recording r;
        const double loadRate = 0.5; // N/s
        for (int k = 0; k < 1200; ++k)
            r.add(10 + 0.1 * k, loadRate * 0.1 * k, 1000 + 3 * k, 30);
        // The break: the load falls away after the peak.
        r.add(130.05, 1.0, 4601, 30);
        BreakResult res = rig.analysis.Analyse(r.rec);
        QCOMPARE(res.LtCount, 1000);
        QCOMPARE(r.rec.LtTime(1), 0.0);
        QVERIFY(std::abs(r.rec.LtTime(1000) - (130.05 - 10 - 0.1 * 201)) < 1e-9);
        QCOMPARE(res.BreakIndex, 999);
        // Loads are kept in single precision.
        QVERIFY(std::abs(res.BreakLoad - loadRate * 119.9) < 1e-5);
        const double stressRate = rig.fiber.Load2Stress(loadRate);
        QVERIFY(std::abs(res.StressRate - stressRate) < 1e-5 * stressRate);
        const double strainRate = 60 * stressRate / 72000 * 100;
        QVERIFY(std::abs(res.StrainRate - strainRate) < 1e-5 * strainRate);
        QVERIFY(std::abs(res.SpeedRate - 2 * 30) < 1e-9); // 3 steps per 0.1 s at 2 µm a step
        QVERIFY(res.StressRateErr < 1e-3 && res.SpeedRateErr < 1e-9);
        // The window starts at the first sample at or above 80 % of the break load.
        QVERIFY(r.rec.LtLoad(res.RateStartIndex) >= 0.8 * res.BreakLoad);
        QVERIFY(r.rec.LtLoad(res.RateStartIndex - 1) < 0.8 * res.BreakLoad);
        QVERIFY(rig.op.prompts.isEmpty());
    }

    // The break reading the controller kept (its peak, taken after the pull) and the poll that saw
    // the load gone can carry the same millisecond and position, or clock readings that cross: the
    // peak still comes before the broken fiber, and the rates are those of the pull (seen on the
    // simulator: 333 ± 159 MPa/s for a 600 MPa/s pull, filed "ignore").
    void breakReadingBeforeTheBrokenFiber_data() {
        QTest::addColumn<double>("lastWholeTime"); // a last whole poll after the ramp; < 0: none
        QTest::addColumn<double>("brokenTime");
        QTest::addColumn<int>("brokenPosition");
        QTest::addColumn<double>("peakTime");
        QTest::addColumn<int>("peakPosition");
        QTest::addColumn<bool>("simulated"); // the debug key's break: the last poll saw a whole fiber
        QTest::newRow("tied in time and position") << -1.0 << 8.032 << 25068 << 8.032 << 25068 << false;
        QTest::newRow("tied in time, broken further") << -1.0 << 8.032 << 25070 << 8.032 << 25068 << false;
        QTest::newRow("tied in time, broken behind") << -1.0 << 8.032 << 25060 << 8.032 << 25068 << false;
        QTest::newRow("clocks crossing") << -1.0 << 8.030 << 25060 << 8.032 << 25068 << false;
        QTest::newRow("peak before the last whole poll")
            << 8.032 << 8.064 << 25300 << 8.020 << 25060 << false;
        QTest::newRow("debug key") << 8.032 << -1.0 << 0 << 8.032 << 25100 << true;
    }
    void breakReadingBeforeTheBrokenFiber() {
        QFETCH(double, lastWholeTime);
        QFETCH(double, brokenTime);
        QFETCH(int, brokenPosition);
        QFETCH(double, peakTime);
        QFETCH(int, peakPosition);
        QFETCH(bool, simulated);
        AnalysisRig rig;
        Recording r;
        for (int k = 0; k < 250; ++k)
            r.add(0.032 * k, 0.23 * k, 100 * k, 3100);
        if (lastWholeTime >= 0)
            r.add(lastWholeTime, 57.5, 25100, 3100);
        int brokenSlot = 0;
        if (!simulated) {
            r.add(brokenTime, 0.0, brokenPosition, 3100);
            brokenSlot = r.rec.LastSlot();
        }
        r.add(peakTime, 57.72, peakPosition, 3100);
        r.rec.markBreak(r.rec.LastSlot(), brokenSlot);
        BreakResult res = rig.analysis.Analyse(r.rec);
        QCOMPARE(double(r.rec.LtLoad(res.BreakIndex)), double(57.72f));
        if (!simulated)
            QCOMPARE(r.rec.LtLoad(res.LtCount), 0.0);
        for (int k = res.RateStartIndex; k <= res.BreakIndex; ++k)
            QVERIFY2(r.rec.LtLoad(k) > 40, qPrintable(QString::number(k)));
        const double expected = rig.fiber.Load2Stress(0.23 / 0.032);
        QVERIFY2(std::abs(res.StressRate / expected - 1) < 0.02,
                 qPrintable(QStringLiteral("%1 against %2").arg(res.StressRate).arg(expected)));
    }

    void tooFewAndTwoPointWindows() {
        {
            // Only the peak at or above 80 %: rates zero, with the warning.
            AnalysisRig rig;
            rig.op.answer(MsgResult::Ok);
            Recording r;
            r.add(0, 1, 0, 5);
            r.add(1, 2, 10, 5);
            r.add(2, 10, 20, 5);
            r.add(3, 1, 30, 5);
            const BreakResult res = rig.analysis.Analyse(r.rec);
            QVERIFY(res.tooFewPoints);
            QCOMPARE(res.StressRate, 0.0);
            QCOMPARE(res.SpeedRate, 0.0);
            QCOMPARE(rig.op.prompts.size(), 1);
            QCOMPARE(rig.op.last().title, QStringLiteral("RATES SET TO ZERO"));
            QCOMPARE(rig.op.last().text, QStringLiteral("Too few data points past 80% for rate analysis"));
            QCOMPARE(rig.op.last().style, int(MsgStyle::Exclamation));
        }
        {
            // A window whose samples share one clock reading has no slope: the same warning, not
            // rates of 0 passed off as measured.
            AnalysisRig rig;
            rig.op.answer(MsgResult::Ok);
            Recording r;
            r.add(0, 1, 0, 5);
            r.add(2, 9, 10, 5);
            r.add(2, 9.5, 20, 5);
            r.add(2, 10, 30, 5);
            r.add(3, 1, 40, 5);
            const BreakResult res = rig.analysis.Analyse(r.rec);
            QVERIFY(res.tooFewPoints);
            QCOMPARE(res.SpeedRate, 0.0);
            QCOMPARE(rig.op.prompts.size(), 1);
            QCOMPARE(rig.op.last().title, QStringLiteral("RATES SET TO ZERO"));
        }
        {
            // Two points: the slope through them, no spread.
            AnalysisRig rig;
            Recording r;
            r.add(0, 1, 0, 5);
            r.add(1, 9, 10, 5);
            r.add(3, 10, 30, 5);
            const BreakResult res = rig.analysis.Analyse(r.rec);
            QCOMPARE(res.RateStartIndex, 2);
            QCOMPARE(res.BreakIndex, 3);
            QVERIFY(std::abs(res.SpeedRate - 10) < 1e-9);
            QCOMPARE(res.SpeedRateErr, 0.0);
            QVERIFY(res.StressRate > 0);
            QCOMPARE(res.StressRateErr, 0.0);
            QVERIFY(rig.op.prompts.isEmpty());
        }
    }

    void breakIndexAndSpeedCleanUp() {
        {
            // Two equal highest loads: the earlier one is the break; a last speed more than 5 %
            // above the one before is the stop and falls back to it.
            AnalysisRig rig;
            Recording r;
            r.add(0, 1, 0, 100);
            r.add(1, 8, 0, 100);
            r.add(2, 9, 0, 100);
            r.add(3, 10, 0, 100);
            r.add(4, 10, 0, 104);
            r.add(5, 2, 0, 120);
            const BreakResult res = rig.analysis.Analyse(r.rec);
            QCOMPARE(res.BreakIndex, 4);
            QCOMPARE(r.rec.LtSpeed(5), 104.0); // within 5 %: kept
            QCOMPARE(r.rec.LtSpeed(6), 104.0);
        }
        {
            // The break at the very first sample has no speed before it to fall back on.
            AnalysisRig rig;
            rig.op.answer(MsgResult::Ok);
            Recording r;
            r.add(0, 10, 0, 100);
            r.add(1, 2, 0, 300);
            const BreakResult res = rig.analysis.Analyse(r.rec);
            QCOMPARE(res.BreakIndex, 1);
            QVERIFY(res.tooFewPoints);
            QCOMPARE(r.rec.LtSpeed(1), 100.0);
            QCOMPARE(r.rec.LtSpeed(2), 100.0);
        }
    }

    void namesMomentsAndCutNumbers() {
        const QDateTime start(QDate(2008, 12, 23), QTime(14, 14, 40));
        QCOMPARE(BreakAnalysis::BreakMoment(start, 22.4), QDateTime(QDate(2008, 12, 23), QTime(14, 15, 2)));
        QCOMPARE(BreakAnalysis::BreakMoment(start, 22.5), QDateTime(QDate(2008, 12, 23), QTime(14, 15, 2)));
        QCOMPARE(BreakAnalysis::BreakMoment(start, 23.5), QDateTime(QDate(2008, 12, 23), QTime(14, 15, 4)));
        QCOMPARE(BreakAnalysis::FileBaseName(QDateTime(QDate(2008, 12, 23), QTime(14, 15, 2)), 7),
                 QStringLiteral("20081223_141502_007"));
        QCOMPARE(BreakAnalysis::FileBaseName(QDateTime(QDate(2008, 12, 23), QTime(14, 15, 2)), 40000),
                 QStringLiteral("20081223_141502_40000"));
        const struct {
            double value;
            int decimals, width;
            const char* text;
        } cuts[] = {{5234.12345, 5, 6, "5234.1"}, {52345.5, 5, 6, "52345"},   {4.5, 5, 6, "4.5000"},
                    {-0.1234567, 5, 6, "-0.123"}, {123456.7, 5, 6, "123456"}, {12.345, 2, 3, "12"},
                    {1.256, 2, 3, "1.2"},         {0, 5, 6, "0.0000"}};
        for (const auto& c : cuts)
            QCOMPARE(BreakAnalysis::CutDecimals(c.value, c.decimals, c.width), QString::fromLatin1(c.text));
    }

    // The row and the load/time text of a small, fully known break.
    void resultRowAndDataFile() {
        AnalysisRig rig;
        Parameters& p = rig.params;
        p.ExptType = 1;
        p.ExptStressRate = 60;
        p.FiberDiameter = 125;
        p.GaugeLength = 500;
        p.Modulus = 72;
        Recording r;
        const double loads[] = {0.5, 5.0, 8.25, 9.0, 10.0, 3.0}; // exact in single precision
        for (int k = 0; k < 6; ++k)
            r.add(3601.234 + k, loads[k], 1000 + 200 * k, 400); // a controller clock of an hour
        const BreakResult res = rig.analysis.Analyse(r.rec);
        QCOMPARE(res.RateStartIndex, 3);
        QCOMPARE(res.BreakIndex, 5);

        BreakConditions c;
        c.RunStart = QDateTime(QDate(2008, 12, 23), QTime(14, 14, 58));
        c.PreloadForce = 0.5;
        c.PreloadSpeed = 5000;
        c.EndPosition = 2000;
        const QDateTime moment = BreakAnalysis::BreakMoment(c.RunStart, r.rec.LtTime(res.BreakIndex));
        const QStringList row = rig.analysis.ResultFields(r.rec, res, c, 7, moment);
        QCOMPARE(row.size(), 17);
        QCOMPARE(row[0], QStringLiteral("7"));
        QCOMPARE(row[1], QStringLiteral("10.00"));
        QCOMPARE(row[2], QStringLiteral("10.00"));
        QCOMPARE(row[3], QStringLiteral("814.87")); // 10 N over 1.2272e-8 m²
        QCOMPARE(row[4], QStringLiteral("1.1317")); // % at 72 GPa
        QCOMPARE(row[5], QStringLiteral("60 MPa/s"));
        QCOMPARE(row[6], QStringLiteral("200.00"));
        QCOMPARE(row[7], QStringLiteral("0.00"));
        QCOMPARE(row[10], QStringLiteral("71.301")); // 0.875 N/s
        QCOMPARE(row[11].count(QLatin1Char('.')), 1);
        QCOMPARE(row[11].section(QLatin1Char('.'), 1).size(), 3); // as many decimals as the rate
        QCOMPARE(row[12], QStringLiteral("4.0"));
        QCOMPARE(row[13], QStringLiteral("08/12/23"));
        QCOMPARE(row[14], QStringLiteral("14:15:02"));
        QCOMPARE(row[15], QString());
        QCOMPARE(row[16], QStringLiteral("125 500 0 72 0 0.5N/5000 08/12/23 14:14:58 2.0mm/0.35"));

        // Glass loads, stresses and strains in their shortest text; blank lines set off samples 3 to 5.
        const QString text = BreakAnalysis::DataString(r.rec, res);
        auto line = [&r](int k, const char* position, const char* time) {
            return QString::fromLatin1(position) + u'\t' + QLatin1String(time) + u'\t' +
                   generalText(r.rec.LtLoad(k)) + u'\t' + generalText(r.rec.LtStress(k)) + u'\t' +
                   generalText(r.rec.LtStrain(k)) + QStringLiteral("\t400\r\n");
        };
        QCOMPARE(
            text,
            QStringLiteral("position (µm)\ttime (s)\tload (N)\tstress (MPa)\tstrain (%)\tspeed (µm/s)\r\n") +
                line(1, "1000", "0") + line(2, "1200", "1") + QStringLiteral("\r\n") + line(3, "1400", "2") +
                line(4, "1600", "3") + line(5, "1800", "4") + QStringLiteral("\r\n") + line(6, "2000", "5"));
        QVERIFY(std::abs(r.rec.LtLoad(3) - 8.25) < 1e-12);
        QVERIFY(std::abs(r.rec.LtStress(5) - 814.873) < 1e-3);

        const LoadTimePlotData plots = BreakAnalysis::Plots(r.rec, res, 1);
        QCOMPARE(plots.captions,
                 (std::array<QString, 3>{QStringLiteral("LOAD vs TIME"), QStringLiteral("STRESS vs TIME"),
                                         QStringLiteral("SPEED vs TIME")}));
        QCOMPARE(plots.charts[2].yAxis.title, QStringLiteral("speed (µm/s)"));
        QCOMPARE(plots.charts[0].xAxis.title, QStringLiteral("time (s)"));
        QCOMPARE(plots.charts[0].curvePoints(0).size(), 3); // the analysed stretch
        QCOMPARE(plots.charts[0].curvePoints(1).size(), 3); // the rest
        // Named for the enlarged chart's read-out; a static hold's first curve is the hold.
        QCOMPARE(plots.charts[1].styles[0].name, QStringLiteral("rate fit stretch"));
        QCOMPARE(BreakAnalysis::Plots(r.rec, res, 3).charts[0].styles[0].name, QStringLiteral("hold"));
        QCOMPARE(BreakAnalysis::Plots(r.rec, res, 2).captions[1], QStringLiteral("STRAIN vs TIME"));
        QCOMPARE(BreakAnalysis::Plots(r.rec, res, 0).captions[2], QStringLiteral("STRAIN vs TIME"));
    }
};

STAVELY_TEST(BreakAnalysisTest)
#include "BreakAnalysisTest.moc"
