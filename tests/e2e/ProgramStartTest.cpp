#include "app/MainActions.h"
#include "app/Program.h"
#include "app/SimulatedInstrument.h"
#include "instrument/ControllerLink.h"
#include "instrument/Motion.h"
#include "instrument/PortMap.h"
#include "instrument/zero.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "sim/SimServer.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

// The whole program on the built-in simulated instrument, ended by an exception instead of the process.
struct SimulatedRun {
    QTemporaryDir dir;
    ScriptedOperator* op = nullptr;
    std::unique_ptr<Program> program;

    explicit SimulatedRun(bool debug) {
        const QString file = dir.filePath(QStringLiteral("Corvane-simulator.ini"));
        SettingsStore(file).saveText(QStringLiteral("STAVELY"), QStringLiteral("DataFileName"),
                                     dir.filePath(QStringLiteral("results.dat")));
        if (debug)
            SettingsStore(file).saveText(QStringLiteral("STAVELY"), QStringLiteral("ForceDebug"),
                                         QStringLiteral("True"));
        auto scripted = std::make_unique<ScriptedOperator>();
        op = scripted.get();
        ProgramOptions options;
        options.settingsFile = file;
        options.simulate = true;
        options.instanceName =
            QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        program = std::make_unique<Program>(options, std::move(scripted));
        program->setEndHook([](const ProgramEnded& how) { throw how; });
        // Start-up alone: the calibration that the notice leads into has its own tests.
        program->actions().hooks().Calibrate = [] {};
    }
    ~SimulatedRun() {
        program.reset();
        qunsetenv(qPrintable(PortMap::environmentName(1)));
    }
    QList<QByteArray> commands() const {
        QList<QByteArray> log = program->simulator()->server().commandLog();
        return log.mid(log.indexOf("z") + 1); // after discovery's probe
    }
};

const QList<QByteArray> Synchronised{"l00080FFFF0FFA", "S0010", "?", "s00000000", "W0000"};

} // namespace

class ProgramStartTest : public QObject {
    Q_OBJECT
private slots:
    void debugModeTakesThePositionAsItIs() {
        SimulatedRun run(true);
        run.op->answer(MsgResult::Ok);
        QCOMPARE(run.program->start(), Program::Started::Running);
        // The fresh instrument's load cell has no calibration: the main window says so on showing.
        QCOMPARE(run.op->prompts.size(), 1);
        QCOMPARE(run.op->last().title, QStringLiteral("THE LOAD CELL IS NOT CALIBRATED"));
        QVERIFY(run.program->link().ControllerFound());
        QVERIFY(run.program->motion().ZeroValid());
        QCOMPARE(run.commands(), Synchronised + QList<QByteArray>({"w00", "w00"}));
    }

    void freshInstrumentIsSynchronisedInTheZeroWindow() {
        SimulatedRun run(false);
        run.op->answer(QStringLiteral("-1500"));
        run.op->answer(MsgResult::Ok);
        bool shown = false;
        whenModal<zero>([&](zero* w) {
            shown = true;
            QTest::keyClick(w, Qt::Key_S);
        });
        QCOMPARE(run.program->start(), Program::Started::Running);
        QVERIFY(shown);
        QCOMPARE(run.op->prompts.size(), 2);
        QCOMPARE(run.op->prompts[0].title, QStringLiteral("SET POSITION"));
        QCOMPARE(run.op->last().title, QStringLiteral("THE LOAD CELL IS NOT CALIBRATED"));
        QVERIFY(run.program->motion().ZeroValid());
        QCOMPARE(run.program->motion().Position(), -1500);
        QCOMPARE(run.commands(), Synchronised + QList<QByteArray>({"sFFFFFA24", "w00", "w00"}));
        QCOMPARE(run.program->simulator()->server().state().position, -1500);
    }
};

STAVELY_TEST(ProgramStartTest)
#include "ProgramStartTest.moc"
