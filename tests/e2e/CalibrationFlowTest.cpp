#include "app/Program.h"
#include "app/SimulatedInstrument.h"
#include "app/frmInstrumentPanel.h"
#include "app/frmMain.h"
#include "experiments/frmLoadCalibrate.h"
#include "experiments/frmLoadCalibrateMain.h"
#include "instrument/LoadCell.h"
#include "instrument/PortMap.h"
#include "params/SettingsStore.h"
#include "sim/SimServer.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

// A new user: the program on its built-in simulated instrument with a fresh settings store.
struct NewUser {
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("Corvane-simulator.ini"));
    ScriptedOperator* op = nullptr;
    std::unique_ptr<Program> program;

    NewUser() {
        // Debug mode takes the instrument's position as it is, so no zero window comes first.
        SettingsStore(file).saveText(QStringLiteral("STAVELY"), QStringLiteral("ForceDebug"),
                                     QStringLiteral("True"));
        // The data file is chosen in the datasheet's own flow.
        SettingsStore(file).saveText(QStringLiteral("STAVELY"), QStringLiteral("DataFileName"),
                                     dir.filePath(QStringLiteral("results.dat")));
        auto scripted = std::make_unique<ScriptedOperator>();
        op = scripted.get();
        ProgramOptions options;
        options.settingsFile = file;
        options.simulate = true;
        options.instanceName =
            QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        program = std::make_unique<Program>(options, std::move(scripted));
        program->setEndHook([](const ProgramEnded& how) { throw how; });
        op->answer(MsgResult::Ok); // the notice that the load cell is not calibrated
    }
    ~NewUser() {
        program.reset();
        qunsetenv(qPrintable(PortMap::environmentName(1)));
    }

    SimServer& sim() { return program->simulator()->server(); }
    QString stored(const QString& name) const {
        return SettingsStore(file).getText(QStringLiteral("STAVELY"), name, QStringLiteral("<none>"));
    }
    // Starts the program and waits until the calibration has been dealt with.
    bool startAndCalibrate(const bool& reviewed) {
        if (program->start() != Program::Started::Running)
            return false;
        program->mainWindow()->activateWindow();
        return QTest::qWaitFor([&] { return reviewed; }, 20000);
    }
    void checkNotice() const {
        QCOMPARE(op->prompts.first().title, QStringLiteral("THE LOAD CELL IS NOT CALIBRATED"));
    }
    // Back in the main window, the load of a hung mass shows in its status bar.
    void checkMainWindowShowsLoad(double kilograms, const QString& text) {
        sim().setExtraLoad(kilograms * 9.81);
        QVERIFY(QTest::qWaitFor([&] { return program->mainWindow()->statusPanel(1) == text; }, 5000));
    }
};

} // namespace

// From a fresh start to a calibrated main window on the simulated instrument.
class CalibrationFlowTest : public QObject {
    Q_OBJECT
private slots:
    void newUserLoadsTheShippedFile() {
        NewUser user;
        const QString shipped = QFINDTESTDATA("../../data/SIM-2041.cal");
        QVERIFY(!shipped.isEmpty());
        user.op->answer(shipped);
        bool reviewed = false;
        whenModal<frmLoadCalibrateMain>(
            [&](frmLoadCalibrateMain* review) {
                user.sim().removeFiber();
                QCOMPARE(review->optChannel[0]->text(), QStringLiteral("Channel 0"));
                review->cmdLoad->click();
                QCOMPARE(review->optChannel[0]->text(), QStringLiteral("Channel 0: range  2 to 76 N"));
                review->cmdDone->click();
                reviewed = true;
            },
            20000);
        QVERIFY(user.startAndCalibrate(reviewed));
        user.checkNotice();
        QVERIFY(user.program->loadCell().currentIsCalibrated());
        QCOMPARE(user.program->loadCell().current().SerialNumber, QStringLiteral("SIM-2041"));
        QVERIFY(user.stored(QStringLiteral("CalibrationData0"))
                    .startsWith(QStringLiteral("\"SIM-2041\",0,50.9916")));
        user.checkMainWindowShowsLoad(1, QStringLiteral("Load:  9.81"));
        QCOMPARE(user.op->remainingAnswers(), 0);
    }

    // Three masses hung with the instrument panel, the fit taken as the calibration.
    void newUserCalibratesWithHungMasses() {
        NewUser user;
        user.op->answer(MsgResult::Yes); // use the new calibration
        bool reviewed = false;
        whenModal<frmLoadCalibrateMain>(
            [&](frmLoadCalibrateMain* review) {
                user.sim().removeFiber();
                frmInstrumentPanel* panel = user.program->instrumentPanel();
                QVERIFY(panel != nullptr && panel->isVisible());
                whenModal<frmLoadCalibrate>([&](frmLoadCalibrate* w) {
                    w->optUnits[1]->click();
                    for (int grams : {0, 1000, 2000}) {
                        panel->hangMass(grams);
                        w->txtLoad->setText(QString::number(grams));
                        w->cmdAdd->click();
                    }
                    w->cmdFinish->click();
                });
                review->cmdNew->click();
                QVERIFY(review->optChannel[0]->text().startsWith(QStringLiteral("Channel 0: range  ")));
                review->cmdDone->click();
                reviewed = true;
            },
            20000);
        QVERIFY(user.startAndCalibrate(reviewed));
        user.checkNotice();
        QCOMPARE(user.op->last().title, QStringLiteral("USE NEW CALIBRATION"));
        const LoadCalibration& r = user.program->loadCell().current();
        QVERIFY(IsCalibrated(r));
        QVERIFY(std::abs(r.Slope.value - 51) < 0.5);
        QVERIFY(std::abs(r.Intercept.value - 100) < 2);
        user.checkMainWindowShowsLoad(0.5, QStringLiteral("Load:  4.91"));
        QCOMPARE(user.op->remainingAnswers(), 0);
    }
};

STAVELY_TEST(CalibrationFlowTest)
#include "CalibrationFlowTest.moc"
