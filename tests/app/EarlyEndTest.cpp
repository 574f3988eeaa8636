#include "app/Program.h"
#include "instrument/ControllerTexts.h"
#include "instrument/PortMap.h"
#include "params/SettingsStore.h"
#include "sim/SimServer.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

const QString Section = QStringLiteral("STAVELY");
const QStringList StoredCalibrations{QStringLiteral("\"LC-1\",0,51.2,0.05,101,0.4,1,0.1,3,2"),
                                     QStringLiteral("\"LC-1\",1,204.5,0.2,99,0.6,1,0.1,3,0"),
                                     QStringLiteral("\"LC-1\",2,817,1.5,102,0.9,1,0.1,3,")};

const QString StoredWidths =
    QStringLiteral("400,400,700,700,700,900,900,900,900,900,900,900,900,900,900,900,1100,2600");

enum class Ending { OldFirmware, NoPorts, ExitInScanDialog, ScanCancelled, TimeoutCancelled };

// A program whose COM ports all point into a temporary folder, so that only what a test puts
// there can be found; its settings hold three calibrations.
struct EarlyRun {
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("Corvane.ini"));
    std::unique_ptr<SimServer> sim;
    ScriptedOperator* op = nullptr;
    std::unique_ptr<Program> program;

    EarlyRun(int comNum) {
        for (int n = 1; n <= 16; ++n)
            qputenv(qPrintable(PortMap::environmentName(n)), port(n).toLocal8Bit());
        SettingsStore store(file);
        for (int c = 0; c < 3; ++c)
            store.saveText(Section, QStringLiteral("CalibrationData%1").arg(c), StoredCalibrations[c]);
        store.saveText(Section, QStringLiteral("COMnum"), QString::number(comNum));
        store.saveText(Section, QStringLiteral("GridColWidths"), StoredWidths);
        store.sync();
    }
    ~EarlyRun() {
        program.reset();
        for (int n = 1; n <= 16; ++n)
            qunsetenv(qPrintable(PortMap::environmentName(n)));
    }
    QString port(int n) const { return dir.filePath(QStringLiteral("COM%1").arg(n)); }

    bool serve(const SimConfig& config) {
        sim = std::make_unique<SimServer>(config);
        return sim->startInThread(port(1));
    }
    // Scripts the operator's answers, then runs start-up; returns how the program ended, if it did.
    std::optional<ProgramEnded> start(const std::function<void(ScriptedOperator&)>& script) {
        auto scripted = std::make_unique<ScriptedOperator>();
        op = scripted.get();
        script(*op);
        ProgramOptions options;
        options.settingsFile = file;
        options.instanceName =
            QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        program = std::make_unique<Program>(options, std::move(scripted));
        program->setEndHook([](const ProgramEnded& how) { throw how; });
        try {
            program->start();
        } catch (const ProgramEnded& how) {
            return how;
        }
        return std::nullopt;
    }
    QString stored(const QString& key) const {
        return QSettings(file, QSettings::IniFormat).value(Section + QLatin1Char('/') + key).toString();
    }
};

} // namespace

class EarlyEndTest : public QObject {
    Q_OBJECT
private slots:
    // Every way discovery can end the program comes before the calibrations are read and the
    // datasheet takes its column widths; the shutdown that follows must leave the stored ones as
    // they were.
    void calibrationsSurviveAnEndDuringDiscovery_data() {
        QTest::addColumn<int>("endingRow");
        QTest::addColumn<QString>("message");
        QTest::newRow("old firmware") << int(Ending::OldFirmware) << ControllerTexts::FirmwareEnding;
        QTest::newRow("no ports") << int(Ending::NoPorts) << ControllerTexts::NoPorts;
        QTest::newRow("exit in the scan dialog")
            << int(Ending::ExitInScanDialog) << ControllerTexts::exitNoController();
        QTest::newRow("scan cancelled") << int(Ending::ScanCancelled) << ControllerTexts::scanCancelled();
        QTest::newRow("time-out cancelled") << int(Ending::TimeoutCancelled) << QString();
    }
    void calibrationsSurviveAnEndDuringDiscovery() {
        QFETCH(int, endingRow);
        const auto ending = Ending(endingRow);
        QFETCH(QString, message);
        const bool stored = ending == Ending::OldFirmware || ending == Ending::TimeoutCancelled;
        EarlyRun run(stored ? 1 : 0);
        SimConfig config = SimTest::quietConfig();
        if (ending == Ending::OldFirmware)
            config.firmwareVersion = "1.01";
        if (ending == Ending::TimeoutCancelled)
            config.faults.silenceAfter = 3; // the probe's two stops and "V" are answered, "z" is not
        if (ending != Ending::NoPorts)
            QVERIFY(run.serve(config));

        const auto how = run.start([&](ScriptedOperator& op) {
            switch (ending) {
            case Ending::OldFirmware:
                op.answer(MsgResult::Ok); // the firmware message
                break;
            case Ending::ExitInScanDialog:
                op.answer(2);
                break;
            case Ending::ScanCancelled:
                op.answer(1);
                op.answer(2);
                break;
            case Ending::TimeoutCancelled:
                op.answer(2);
                op.answer(MsgResult::Yes);
                break;
            case Ending::NoPorts:
                break;
            }
            if (!message.isEmpty())
                op.answer(MsgResult::Ok); // the ending's own message
        });

        QVERIFY(how);
        QCOMPARE(how->message, message);
        QCOMPARE(run.op->unexpected, QStringList());
        QCOMPARE(run.op->remainingAnswers(), 0);
        for (int c = 0; c < 3; ++c)
            QCOMPARE(run.stored(QStringLiteral("CalibrationData%1").arg(c)), StoredCalibrations[c]);
        QCOMPARE(run.stored(QStringLiteral("GridColWidths")), StoredWidths);
        // The parameters themselves were read and are saved as usual.
        QCOMPARE(run.stored(QStringLiteral("MaxStepRate")), QStringLiteral("5000"));
    }
};

STAVELY_TEST(EarlyEndTest)
#include "EarlyEndTest.moc"
