#include "experiments/LoadCalibrator.h"
#include "experiments/CalibrationTexts.h"
#include "tests/experiments/CalibrationRig.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

namespace {
const QByteArray Sampling0 = "l00100FFFF0FFA"; // channel 0, 256 samples, no recording, no threshold
}

// The review window's decisions against the simulated System Controller.
class LoadCalibratorTest : public QObject {
    Q_OBJECT
private slots:
    // Signal 130 on a fit with intercept 100: the tare is 30, that signal reads 0 N, and the
    // description shows the intercept 130.00.
    void tareMakesTheLoadNowReadZero() {
        CalibrationRig rig;
        SimConfig config = quietLoadCell();
        config.intercept[0] = 130;
        QVERIFY(rig.startSim(config));
        rig.cell.current() = CalibrationRig::record(0, 50, 100, QStringLiteral("LC-3"));

        rig.op.answer(MsgResult::No);
        rig.sim->clearCommandLog();
        QVERIFY(!rig.calibrator.ZeroTare());
        QCOMPARE(rig.op.last().text, QStringLiteral("Are you sure you want to change the calibration?"));
        QCOMPARE(rig.op.last().style, MsgStyle::YesNo | MsgStyle::Question | 256);
        QVERIFY(rig.sim->commandLog().isEmpty());
        QCOMPARE(rig.cell.current().ZeroOffset.value, 0.0);

        rig.op.answer(MsgResult::Yes);
        QVERIFY(rig.calibrator.ZeroTare());
        QCOMPARE(rig.cell.current().ZeroOffset.value, 30.0);
        QCOMPARE(rig.cell.current().Intercept.value, 100.0);
        QVERIFY(
            CalibrationText(rig.cell.current()).contains(QStringLiteral("intercept 130.00 \u00B1 0.50 au")));
        const QList<QByteArray> log = rig.sim->commandLog();
        QCOMPARE(log.size(), 11);
        QCOMPARE(log[0], Sampling0);
        QCOMPARE(log.count("L"), 10);
        QCOMPARE(rig.cell.ReadLoad(), 0.0);
    }

    void noTareWithoutACalibration() {
        CalibrationRig rig;
        QVERIFY(!rig.calibrator.ZeroTare());
        QCOMPARE(rig.op.prompts.size(), 0);
    }

    // Calibrated channels show their load range; the live display reads the load, then sets the
    // sampling again, also for an uncalibrated channel.
    void channelRangesAndLiveLoad() {
        CalibrationRig rig;
        QVERIFY(rig.startSim());
        rig.cell.record(0) = CalibrationRig::record(0, 51, 100);
        QCOMPARE(rig.calibrator.channelCaption(0), QStringLiteral("Channel 0: range  2 to 76 N"));
        QCOMPARE(rig.calibrator.channelCaption(1), QStringLiteral("Channel 1"));

        rig.sim->setExtraLoad(5);
        rig.calibrator.SendSampling();
        rig.sim->clearCommandLog();
        QCOMPARE(rig.calibrator.LiveLoadText(), QStringLiteral("Load =   5.00 N"));
        QCOMPARE(rig.sim->commandLog(), QList<QByteArray>({"L", Sampling0}));

        rig.calibrator.SelectChannel(1);
        QCOMPARE(rig.params.ADchannel, qint16(1));
        QCOMPARE(rig.calibrator.parametersText(), QStringLiteral("uncalibrated"));
        QCOMPARE(rig.calibrator.LiveLoadText(), QString());
        QCOMPARE(rig.sim->state().channel, 1);
        QCOMPARE(rig.sim->commandLog().mid(2), QList<QByteArray>({"l10100FFFF0FFA", "l10100FFFF0FFA"}));
    }

    void closingStoresTheRecordsOrInsists() {
        CalibrationRig rig;
        rig.op.answer(MsgResult::Yes);
        QVERIFY(!rig.calibrator.MayClose());
        QCOMPARE(rig.op.last().title, QStringLiteral("LOAD CELL NOT CALIBRATED"));
        QCOMPARE(
            rig.op.last().text,
            QStringLiteral("The load cell is not calibrated - the program can not continue until this is "
                           "done.\r\rClick Yes to continue to perform a calibration.\rClick No to end the "
                           "program."));
        QCOMPARE(rig.op.last().style, MsgStyle::YesNo | MsgStyle::Critical);
        rig.op.answer(MsgResult::No);
        QVERIFY(rig.calibrator.MayClose());
        QVERIFY(rig.setting(QStringLiteral("CalibrationData0")).isEmpty());

        rig.cell.current() = CalibrationRig::record(0, 51, 100, QStringLiteral("LC-5"));
        QVERIFY(rig.calibrator.MayClose());
        QCOMPARE(rig.op.prompts.size(), 2);
        QCOMPARE(rig.setting(QStringLiteral("CalibrationData0")), RecordToText(rig.cell.current()));
        QCOMPARE(rig.setting(QStringLiteral("CalibrationData2")),
                 RecordToText(LoadCalibration::uncalibrated(2)));
    }

    // Opening offers the serial number of the calibration in use once, takes the channel in use and
    // the stored choices; the statistics test asks for "A" and sets the sampling again.
    void openingAndTheStatisticsTest() {
        CalibrationRig rig;
        QVERIFY(rig.startSim());
        rig.params.ADchannel = 2;
        rig.cell.current() = CalibrationRig::record(2, 800, 100, QStringLiteral("LC-8"));
        rig.store.saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationUnits"),
                           QStringLiteral("1"));
        rig.store.saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationSnapTo100g"),
                           QStringLiteral("True"));
        NewCalibration& cal = rig.calibration();
        rig.op.answer(MsgResult::Yes);
        cal.Open();
        QCOMPARE(rig.op.last().title, QStringLiteral("LOAD CELL SERIAL NUMBER"));
        QCOMPARE(rig.op.last().text, QStringLiteral("Do you want to use the same load cell serial number?"));
        QCOMPARE(cal.working().SerialNumber, QStringLiteral("LC-8"));
        QCOMPARE(cal.working().Channel, qint16(2));
        QCOMPARE(cal.unit(), int(NewCalibration::Gram));
        QVERIFY(cal.snapTo100g());
        QCOMPARE(rig.sim->state().channel, 2);
        QCOMPARE(rig.sim->state().samples, 256);

        cal.Open();
        QCOMPARE(rig.op.prompts.size(), 1);
        // A stored unit that is none of the three offered (found by fuzzing: 3e9) is kilograms.
        for (const char* stored : {"3e9", "-1", "2.5", "nan", "2"}) {
            rig.store.saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationUnits"),
                               QLatin1String(stored));
            cal.Open();
            QCOMPARE(cal.unit(),
                     int(qstrcmp(stored, "2") == 0 ? NewCalibration::Pound : NewCalibration::Kilogram));
        }
        QCOMPARE(rig.op.prompts.size(), 1);

        rig.sim->clearCommandLog();
        cal.TestStatistics();
        QCOMPARE(rig.sim->commandLog(), QList<QByteArray>({"A", "l20100FFFF0FFA"}));
    }
};

STAVELY_TEST(LoadCalibratorTest)
#include "LoadCalibratorTest.moc"
