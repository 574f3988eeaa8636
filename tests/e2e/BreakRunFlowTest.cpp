#include "experiments/BreakRun.h"
#include "experiments/Fiber.h"
#include "instrument/BreakSound.h"
#include "instrument/MoveReport.h"
#include "results/ResultAppender.h"
#include "tests/e2e/MotionRig.h"
#include "tests/support/TestRegistry.h"

#include <QTest>
#include <QTimer>
#include <algorithm>

namespace {

// The datasheet as the break run sees it: takes each row, or refuses it like a full disc.
class RecordingAppender : public ResultAppender {
public:
    bool AppendResult(const QStringList& fields) override {
        rows << fields;
        return accept;
    }
    QList<QStringList> rows;
    bool accept = true;
};

// A break run on the program's real link and motion against the simulated instrument, its load
// cell calibrated to the simulator's channel 0.
struct BreakRig : MotionRig {
    Fiber fiber{params, op};
    BreakSound sound{params, op};
    RecordingAppender results;
    BreakRun breakRun{params, fiber, link, loadCell, motion, run, sound, op, end, results};
    QList<LoadTimePlotData> shown;
    int gotoLoad = 0;
    int exports = 0;

    explicit BreakRig(double strengthGpa) : MotionRig(config(strengthGpa)) {
        sound.setPlayer([](const QString&) { return true; });
        BreakRun::Hooks& h = breakRun.hooks();
        h.ShowPlots = [this](const LoadTimePlotData& d) { shown << d; };
        h.GotoLoadPosition = [this] {
            ++gotoLoad;
            link.SetLoadSampling(-1, 256);
            motion.MoveTo(0, params.MaxStepRate, 0, 95, QStringLiteral("LOAD"));
        };
        h.ExportDatasheet = [this] { ++exports; };
        h.DataFolder = [this] { return dir.path(); };
    }
    static SimConfig config(double strengthGpa) {
        SimConfig c = SimTest::quietConfig(strengthGpa);
        c.noiseAu = 1;
        return c;
    }
    bool begin() {
        if (!start())
            return false;
        LoadCalibration& cal = loadCell.record(0);
        cal.Slope = CalField::number(51);
        cal.SlopeError = CalField::number(0.1);
        cal.Intercept = CalField::number(100);
        cal.ZeroOffset = CalField::number(0);
        sim.clearCommandLog();
        return true;
    }
    // The commands of the run without the status polls and motor settings.
    QList<QByteArray> skeleton() const {
        QList<QByteArray> out;
        for (const QByteArray& c : commands())
            if (c != "L" && c != "?" && !c.startsWith('S') && !c.startsWith('v'))
                out << c;
        return out;
    }
};

} // namespace

class BreakRunFlowTest : public QObject {
    Q_OBJECT
private slots:
    void planFromTheParameters() {
        BreakRig rig(1.0);
        Parameters& p = rig.params;
        p.GaugeLength = 500;
        p.MicronsPerStep = 1;
        p.Modulus = 72;
        p.MaxStepRate = 5000;
        p.MinServoLoad = 0.5f;

        p.ExptType = 1;
        p.ExptStressRate = 60;
        p.PreloadType = 1;
        p.PreloadLoad = 0.2;
        BreakRun::Plan plan = rig.breakRun.MakePlan();
        QVERIFY(std::abs(plan.PullSpeed - 416.6667) < 1e-3);
        QCOMPARE(plan.PreloadForce, 0.5); // raised to the servo's minimum
        QVERIFY(plan.refusal.isEmpty());
        p.MaxStepRate = 400;
        plan = rig.breakRun.MakePlan();
        QCOMPARE(plan.refusalTitle, QStringLiteral("STRESS RATE TOO FAST"));
        // The fastest rate allowed follows the fixed text: 400 steps/s x 1 um x 72 GPa / 500 mm.
        QCOMPARE(plan.refusal,
                 QStringLiteral("The requested stress rate is too fast:\r\rCheck that the gauge length "
                                "is correct or\rdecrease the stress rate.\r\rThe fastest stress rate this "
                                "gauge length allows is 57.6 MPa/s."));
        p.MaxStepRate = 5000;

        // Strain rate: 5 %/min over 500 mm; always a preload, to the servo's minimum.
        p.ExptType = 2;
        p.ExptStrainRate = 5;
        p.PreloadType = 0;
        plan = rig.breakRun.MakePlan();
        QVERIFY(std::abs(plan.PullSpeed - 416.6667) < 1e-3);
        QVERIFY(std::abs(plan.T5 - 60) < 1e-9);
        QCOMPARE(plan.RecordPeriod, 0.12f);
        QCOMPARE(plan.PreloadForce, 0.5);
        QCOMPARE(plan.PreloadSpeed, 5000.0); // the preload speed type's, though none was chosen
        p.PreloadSpeedMode = 2;
        p.PreloadUserSpeed = 1500;
        QCOMPARE(rig.breakRun.MakePlan().PreloadSpeed, 1500.0);
        p.PreloadSpeedMode = 0;
        p.ExptStrainRate = 70; // 5833 steps/s
        QCOMPARE(rig.breakRun.MakePlan().refusalTitle, QStringLiteral("STRAIN RATE TOO FAST"));
        QCOMPARE(rig.breakRun.MakePlan().refusal.section(QStringLiteral("\r\r"), -1),
                 QStringLiteral("The fastest strain rate this gauge length allows is 60 %/min."));

        // Stress preload of 0.01 MPa or less is none; the slow preload speed is 0.3 %/min.
        p.ExptType = 0;
        p.ExptSpeed = 250;
        p.PreloadType = 2;
        p.PreloadStress = 0.01;
        p.PreloadSpeedMode = 1;
        plan = rig.breakRun.MakePlan();
        QCOMPARE(plan.PreloadForce, 0.0);
        QCOMPARE(plan.PullSpeed, 250.0);
        QCOMPARE(plan.PreloadSpeed, 0.0); // no preload move
        p.PreloadStress = 100;
        plan = rig.breakRun.MakePlan();
        QVERIFY(std::abs(plan.PreloadForce - rig.fiber.Stress2Load(100)) < 1e-12);
        QVERIFY(std::abs(plan.PreloadSpeed - 25) < 1e-9);

        // A static run holds its preload: nothing is computed from its zero speed.
        p.ExptType = 3;
        plan = rig.breakRun.MakePlan();
        QVERIFY(plan.refusal.isEmpty());
        QCOMPARE(plan.PullSpeed, 0.0);
        QCOMPARE(plan.T5, 0.0);
        QCOMPARE(plan.RecordPeriod, 0.0f);
    }

    // What keeps a result out of the statistics, as its comment says it; and what tells a preload
    // reached from an overload on the way to it.
    void disturbedResultsAreMarked_data() {
        QTest::addColumn<bool>("fault");
        QTest::addColumn<bool>("interrupted");
        QTest::addColumn<int>("exptType");
        QTest::addColumn<double>("setRate");
        QTest::addColumn<double>("achieved");
        QTest::addColumn<bool>("tooFewPoints");
        QTest::addColumn<QString>("reasons");
        const QString fault = QStringLiteral("communication fault during the pull");
        QTest::newRow("undisturbed") << false << false << 1 << 100.0 << 104.0 << false << QString();
        QTest::newRow("10 % off is held") << false << false << 1 << 100.0 << 110.0 << false << QString();
        QTest::newRow("caught up after an interruption")
            << false << true << 1 << 100.0 << 389.4 << false
            << QStringLiteral("pull interrupted at the instrument; achieved 389 MPa/s against 100 set");
        QTest::newRow("strain rate too slow") << false << false << 2 << 5.0 << 4.4 << false
                                              << QStringLiteral("achieved 4.40 %/min against 5 set");
        const QString zero = QStringLiteral("rates set to zero, too few data points");
        QTest::newRow("fault, rates set to zero")
            << true << false << 1 << 60.0 << 0.0 << true << fault + QStringLiteral("; ") + zero;
        QTest::newRow("rates set to zero are no result")
            << false << false << 1 << 60.0 << 0.0 << true << zero;
        QTest::newRow("nor in a speed run") << false << false << 0 << 0.0 << 0.0 << true << zero;
        QTest::newRow("a speed run holds no rate") << false << false << 0 << 0.0 << 0.0 << false << QString();
        QTest::newRow("slow rate, three figures") << false << false << 1 << 0.6 << 0.7234 << false
                                                  << QStringLiteral("achieved 0.723 MPa/s against 0.6 set");
    }
    void disturbedResultsAreMarked() {
        QFETCH(bool, fault);
        QFETCH(bool, interrupted);
        QFETCH(int, exptType);
        QFETCH(double, setRate);
        QFETCH(double, achieved);
        QFETCH(bool, tooFewPoints);
        QFETCH(QString, reasons);
        BreakRun::Disturbance d;
        d.fault = fault;
        d.interrupted = interrupted;
        BreakResult result;
        result.StressRate = exptType == 1 ? achieved : 0;
        result.StrainRate = exptType == 2 ? achieved : 0;
        result.tooFewPoints = tooFewPoints;
        QCOMPARE(BreakRun::IgnoreReasons(d, exptType, setRate, result).join(QStringLiteral("; ")), reasons);

        // Status 7 of the preload move: the preload when the load is there and the signal in range.
        QVERIFY(BreakRun::PreloadReached(1.0, 151, 1.0));
        QVERIFY(BreakRun::PreloadReached(0.95, 148, 1.0));
        QVERIFY(!BreakRun::PreloadReached(0.02, 101, 1.0));  // overloaded at the start: nothing on the fiber
        QVERIFY(!BreakRun::PreloadReached(80.0, 4095, 1.0)); // the converter at its end
    }

    void refusedRunsMoveNothing() {
        BreakRig rig(1.0);
        QVERIFY(rig.begin());
        rig.params.ExptType = 1;
        rig.params.ExptStressRate = 6000;
        rig.op.answer(MsgResult::Ok);
        rig.breakRun.stavelyRunToBreak();
        QCOMPARE(rig.op.last().title, QStringLiteral("STRESS RATE TOO FAST"));
        QCOMPARE(rig.op.last().style, int(MsgStyle::Exclamation));
        // A static run without a preload has no load to hold.
        rig.params.ExptType = 3;
        rig.params.PreloadType = 0;
        rig.op.answer(MsgResult::Ok);
        rig.breakRun.stavelyRunToBreak();
        QCOMPARE(rig.op.last().title, QStringLiteral("PRELOAD NEEDED"));
        QCOMPARE(rig.op.last().text, QStringLiteral("Static - must specify preloading"));
        // Nor one whose hold load is below the break rule's minimum: its break would go unseen.
        rig.params.PreloadType = 1;
        rig.params.PreloadLoad = 2;
        rig.params.MinBreakLoad = 5;
        rig.op.answer(MsgResult::Ok);
        rig.breakRun.stavelyRunToBreak();
        QCOMPARE(rig.op.last().title, QStringLiteral("HOLD LOAD TOO LOW"));
        // A speed of 0 would be a move the controller ends at once, and a run without a pull.
        rig.params.ExptType = 0;
        rig.params.ExptSpeed = 0;
        rig.op.answer(MsgResult::Ok);
        rig.breakRun.stavelyRunToBreak();
        QCOMPARE(rig.op.last().title, QStringLiteral("SPEED IS ZERO"));
        rig.params.ExptSpeed = 1000;
        rig.params.PreloadType = 1;
        rig.params.PreloadLoad = 1;
        rig.params.PreloadSpeedMode = 2;
        rig.params.PreloadUserSpeed = 0;
        rig.op.answer(MsgResult::Ok);
        rig.breakRun.stavelyRunToBreak();
        QCOMPARE(rig.op.last().title, QStringLiteral("SPEED IS ZERO"));
        QCOMPARE(rig.op.last().text,
                 QStringLiteral("The preload speed works out to 0 steps/s: no break test "
                                "was started.\r\rCheck the preload speed and the gauge length."));
        for (const QByteArray& c : rig.commands())
            QVERIFY2(!c.startsWith('M'), c.constData());
        QCOMPARE(rig.run.BreakRunActive, qint16(0));
        QVERIFY(rig.results.rows.isEmpty());
    }

    // A preload that is never reached ends the run without a pull, and says why: no fiber, and
    // the capstans run into the end of travel. The operator's own stop stays silent.
    void preloadNeverReachedSaysWhy() {
        BreakRig rig(1.0);
        QVERIFY(rig.begin());
        rig.sim.removeFiber();
        rig.sim.update([](SimInstrument& i) { i.receive("s00030958\r", i.now()); }); // 199000, near the end
        rig.params.ExptType = 0;
        rig.params.ExptSpeed = 1000;
        rig.params.PreloadType = 0; // none chosen; the strain-rate case below raises it
        rig.params.ExptType = 2;
        rig.params.ExptStrainRate = 5;
        rig.params.PreloadSpeedMode = 0;
        rig.sim.clearCommandLog();
        rig.op.answer(MsgResult::Ok);
        rig.breakRun.stavelyRunToBreak();
        QCOMPARE(rig.op.prompts.size(), 1);
        QCOMPARE(rig.op.last().title, QStringLiteral("PRELOAD NOT REACHED"));
        QCOMPARE(rig.op.last().text,
                 QStringLiteral("The end of travel was reached before the preload of 0.50 N.\r\n"
                                "Check that a fiber is loaded.\r\rNo break test was run."));
        QCOMPARE(rig.op.last().style, int(MsgStyle::Exclamation));
        QList<QByteArray> moves;
        for (const QByteArray& c : rig.commands())
            if (c.startsWith('M'))
                moves << c;
        QCOMPARE(moves, QList<QByteArray>{SimTest::moveCommand(200000, 5000, 95, 0)});
        QVERIFY(rig.results.rows.isEmpty());
    }

    // A stress-rate run with a load preload, byte for byte, to its reported break and result row.
    void stressRateRunWithPreloadToItsRow() {
        BreakRig rig(0.5); // breaks near 6 N
        QVERIFY(rig.begin());
        Parameters& p = rig.params;
        p.ExptType = 1;
        p.ExptStressRate = 100;
        p.PreloadType = 1;
        p.PreloadLoad = 1;
        p.PreloadSpeedMode = 2;
        p.PreloadUserSpeed = 2000;
        p.SpecimenCount = 7;
        p.MinBreakLoad = 2;
        rig.op.answerWith([&rig](const Prompt& prompt) {
            // Asked while the sound calls the operator, after the break stopped the motor.
            const bool report =
                prompt.title == QStringLiteral("REPORT RESULTS") && rig.run.BreakRunActive == 0;
            return QVariant(int(report ? MsgResult::Yes : MsgResult::No));
        });
        rig.breakRun.stavelyRunToBreak();
        QCOMPARE(rig.motion.MoveResult(), 0); // back at the load position
        QCOMPARE(rig.op.prompts.size(), 1);
        const Prompt& ask = rig.op.prompts[0];
        QCOMPARE(ask.style, int(MsgStyle::YesNo + MsgStyle::Question));
        QVERIFY(ask.text.startsWith(QStringLiteral("Fiber break detected (")));
        QVERIFY(ask.text.endsWith(QStringLiteral(" N)\rReport results?")));

        const double speed = 100.0 / 72 * 500 * 1.2; // with the compliance factor of 20 < R <= 120
        const QList<QByteArray> expected{
            SimTest::sampling(0, 64, 4090),
            SimTest::sampling(0, 64, 4090),
            SimTest::sampling(0, 64, 51 + 100),
            SimTest::moveCommand(200000, 2000, 95, 0),
            SimTest::moveCommand(200000, float(speed), 8, 1),
            "!!",
            "F",
            SimTest::sampling(0, 256, 4090),
            SimTest::moveCommand(0, 5000, 0, 0),
        };
        QCOMPARE(rig.skeleton(), expected);
        const QList<QByteArray> all = rig.commands();
        const qsizetype pull = all.indexOf(expected[4]);
        const qsizetype stop = all.indexOf("!!");
        // The servo corrected the pull, and the last word before the analysis was "L" then "F".
        const auto corrections =
            std::count_if(all.begin() + pull, all.begin() + stop,
                          [](const QByteArray& c) { return c.startsWith('v') && c.size() == 9; });
        QVERIFY2(corrections >= 5, qPrintable(QString::number(corrections)));
        QCOMPARE(all[all.indexOf("F") - 1], QByteArray("L"));

        QCOMPARE(rig.results.rows.size(), 1);
        const QStringList row = rig.results.rows[0];
        QCOMPARE(row.size(), 17);
        QCOMPARE(row[0], QStringLiteral("7"));
        QCOMPARE(p.SpecimenCount, 8);
        QCOMPARE(row[5], QStringLiteral("100 MPa/s"));
        const double breakStress = row[3].toDouble();
        QVERIFY2(breakStress > 450 && breakStress < 550, qPrintable(row[3]));
        const double rate = row[10].toDouble();
        QVERIFY2(std::abs(rate - 100) < 5, qPrintable(row[10]));
        QVERIFY(row[16].contains(QStringLiteral(" 1N/2000 ")));

        QCOMPARE(rig.shown.size(), 1);
        QCOMPARE(rig.shown[0].captions[2], QStringLiteral("SPEED vs TIME"));
        QVERIFY(rig.shown[0].basePath.startsWith(rig.dir.path()));
        QVERIFY(rig.shown[0].basePath.endsWith(QStringLiteral("_007")));
        const BreakResult& res = rig.breakRun.lastResult();
        QVERIFY(res.LtCount > 20 && res.RateStartIndex < res.BreakIndex);
        QCOMPARE(rig.gotoLoad, 1);
        QCOMPARE(rig.run.BreakRunActive, qint16(0));
    }

    void speedRunAnsweredNoRecordsNothing() {
        BreakRig rig(0.5);
        QVERIFY(rig.begin());
        rig.params.ExptType = 0;
        rig.params.ExptSpeed = 4000;
        rig.params.PreloadType = 0;
        rig.params.SpecimenCount = 3;
        rig.op.answer(MsgResult::No);
        rig.breakRun.stavelyRunToBreak();
        QCOMPARE(rig.motion.MoveResult(), int(MoveStatus::Break));
        QCOMPARE(rig.op.last().title, QStringLiteral("REPORT RESULTS"));
        // No preload move, no servo: the pull starts at once, at the set speed.
        const QList<QByteArray> expected{SimTest::sampling(0, 64, 4090), SimTest::sampling(0, 64, 4090),
                                         SimTest::moveCommand(200000, 4000, 8, 1), "!!"};
        QTRY_COMPARE(rig.skeleton(), expected); // "!!" is the last word: the line may still carry it
        for (const QByteArray& c : rig.commands())
            QVERIFY(!c.startsWith('v'));
        QVERIFY(rig.results.rows.isEmpty());
        QCOMPARE(rig.params.SpecimenCount, 3);
        QCOMPARE(rig.gotoLoad, 0);
        QVERIFY(rig.shown.isEmpty());
    }

    // With a minimum break load above the peak, the snapped fiber is not seen as a break: the pull
    // runs on to the end of travel.
    void noBreakBeforeTheEndOfTravel() {
        BreakRig rig(0.5);
        QVERIFY(rig.begin());
        rig.motion.setPosition(193000);
        rig.link.SetControllerPosition(193000);
        rig.params.ExptType = 0;
        rig.params.ExptSpeed = 5000;
        rig.params.MinBreakLoad = 25;
        rig.op.answer(MsgResult::Ok);
        rig.breakRun.stavelyRunToBreak();
        QCOMPARE(rig.motion.MoveResult(), int(MoveStatus::Done));
        QCOMPARE(rig.op.last().title, QStringLiteral("NO BREAK DETECTED"));
        QCOMPARE(rig.op.last().text,
                 QStringLiteral("No break detected before end of travel.\r\nThe fiber probably slipped."));
        QVERIFY(rig.sim.state().fiberBroken);
        QVERIFY(rig.results.rows.isEmpty());
    }

    // The controller falls silent in the middle of the pull (cable pulled): the time-out dialog
    // resolves it, the motor is stopped once the line answers again, and no half result is recorded.
    void aControllerFallingSilentEndsThePullWithoutARow() {
        BreakRig rig(5.0); // far from breaking in the time the test takes
        QVERIFY(rig.begin());
        rig.params.ExptType = 0;
        rig.params.ExptSpeed = 1000;
        rig.params.SpecimenCount = 4;
        QTimer::singleShot(700, [&rig] {
            rig.sim.update([](SimInstrument& i) {
                SimFaults f = i.faults();
                f.silenceAfter = i.commandCount();
                i.setFaults(f);
            });
        });
        rig.op.answerWith([&rig](const Prompt&) {
            rig.sim.update([](SimInstrument& i) {
                SimFaults f = i.faults();
                f.silenceAfter = -1;
                i.setFaults(f);
            });
            return QVariant(1); // Retry
        });
        rig.op.answer(MsgResult::Ok);
        rig.breakRun.stavelyRunToBreak();
        QCOMPARE(rig.op.prompts.size(), 2);
        QCOMPARE(rig.op.prompts[0].title, QStringLiteral("COMMUNICATIONS TIMEOUT"));
        // The operator is told that the fault ended the test, and that the fiber is still loaded.
        QCOMPARE(rig.op.last().title, QStringLiteral("TEST STOPPED"));
        QVERIFY(rig.op.last().text.startsWith(
            QStringLiteral("The test was stopped by a communication fault with the System Controller. "
                           "Nothing was recorded.\r\n\r\nThe fiber is still whole and under load (")));
        QVERIFY(rig.breakRun.FiberLeftLoaded());
        QCOMPARE(rig.motion.MoveResult(), int(MoveStatus::OperatorStop));
        QVERIFY(!rig.sim.state().fiberBroken);
        QCOMPARE(rig.sim.state().stepRate, 0.0);
        QVERIFY(rig.commands().contains("!"));
        QVERIFY(rig.results.rows.isEmpty());
        QVERIFY(rig.shown.isEmpty());
        QCOMPARE(rig.params.SpecimenCount, 4);
        QCOMPARE(rig.run.BreakRunActive, qint16(0));
    }

    // The data file refuses the row: the operator is told and offered the export.
    void aRowTheFileRefusesOffersTheExport() {
        BreakRig rig(0.5);
        QVERIFY(rig.begin());
        rig.results.accept = false;
        rig.params.ExptType = 0;
        rig.params.ExptSpeed = 4000;
        // The row is handed over, and the failure told, before the plots show.
        int promptsAtPlots = -1;
        qsizetype rowsAtPlots = -1;
        rig.breakRun.hooks().ShowPlots = [&](const LoadTimePlotData&) {
            promptsAtPlots = int(rig.op.prompts.size());
            rowsAtPlots = rig.results.rows.size();
        };
        rig.op.answer(MsgResult::Yes);
        rig.op.answer(MsgResult::Yes);
        rig.breakRun.stavelyRunToBreak();
        QCOMPARE(promptsAtPlots, 2);
        QCOMPARE(rowsAtPlots, 1);
        QCOMPARE(rig.op.prompts.size(), 2);
        QCOMPARE(rig.op.last().title, QStringLiteral("ERROR WRITING RESULTS TO FILE"));
        QCOMPARE(rig.op.last().text,
                 QStringLiteral(
                     "A problem was encountered while writing the experimental resultsto the data file. "
                     "These results will be lost unless you exportthe datasheet to another data file.\r"
                     "Do you want to export the datasheet now?"));
        QCOMPARE(rig.op.last().style, int(MsgStyle::YesNo + MsgStyle::Critical));
        QCOMPARE(rig.exports, 1);
        QCOMPARE(rig.results.rows.size(), 1);
    }

    // A garbled reply while the break's peak, time and position are read is asked again: the row
    // never carries a load made up from a reply that reads as zeros.
    void aGarbledReplyAtTheBreakIsAskedAgain() {
        BreakRig rig(0.5);
        QVERIFY(rig.begin());
        rig.params.ExptType = 0;
        rig.params.ExptSpeed = 4000;
        rig.params.PreloadType = 0;
        rig.op.answerWith([&rig](const Prompt&) {
            rig.sim.update([](SimInstrument& i) {
                SimFaults f = i.faults();
                f.badHex = SimFaults::BadHex::Next;
                i.setFaults(f);
            });
            return QVariant(MsgResult::Yes);
        });
        rig.op.answer(1);             // "Bad hex": Retry
        rig.op.answer(MsgResult::Ok); // the garbled reply is shown once
        rig.breakRun.stavelyRunToBreak();
        QCOMPARE(rig.op.prompts.first().title, QStringLiteral("REPORT RESULTS"));
        QCOMPARE(rig.op.prompts.size(), 3);
        QCOMPARE(rig.results.rows.size(), 1);
        // No sample made up of a reply that read as zeros (load -1.96 N at position 0).
        QCOMPARE(rig.shown.size(), 1);
        for (const QString& line : rig.shown[0].dataText.split('\n')) {
            const QStringList f = line.trimmed().split('\t');
            bool numeric = false;
            const double load = f.size() >= 3 ? f[2].toDouble(&numeric) : 0;
            QVERIFY2(!numeric || load > -0.5, qPrintable(line));
        }
    }
};

STAVELY_TEST(BreakRunFlowTest)
#include "BreakRunFlowTest.moc"
