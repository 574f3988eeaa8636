#include "params/Parameters.h"
#include "results/DataLine.h"
#include "tests/e2e/DefaultFiberRig.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/TestRegistry.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <cmath>

namespace {

// The simulator's default fiber (5 GPa, stress corrosion n = 20) on a 20 mm gauge with little slack,
// so that a preload takes a quarter of a second; its times to failure scaled down so that a hold at
// 82 to 88 % of the strength lasts a quarter of a second to a second; its strengths drawn with a
// Weibull shape of 400, so that three fibers a level pin the median life to a few per cent.
constexpr double SimN = 20;

SimConfig staticConfig() {
    SimConfig c;
    c.seed = 19;
    c.gaugeMm = 20;
    c.slackSteps = 50;
    c.takeUpSteps = 50;
    c.weibullShape = 400;
    c.fatigueTimeScale = 0.005;
    c.instant = true;
    return c;
}

QList<DataLine::Fields> parsedRows(const DefaultFiberRig& rig) {
    QList<DataLine::Fields> out;
    for (const QString& line : rig.resultLines()) {
        DataLine::Fields f;
        if (DataLine::ParseDataLine(line, f) == 0)
            out << f;
    }
    return out;
}

} // namespace

class StaticTestFlowTest : public QObject {
    Q_OBJECT
private slots:
    // Three levels of three fibers held to their breaks through the main window's Break fiber, and a
    // fourth fiber at the lowest level that outlasts the longest hold and is recorded as a run-out;
    // then the headless statistics of the data file give back the simulator's n.
    void threeLevelsToTheStaticFatigueParameter() {
        QElapsedTimer clock;
        clock.start();
        DefaultFiberRig run(staticConfig());
        QVERIFY(run.start({{QStringLiteral("GaugeLength"), QStringLiteral("20")},
                           {QStringLiteral("ExptType"), QStringLiteral("3")},
                           {QStringLiteral("PreloadType"), QStringLiteral("2")},
                           {QStringLiteral("PreloadStress"), QStringLiteral("4100")},
                           {QStringLiteral("PreloadSpeedMode"), QStringLiteral("0")},
                           {QStringLiteral("SaveLoadTimeData"), QStringLiteral("False")},
                           {QStringLiteral("SaveLoadTimePlots"), QStringLiteral("False")}}));
        QTimer closer; // the plot window of each result
        QObject::connect(&closer, &QTimer::timeout, [&run] {
            frmLoadTimePlots* plots = run.program->plotWindow();
            if (plots != nullptr && plots->isVisible())
                plots->cmdClose->click();
        });
        closer.start(20);
        QPushButton* breakButton =
            run.program->mainWindow()->findChild<QPushButton*>(QStringLiteral("cmdBreak"));

        Parameters& p = run.program->parameters();
        const QList<double> levels{4100, 4250, 4400};
        const int fibers = 3;
        for (double level : levels) {
            p.PreloadStress = level;
            run.program->mainWindow()->StuffTextBoxes();
            for (int fiber = 0; fiber < fibers; ++fiber) {
                run.op->answer(MsgResult::Yes); // REPORT RESULTS
                breakButton->click();
                QCOMPARE(run.op->last().title, QStringLiteral("REPORT RESULTS"));
                QTRY_VERIFY(run.sim.state().fiberPresent && !run.sim.state().fiberBroken);
            }
        }
        QCOMPARE(parsedRows(run).size(), levels.size() * fibers);

        // The run-out: the longest hold (0.36 s) passes long before a fiber breaks at 4100 MPa.
        p.PreloadStress = levels[0];
        p.StaticMaxHold = 0.0001;
        run.program->mainWindow()->StuffTextBoxes();
        run.op->answer(MsgResult::Yes); // RUN-OUT
        run.op->answer(MsgResult::Ok);  // REPLACE THE FIBER
        breakButton->click();
        const Prompt question = run.op->prompts[run.op->prompts.size() - 2];
        QCOMPARE(question.title, QStringLiteral("RUN-OUT"));
        QVERIFY2(question.text.startsWith(QStringLiteral("No break after 0:00:00 at 4100 MPa.\rRecord")),
                 qPrintable(question.text));
        // The longest hold was reached: a run-out is what Enter records.
        QCOMPARE(question.style & 0x300, 0);
        QCOMPARE(run.op->last().title, QStringLiteral("REPLACE THE FIBER"));
        QCOMPARE(run.op->last().text,
                 QStringLiteral("The fiber was held at 4100 MPa for 0:00:00 and is damaged "
                                "by it.\rReplace it before the next test."));
        QVERIFY(!run.sim.state().fiberBroken);
        QVERIFY(run.sim.state().load < 0.5); // unloaded before the question

        const QList<DataLine::Fields> rows = parsedRows(run);
        QCOMPARE(rows.size(), levels.size() * fibers + 1);
        for (int i = 0; i < levels.size() * fibers; ++i) {
            const DataLine::Fields& f = rows[i];
            QCOMPARE(f[6], QString::number(levels[i / fibers]) + QStringLiteral(" MPa"));
            // Held at the level: its stress within the band of the hold (and the 0.5 % of a break
            // reading taken just before the drop).
            QVERIFY2(std::abs(f[4].toDouble() / levels[i / fibers] - 1) < 0.01, qPrintable(f[4]));
            QVERIFY2(f[13].toDouble() > 0.1, qPrintable(f[13]));
            QVERIFY(f[16].isEmpty());
            // Holding, not pulling: the capstans moved by a few corrections, not at the preload's
            // 5000 µm/s.
            QVERIFY2(std::abs(f[11].toDouble()) < 100,
                     qPrintable(QString::number(i) + QLatin1Char(' ') + f[11]));
        }
        const DataLine::Fields& runout = rows.back();
        QCOMPARE(runout[16], QStringLiteral("runout"));
        QVERIFY2(std::abs(runout[13].toDouble() - 0.36) < 0.15, qPrintable(runout[13]));
        QVERIFY2(std::abs(runout[4].toDouble() / levels[0] - 1) < 0.005, qPrintable(runout[4]));

        QProcess stats;
        stats.start(programPath(), {QStringLiteral("--stats"), run.dataFile()});
        QVERIFY(stats.waitForFinished(60000));
        QCOMPARE(stats.exitCode(), 0);
        QMap<QString, QString> keys;
        for (const QString& line : QString::fromUtf8(stats.readAllStandardOutput()).split(QLatin1Char('\n')))
            if (!line.isEmpty())
                keys.insert(line.section(QLatin1Char('\t'), 0, 0), line.section(QLatin1Char('\t'), 1));
        QCOMPARE(keys.value(QStringLiteral("4100_MPa:breaks")), QString::number(fibers));
        QCOMPARE(keys.value(QStringLiteral("4100_MPa:runouts")), QStringLiteral("1"));
        QCOMPARE(keys.value(QStringLiteral("4400_MPa:runouts")), QStringLiteral("0"));
        QVERIFY(!keys.contains(QStringLiteral("specimens")) ||
                keys.value(QStringLiteral("specimens")) == "0");
        const double n = keys.value(QStringLiteral("static_n")).toDouble();
        qInfo("static n %g +- %s (simulator %g); medians %s, %s, %s s; %lld ms in all", n,
              qPrintable(keys.value(QStringLiteral("static_n_se"))), SimN,
              qPrintable(keys.value(QStringLiteral("4100_MPa:median_s"))),
              qPrintable(keys.value(QStringLiteral("4250_MPa:median_s"))),
              qPrintable(keys.value(QStringLiteral("4400_MPa:median_s"))),
              static_cast<long long>(clock.elapsed()));
        // Measured 18.9 to 22.7 (seven seeds, 21.3 on average) against 20: the hold starts a little
        // above its level and the fiber ages on the way up, which shortens the shortest lives most;
        // the margin takes that bias and the spread of nine specimens, and still fails an n off by a
        // quarter.
        QVERIFY2(std::abs(n / SimN - 1) < 0.15, qPrintable(QString::number(n)));
    }
};

STAVELY_TEST(StaticTestFlowTest)
#include "StaticTestFlowTest.moc"
