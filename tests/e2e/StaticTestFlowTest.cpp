#include "app/Program.h"
#include "app/frmMain.h"
#include "instrument/PortMap.h"
#include "params/Cp1252.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "results/DataLine.h"
#include "results/Datasheet.h"
#include "results/frmLoadTimePlots.h"
#include "sim/SimServer.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <cmath>

namespace {

// The simulator's default fiber (5 GPa, stress corrosion n = 20) on a 100 mm gauge, its times to
// failure scaled down so that a hold at 76 to 88 % of the strength lasts seconds, its strengths drawn
// with a Weibull shape of 100 so that five fibers a level say something about n.
constexpr double SimN = 20;

SimConfig staticConfig() {
    SimConfig c;
    c.seed = 19;
    c.gaugeMm = 100;
    c.weibullShape = 100;
    c.fatigueTimeScale = 0.02;
    c.instant = true; // replies at once: sixteen holds are long enough
    return c;
}

struct StaticTestOnSim {
    QTemporaryDir dir;
    SimServer sim{staticConfig()};
    ScriptedOperator* op = nullptr;
    std::unique_ptr<Program> program;

    ~StaticTestOnSim() {
        program.reset();
        qunsetenv(qPrintable(PortMap::environmentName(1)));
    }

    QString dataFile() const { return dir.filePath(QStringLiteral("static.csv")); }

    bool start() {
        const QString link = dir.filePath(QStringLiteral("COM1"));
        if (!dir.isValid() || !sim.startInThread(link))
            return false;
        qputenv(qPrintable(PortMap::environmentName(1)), link.toLocal8Bit());
        sim.update([](SimInstrument& instrument) { instrument.receive("s000007D0\r", instrument.now()); });

        SettingsStore store(dir.filePath(QStringLiteral("Corvane.ini")));
        auto set = [&](const char* key, const QString& value) {
            store.saveText(QStringLiteral("STAVELY"), QLatin1String(key), value);
        };
        set("COMnum", QStringLiteral("1"));
        set("CalibrationData0", QStringLiteral("\"SIM-2041\",0,51,0.1,100,0.5,------,------,------,"));
        set("DataFileName", dataFile());
        set("GaugeLength", QStringLiteral("100"));
        set("ExptType", QStringLiteral("3"));
        set("PreloadType", QStringLiteral("2"));
        set("PreloadStress", QStringLiteral("3800"));
        set("PreloadSpeedMode", QStringLiteral("0"));
        store.sync();

        auto scripted = std::make_unique<ScriptedOperator>();
        op = scripted.get();
        ProgramOptions options;
        options.settingsFile = dir.filePath(QStringLiteral("Corvane.ini"));
        options.instanceName =
            QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        program = std::make_unique<Program>(options, std::move(scripted));
        program->setEndHook([](const ProgramEnded& how) { throw how; });
        op->answer(MsgResult::Yes); // the position the instrument kept
        return program->start() == Program::Started::Running;
    }

    frmMain& window() const { return *program->mainWindow(); }
    QPushButton* breakButton() const { return window().findChild<QPushButton*>(QStringLiteral("cmdBreak")); }

    QList<DataLine::Fields> rows() const {
        QFile data(dataFile());
        if (!data.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = Cp1252::splitLines(Cp1252::decode(data.readAll()));
        lines.removeAll(DataLine::HeaderLine());
        QList<DataLine::Fields> out;
        for (const QString& line : lines) {
            DataLine::Fields f;
            if (DataLine::ParseDataLine(line, f) == 0)
                out << f;
        }
        return out;
    }
};

} // namespace

class StaticTestFlowTest : public QObject {
    Q_OBJECT
private slots:
    // Three levels of five fibers held to their breaks through the main window's Break fiber, and a
    // sixth fiber at the lowest level that outlasts the longest hold and is recorded as a run-out;
    // then the headless statistics of the data file give back the simulator's n.
    void threeLevelsToTheStaticFatigueParameter() {
        StaticTestOnSim run;
        QVERIFY(run.start());
        QTimer closer; // the plot window of each result
        QObject::connect(&closer, &QTimer::timeout, [&run] {
            frmLoadTimePlots* plots = run.program->plotWindow();
            if (plots != nullptr && plots->isVisible())
                plots->cmdClose->click();
        });
        closer.start(50);

        Parameters& p = run.program->parameters();
        const QList<double> levels{3800, 4100, 4400};
        for (double level : levels) {
            p.PreloadStress = level;
            run.window().StuffTextBoxes();
            for (int fiber = 0; fiber < 5; ++fiber) {
                run.op->answer(MsgResult::Yes); // REPORT RESULTS
                run.breakButton()->click();
                QCOMPARE(run.op->last().title, QStringLiteral("REPORT RESULTS"));
                QTRY_VERIFY(run.sim.state().fiberPresent && !run.sim.state().fiberBroken);
            }
        }
        QCOMPARE(run.rows().size(), 15);

        // The run-out: the longest hold (3.6 s) passes long before a fiber breaks at 3800 MPa.
        p.PreloadStress = 3800;
        p.StaticMaxHold = 0.001;
        run.window().StuffTextBoxes();
        run.op->answer(MsgResult::Yes); // RUN-OUT
        run.breakButton()->click();
        QCOMPARE(run.op->last().title, QStringLiteral("RUN-OUT"));
        QVERIFY2(
            run.op->last().text.startsWith(QStringLiteral("No break after 0:00:03 at 3800 MPa.\rRecord")),
            qPrintable(run.op->last().text));
        QVERIFY(!run.sim.state().fiberBroken);
        QVERIFY(run.sim.state().load < 0.5); // unloaded before the question

        const QList<DataLine::Fields> rows = run.rows();
        QCOMPARE(rows.size(), 16);
        for (int i = 0; i < 15; ++i) {
            const DataLine::Fields& f = rows[i];
            QCOMPARE(f[6], QString::number(levels[i / 5]) + QStringLiteral(" MPa"));
            // Held at the level: its stress within the band of the hold (and the 0.5 % of a break
            // reading taken just before the drop).
            QVERIFY2(std::abs(f[4].toDouble() / levels[i / 5] - 1) < 0.01, qPrintable(f[4]));
            QVERIFY2(f[13].toDouble() > 0.3, qPrintable(f[13]));
            QVERIFY(f[16].isEmpty());
            // Holding, not pulling: the capstans hardly moved.
            QVERIFY2(std::abs(f[11].toDouble()) < 5, qPrintable(f[11]));
        }
        QCOMPARE(rows[15][16], QStringLiteral("runout"));
        QVERIFY2(std::abs(rows[15][13].toDouble() - 3.6) < 0.7, qPrintable(rows[15][13]));
        QVERIFY2(std::abs(rows[15][4].toDouble() / 3800 - 1) < 0.005, qPrintable(rows[15][4]));

        QProcess stats;
        stats.start(programPath(), {QStringLiteral("--stats"), run.dataFile()});
        QVERIFY(stats.waitForFinished(60000));
        QCOMPARE(stats.exitCode(), 0);
        QMap<QString, QString> keys;
        for (const QString& line : QString::fromUtf8(stats.readAllStandardOutput()).split(QLatin1Char('\n')))
            if (!line.isEmpty())
                keys.insert(line.section(QLatin1Char('\t'), 0, 0), line.section(QLatin1Char('\t'), 1));
        QCOMPARE(keys.value(QStringLiteral("3800 MPa:breaks")), QStringLiteral("5"));
        QCOMPARE(keys.value(QStringLiteral("3800 MPa:runouts")), QStringLiteral("1"));
        QCOMPARE(keys.value(QStringLiteral("4400 MPa:runouts")), QStringLiteral("0"));
        QVERIFY(!keys.contains(QStringLiteral("specimens")) ||
                keys.value(QStringLiteral("specimens")) == "0");
        const double n = keys.value(QStringLiteral("static_n")).toDouble();
        qInfo("static n %g +- %s (simulator %g); medians %s, %s, %s s", n,
              qPrintable(keys.value(QStringLiteral("static_n_se"))), SimN,
              qPrintable(keys.value(QStringLiteral("3800 MPa:median_s"))),
              qPrintable(keys.value(QStringLiteral("4100 MPa:median_s"))),
              qPrintable(keys.value(QStringLiteral("4400 MPa:median_s"))));
        // Measured 21.96 and 22.04 against 20: the hold sits up to 0.5 % above its level and the fiber
        // ages on the way up, both shortening the lives at every level alike; the margin takes that
        // bias and the spread of 15 specimens, and still fails an n off by a quarter.
        QVERIFY2(std::abs(n / SimN - 1) < 0.15, qPrintable(QString::number(n)));
    }
};

STAVELY_TEST(StaticTestFlowTest)
#include "StaticTestFlowTest.moc"
