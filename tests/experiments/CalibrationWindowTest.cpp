#include "experiments/CalibrationCommand.h"
#include "experiments/frmLoadCalibrate.h"
#include "experiments/frmLoadCalibrateMain.h"
#include "results/ChartControl.h"
#include "results/frmBigPlot.h"
#include "tests/app/ModalDriver.h"
#include "tests/experiments/CalibrationRig.h"
#include "tests/support/TestRegistry.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

namespace {
struct CommandRig : CalibrationRig {
    CalibrationCommand command{cell, link, op, store, params, end};
    LoadCalibrator& calibrator() { return command.calibrator(); }

    // Runs the calibration button; the title of the end of the program, or nothing.
    std::optional<QString> run() {
        try {
            command.run(nullptr);
        } catch (const ProgramEnded& ended) {
            return ended.title + QLatin1Char('|') + ended.message;
        }
        return std::nullopt;
    }
};

} // namespace

// The calibration button's windows, driven as the operator would, on the simulated instrument.
class CalibrationWindowTest : public QObject {
    Q_OBJECT
private slots:
    // Three hung masses, the fit taken as the new calibration, the review window left calibrated.
    void calibrateByHangingMasses() {
        CommandRig rig;
        QVERIFY(rig.startSim());
        rig.link.SetLoadSampling(0, 128);
        rig.op.answer(MsgResult::Yes); // use the new calibration
        bool reviewed = false, calibrated = false;
        whenModal<frmLoadCalibrateMain>([&](frmLoadCalibrateMain* review) {
            QCOMPARE(review->windowTitle(), QStringLiteral("REVIEW CALIBRATION"));
            QCOMPARE(review->optChannel[0]->text(), QStringLiteral("Channel 0"));
            QVERIFY(review->optChannel[0]->isChecked());
            QCOMPARE(review->lblLoad->text(), QString());
            QVERIFY(!review->cmdZero->isEnabled());
            whenModal<frmLoadCalibrate>([&](frmLoadCalibrate* w) {
                w->txtSerialNumber->setText(QStringLiteral("SIM-2041"));
                emit w->txtSerialNumber->textEdited(w->txtSerialNumber->text());
                w->optUnits[1]->click();
                for (int grams : {0, 500, 1000}) {
                    rig.hang(grams / 1000.0);
                    w->txtLoad->setText(QString::number(grams));
                    w->cmdAdd->click();
                }
                QCOMPARE(w->grdCal->rowCount(), 3);
                QCOMPARE(w->grdCal->item(1, 1)->text(), QStringLiteral("500 g"));
                QCOMPARE(w->grdCal->item(2, 2)->text(), QStringLiteral("9.810"));
                QCOMPARE(w->MSChart1->data().curvePoints(0).size(), 3);
                QCOMPARE(w->MSChart2->data().curvePoints(0).size(), 3);
                QVERIFY(w->lblParametersNew->text().startsWith(
                    QStringLiteral("Serial # SIM-2041:  slope 51.000")));
                QCOMPARE(w->lblParametersOld->text(), QStringLiteral("uncalibrated"));
                w->cmdFinish->click();
                calibrated = true;
            });
            review->cmdNew->click();
            QVERIFY(calibrated);
            QCOMPARE(review->optChannel[0]->text(), QStringLiteral("Channel 0: range  2 to 76 N"));
            QVERIFY(review->lblParameters->text().startsWith(QStringLiteral("Serial # SIM-2041")));
            QVERIFY(review->cmdZero->isEnabled());
            rig.hang(1);
            QTRY_COMPARE(review->lblLoad->text(), QStringLiteral("Load =   9.81 N"));
            review->cmdDone->click();
            reviewed = true;
        });
        QCOMPARE(rig.run(), std::nullopt);
        QVERIFY(reviewed);
        QCOMPARE(rig.op.remainingAnswers(), 0);
        QVERIFY(rig.cell.currentIsCalibrated());
        QCOMPARE(rig.cell.current().SerialNumber, QStringLiteral("SIM-2041"));
        QCOMPARE(rig.setting(QStringLiteral("CalibrationData0")), RecordToText(rig.cell.current()));
        QCOMPARE(rig.setting(QStringLiteral("CalibrationUnits")), QStringLiteral("1"));
        // Within a few per cent of what the simulated cell really carries.
        rig.hang(2);
        QVERIFY(std::abs(rig.cell.ReadLoad() - 2 * 9.81) < 0.02 * 2 * 9.81);
    }

    // Yes keeps the review window open for a calibration; No lets it close and the program ends
    // without a message.
    void leavingUncalibratedEndsTheProgram() {
        CommandRig rig;
        QVERIFY(rig.startSim());
        rig.op.answer(MsgResult::Yes);
        rig.op.answer(MsgResult::No);
        bool stayed = false;
        whenModal<frmLoadCalibrateMain>([&](frmLoadCalibrateMain* review) {
            review->cmdDone->click();
            stayed = review->isVisible();
            review->close();
        });
        QCOMPARE(rig.run(), QStringLiteral("PROGRAM ENDING|"));
        QVERIFY(stayed);
        QCOMPARE(rig.op.prompts.size(), 2);
        QCOMPARE(rig.op.last().title, QStringLiteral("LOAD CELL NOT CALIBRATED"));
    }

    // A click on a row asks before deleting; snapping takes over the mass box once there is a fit; a
    // double click shows a chart enlarged.
    void rowClickSnapAndEnlargedChart() {
        CommandRig rig;
        QVERIFY(rig.startSim());
        rig.link.SetLoadSampling(0, 256);
        NewCalibration& cal = rig.calibrator().newCalibration();
        // The simulated cell: 51 au/N over 100 au.
        cal.AddPoint(QStringLiteral("0"), 100);
        cal.AddPoint(QStringLiteral("1"), 590);
        cal.AddPoint(QStringLiteral("2"), 100 + 51 * 19.62);
        cal.setSnapTo100g(false);
        rig.op.answer(MsgResult::Yes); // delete point 2
        rig.op.answer(MsgResult::No);  // keep the old calibration
        frmLoadCalibrate window(cal, rig.op, rig.store);
        bool checked = false;
        whenModal<frmLoadCalibrate>([&](frmLoadCalibrate* w) {
            QCOMPARE(w->grdCal->rowCount(), 3);
            const QRect cell = w->grdCal->visualItemRect(w->grdCal->item(1, 0));
            QTest::mouseClick(w->grdCal->viewport(), Qt::LeftButton, {}, cell.center());
            QCOMPARE(rig.op.prompts.size(), 1);
            QCOMPARE(rig.op.last().text,
                     QStringLiteral("Are you sure you want to delete calibration point 2?"));
            QCOMPARE(w->grdCal->rowCount(), 2);
            QVERIFY(w->txtLoad->isEnabled());
            w->chkSnap->click();
            QVERIFY(!w->txtLoad->isEnabled());
            QVERIFY(w->optUnits[1]->isChecked());
            rig.hang(1.049);
            QTRY_COMPARE(w->txtLoad->text(), QStringLiteral("1049"));
            w->cmdAdd->click();
            QCOMPARE(w->grdCal->item(2, 1)->text(), QStringLiteral("1000 g"));

            bool enlarged = false;
            whenModal<frmBigPlot>([&](frmBigPlot* big) {
                QCOMPARE(big->windowTitle(), QStringLiteral("Residue (au)"));
                QVERIFY(big->MSChart1->data() == w->MSChart2->data());
                QCOMPARE(big->MSChart1->data().curvePoints(0).size(), 3);
                big->close();
                enlarged = true;
            });
            QTest::mouseDClick(w->MSChart2->viewport(), Qt::LeftButton);
            QVERIFY(enlarged);
            w->close();
            checked = true;
        });
        window.Go();
        QVERIFY(checked);
        QCOMPARE(rig.op.last().title, QStringLiteral("USE NEW CALIBRATION"));
        QCOMPARE(rig.setting(QStringLiteral("CalibrationSnapTo100g")), QStringLiteral("True"));
    }
};

STAVELY_TEST(CalibrationWindowTest)
#include "CalibrationWindowTest.moc"
