#include "experiments/NewCalibration.h"
#include "experiments/CalibrationTexts.h"
#include "results/ChartData.h"
#include "tests/experiments/CalibrationRig.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

namespace {
constexpr double G = 9.81;

// Signals of a cell reading 50 au/N over 100 au.
double signalFor(double kilograms) {
    return 100 + 50 * kilograms * G;
}
} // namespace

// A calibration in progress, fed with signals directly.
class NewCalibrationTest : public QObject {
    Q_OBJECT
private slots:
    void perfectLineIsNotACalibration() {
        CalibrationRig rig;
        NewCalibration& cal = rig.calibration();
        QVERIFY(cal.AddPoint(QStringLiteral("0"), 100));
        QVERIFY(cal.AddPoint(QStringLiteral("1"), 600));
        QVERIFY(cal.AddPoint(QStringLiteral("2"), 1100));
        const LoadCalibration& w = cal.working();
        QCOMPARE(cal.points()[2].load, 19.62);
        QCOMPARE(QString::number(w.Slope.value, 'f', 3), QStringLiteral("50.968"));
        QCOMPARE(QString::number(w.Intercept.value, 'f', 6), QStringLiteral("100.000000"));
        QCOMPARE(w.SlopeError.value, 0.0);
        QCOMPARE(w.ZeroOffset.value, 0.0);
        QVERIFY(!IsCalibrated(w));
        QCOMPARE(CalibrationText(w), QStringLiteral("uncalibrated"));
    }

    // Two points give a fit; from then on the live estimate in grams snaps to the nearest 100 g.
    void snapModeTakesTheNearest100g() {
        CalibrationRig rig;
        NewCalibration& cal = rig.calibration();
        cal.setSnapTo100g(true);
        QVERIFY(cal.AddPoint(QStringLiteral("0"), signalFor(0)));
        QVERIFY(!cal.snapMode());
        QCOMPARE(cal.signalText(signalFor(0.5)), QStringLiteral("345.3 au\n------"));
        QVERIFY(!cal.estimatedGrams(signalFor(1)));
        QVERIFY(cal.AddPoint(QStringLiteral("1"), signalFor(1)));
        QVERIFY(cal.snapMode());
        QCOMPARE(cal.estimatedGrams(signalFor(1.049)), 1049L);
        QCOMPARE(cal.signalText(signalFor(0.5)), QStringLiteral("345.3 au\n4.91 N"));

        QVERIFY(cal.AddPoint(QStringLiteral("1049"), signalFor(1.049)));
        QVERIFY(cal.AddPoint(QStringLiteral("1050"), signalFor(1.05)));
        QVERIFY(cal.AddPoint(QStringLiteral("-80"), signalFor(-0.08)));
        QCOMPARE(cal.points()[2].label, QStringLiteral("1000 g"));
        QCOMPARE(cal.points()[2].load, 1.0 * G);
        QCOMPARE(cal.points()[3].label, QStringLiteral("1100 g"));
        QCOMPARE(cal.points()[3].load, 1.1 * G);
        QCOMPARE(cal.points()[4].label, QStringLiteral("-100 g"));
    }

    void massesInEachUnitAndRefusedText() {
        CalibrationRig rig;
        NewCalibration& cal = rig.calibration();
        cal.setUnit(NewCalibration::Gram);
        QVERIFY(cal.AddPoint(QStringLiteral("500"), 300));
        cal.setUnit(NewCalibration::Kilogram);
        QVERIFY(cal.AddPoint(QStringLiteral(" 1.5 "), 800));
        cal.setUnit(NewCalibration::Pound);
        QVERIFY(cal.AddPoint(QStringLiteral("2"), 500));
        QCOMPARE(cal.points()[0].label, QStringLiteral("500 g"));
        QCOMPARE(cal.points()[0].load, 0.5 * G);
        QCOMPARE(cal.points()[1].label, QStringLiteral("1.5 kg"));
        QCOMPARE(cal.points()[1].load, 1.5 * G);
        QCOMPARE(cal.points()[2].label, QStringLiteral("2 lb"));
        QCOMPARE(cal.points()[2].load, 2 * 0.45359237 * G);
        QCOMPARE(cal.points()[2].signal, 500.0);

        rig.op.answer(MsgResult::Ok);
        QVERIFY(!cal.AddPoint(QStringLiteral("five"), 500));
        QCOMPARE(rig.op.last().text, QStringLiteral("Load must be a number"));
        QCOMPARE(rig.op.last().title, QStringLiteral("Bad value"));
        QCOMPARE(cal.CalCount(), 3);
    }

    // Residues appear with the third point, and go when a deletion leaves two.
    void residuesTableAndCharts() {
        CalibrationRig rig;
        NewCalibration& cal = rig.calibration();
        cal.AddPoint(QStringLiteral("0"), 101);
        cal.AddPoint(QStringLiteral("1"), 589);
        QCOMPARE(cal.tableRows()[2], QStringList({"2", "1 kg", "9.810", "589.0", ""}));
        cal.AddPoint(QStringLiteral("2"), 1082);
        const LoadCalibration& w = cal.working();
        double sum = 0;
        for (const CalibrationPoint& p : cal.points()) {
            QCOMPARE(p.residue, p.signal - (w.Slope.value * p.load + w.Intercept.value));
            sum += p.residue;
        }
        QVERIFY(std::abs(sum) < 1e-9);
        QVERIFY(cal.points()[1].residue < -1); // the middle point lies below the line
        QVERIFY(IsCalibrated(w));
        QCOMPARE(cal.tableText().section(QStringLiteral("\r\n"), 0, 0),
                 QStringLiteral("   \tLoad  \tLoad (N)  \tSignal (au)  \tResidue  "));
        QCOMPARE(cal.tableText().count(QStringLiteral("\r\n")), 4);
        QCOMPARE(cal.tableRows()[1].last(), QString::number(cal.points()[0].residue, 'f', 2));

        ChartData signal, residue;
        cal.fillSignalChart(signal);
        cal.fillResidueChart(residue);
        QCOMPARE(signal.xAxis.title, QStringLiteral("Load(N)"));
        QCOMPARE(residue.xAxis.title, QStringLiteral("Load(N)"));
        QCOMPARE(signal.curvePoints(0).size(), 3);
        QCOMPARE(signal.curvePoints(0)[2].value, QPointF(2 * G, 1082));
        QCOMPARE(signal.curvePoints(1).size(), 2); // the fitted line
        QCOMPARE(residue.curvePoints(0).size(), 3);

        cal.DeletePoint(2);
        QCOMPARE(cal.CalCount(), 2);
        QCOMPARE(cal.tableRows()[2], QStringList({"2", "2 kg", "19.620", "1082.0", ""}));
        cal.fillResidueChart(residue);
        QVERIFY(residue.curvePoints(0).isEmpty());
        QCOMPARE(cal.working().SlopeError.text, QStringLiteral("--"));
    }

    void deletingAsksAndChecksTheIndex() {
        CalibrationRig rig;
        NewCalibration& cal = rig.calibration();
        for (int kg = 0; kg < 3; ++kg)
            cal.AddPoint(QString::number(kg), signalFor(kg) + kg % 2);

        rig.op.answer(QStringLiteral(" "));
        rig.op.cancel();
        cal.AskDeletePoint();
        cal.AskDeletePoint();
        QCOMPARE(rig.op.prompts[0].title, QStringLiteral("DELETE CALIBRATION POINT"));
        QCOMPARE(
            rig.op.prompts[0].text,
            QStringLiteral("What is the index of the calibration point you want to delete?\r\nLeave blank to "
                           "ignore."));
        rig.op.answer(QStringLiteral("4"));
        rig.op.answer(MsgResult::Ok);
        cal.AskDeletePoint();
        QCOMPARE(rig.op.last().text, QStringLiteral("Value out of range 1 to 3"));
        QCOMPARE(cal.CalCount(), 3);
        rig.op.answer(QStringLiteral("2"));
        cal.AskDeletePoint();
        QCOMPARE(cal.CalCount(), 2);
        QCOMPARE(cal.points()[1].label, QStringLiteral("2 kg"));

        rig.op.answer(MsgResult::No);
        cal.ConfirmDeletePoint(1);
        QCOMPARE(rig.op.last().text, QStringLiteral("Are you sure you want to delete calibration point 1?"));
        QCOMPARE(rig.op.last().title, QStringLiteral("DELETE CALIBRATION POINT"));
        QCOMPARE(cal.CalCount(), 2);
        rig.op.answer(MsgResult::Yes);
        cal.ConfirmDeletePoint(1);
        QCOMPARE(cal.points()[0].label, QStringLiteral("2 kg"));

        rig.op.answer(MsgResult::No);
        cal.DeleteAll();
        QCOMPARE(rig.op.last().title, QStringLiteral("ALL DATA WILL BE LOST"));
        QCOMPARE(rig.op.last().text, QStringLiteral("Are you sure you want to delete all the data?"));
        QCOMPARE(cal.CalCount(), 1);
        rig.op.answer(MsgResult::Yes);
        cal.DeleteAll();
        QCOMPARE(cal.CalCount(), 0);
        QCOMPARE(rig.cell.points().size(), 0);
        QVERIFY(rig.op.remainingAnswers() == 0);
    }

    void tableHoldsThirtyPoints() {
        CalibrationRig rig;
        NewCalibration& cal = rig.calibration();
        for (int i = 0; i < LoadCell::MaxCalibrationPoints; ++i)
            QVERIFY(cal.AddPoint(QString::number(i), signalFor(i)));
        rig.op.answer(MsgResult::Ok);
        QVERIFY(!cal.AddPoint(QStringLiteral("31"), 1));
        QCOMPARE(rig.op.last().text, CalibrationTexts::TableFull);
        QCOMPARE(cal.CalCount(), LoadCell::MaxCalibrationPoints);
    }

    // The fit is offered only with three points or more, while the window is on screen; Yes puts it
    // in the channel in use. The unit and snap choices are stored either way.
    void closingOffersTheFitAndStoresTheChoices() {
        CalibrationRig rig;
        NewCalibration& cal = rig.calibration();
        rig.params.ADchannel = 1;
        const LoadCalibration before = rig.cell.current();
        cal.setSerialNumber(QStringLiteral("LC-9"));
        cal.AddPoint(QStringLiteral("0"), 100);
        cal.AddPoint(QStringLiteral("1"), 591);
        cal.setUnit(NewCalibration::Pound);
        cal.setSnapTo100g(true);
        cal.Close(true);
        QCOMPARE(rig.op.prompts.size(), 0);
        QCOMPARE(rig.setting(QStringLiteral("CalibrationUnits")), QStringLiteral("2"));
        QCOMPARE(rig.setting(QStringLiteral("CalibrationSnapTo100g")), QStringLiteral("True"));

        cal.setSnapTo100g(false);
        cal.AddPoint(QStringLiteral("2"), 1079);
        cal.Close(false);
        QCOMPARE(rig.op.prompts.size(), 0);
        QCOMPARE(rig.setting(QStringLiteral("CalibrationSnapTo100g")), QStringLiteral("False"));

        rig.op.answer(MsgResult::No);
        cal.Close(true);
        QCOMPARE(rig.op.last().title, QStringLiteral("USE NEW CALIBRATION"));
        QCOMPARE(
            rig.op.last().text,
            QStringLiteral("Do you want to replace the current calibration parameters with the parameters "
                           "measured here?\r\rIf you select Yes the current parameters will be lost if they "
                           "were not saved to disc earlier.\r\rIf you want to save the current parameters, "
                           "click no, save them and then return to this window."));
        QCOMPARE(rig.op.last().style, MsgStyle::YesNo | MsgStyle::Exclamation);
        QVERIFY(rig.cell.current() == before);

        rig.op.answer(MsgResult::Yes);
        cal.Close(true);
        QCOMPARE(rig.cell.current().SerialNumber, QStringLiteral("LC-9"));
        QCOMPARE(rig.cell.current().Channel, qint16(1));
        QCOMPARE(rig.cell.current().Slope.value, cal.working().Slope.value);
        QVERIFY(rig.cell.currentIsCalibrated());
        QVERIFY(!IsCalibrated(rig.cell.record(0)));
    }
};

STAVELY_TEST(NewCalibrationTest)
#include "NewCalibrationTest.moc"
