#include "instrument/LoadCell.h"
#include "tests/params/TableFixture.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

// Values in the settings store that no window or configuration line could have set: each falls
// back to its default and the operator is told once which keys that were.
class StoredRangeTest : public QObject {
    Q_OBJECT
private slots:
    void impossibleStoredValuesFallBackToTheirDefaults() {
        TableFixture f;
        const QString section = QStringLiteral("STAVELY");
        const QList<std::pair<const char*, const char*>> stored{
            {"MaxStepRate", "0"},                      // every move would ask for no speed
            {"SpecimenCount", "-7"},                   //
            {"MicronsPerStep", "-1e308"},              //
            {"FiberDiameter", "nan"},                  // not a number at all
            {"ExptSpeed", "inf"},                      //
            {"ExptStressRate", "1e300"},               // beyond what the single can hold
            {"RepeatSounds", "99999"},                 // beyond the 16-bit variable
            {"GaugeLength", "-1e30"},                  //
            {"Noisy", "False"},                        // kept: in range
            {"Modulus", "80"},                         // kept
            {"COMnum", "13"},                          // kept: discovery knows ports up to COM16
            {"BreakSound", "ding.wav"},                // kept
            {"DataFileName", "C:\\data\\fibers.csv"}}; // kept: a name has no range
        for (const auto& [key, value] : stored)
            f.store.saveText(section, QLatin1String(key), QLatin1String(value));

        f.table.LoadParameters();
        QCOMPARE(f.table.LoadResets(),
                 QStringList({"MaxStepRate", "SpecimenCount", "MicronsPerStep", "RepeatSounds",
                              "FiberDiameter", "ExptSpeed", "ExptStressRate", "GaugeLength"}));
        const Parameters defaults;
        QCOMPARE(f.p.MaxStepRate, defaults.MaxStepRate);
        QCOMPARE(f.p.SpecimenCount, defaults.SpecimenCount);
        QCOMPARE(f.p.MicronsPerStep, defaults.MicronsPerStep);
        QCOMPARE(f.p.RepeatSounds, defaults.RepeatSounds);
        QCOMPARE(f.p.FiberDiameter, defaults.FiberDiameter);
        QCOMPARE(f.p.ExptSpeed, 5000.0);
        QCOMPARE(f.p.ExptStressRate, defaults.ExptStressRate);
        QCOMPARE(f.p.GaugeLength, defaults.GaugeLength);
        QCOMPARE(f.p.Noisy, false);
        QCOMPARE(f.p.Modulus, 80.0);
        QCOMPARE(int(f.p.COMnum), 13);
        QCOMPARE(f.p.BreakSound, QStringLiteral("ding.wav"));
        QCOMPARE(f.p.DataFileName, QStringLiteral("C:\\data\\fibers.csv"));

        // One message, once.
        f.op.answer(MsgResult::Ok);
        f.table.ReportLoadResets();
        f.table.ReportLoadResets();
        QCOMPARE(f.op.prompts.size(), 1);
        QCOMPARE(f.op.last().title, QStringLiteral("SETTINGS RESET"));
        QCOMPARE(f.op.last().style, int(MsgStyle::Exclamation));
        QCOMPARE(
            f.op.last().text,
            QStringLiteral("These stored settings held impossible values and have been reset to their "
                           "defaults:\r\nMaxStepRate\r\nSpecimenCount\r\nMicronsPerStep\r\nRepeatSounds\r\n"
                           "FiberDiameter\r\nExptSpeed\r\nExptStressRate\r\nGaugeLength"));

        // A clean store resets nothing and says nothing.
        TableFixture clean;
        clean.table.LoadParameters();
        clean.table.ReportLoadResets();
        QVERIFY(clean.table.LoadResets().isEmpty());
        QVERIFY(clean.op.prompts.isEmpty());
    }

    // A calibration with a number that is not finite converts nothing: it is no calibration, and the
    // channel in use moves to one that has a real one.
    void nonFiniteCalibrationIsUncalibrated_data() {
        QTest::addColumn<QString>("record");
        QTest::newRow("nan slope error") << QStringLiteral("\"LC\",0,51,nan,100,0.5,1,0.1,3,0");
        QTest::newRow("infinite slope") << QStringLiteral("\"LC\",0,inf,0.1,100,0.5,1,0.1,3,0");
        QTest::newRow("nan intercept") << QStringLiteral("\"LC\",0,51,0.1,nan,0.5,1,0.1,3,0");
        QTest::newRow("infinite tare") << QStringLiteral("\"LC\",0,51,0.1,100,0.5,1,0.1,3,-inf");
    }
    void nonFiniteCalibrationIsUncalibrated() {
        QFETCH(QString, record);
        TableFixture f;
        f.store.saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData0"), record);
        f.store.saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData1"),
                         QStringLiteral("\"LC\",1,204,0.2,100,0.5,1,0.1,3,0"));
        LoadCell cell(f.p, f.store);
        cell.LoadCalibrations();
        QVERIFY(!IsCalibrated(cell.record(0)));
        QCOMPARE(int(f.p.ADchannel), 1);
        QCOMPARE(CalibrationText(cell.record(0)), QStringLiteral("uncalibrated"));
    }
};

STAVELY_TEST(StoredRangeTest)
#include "StoredRangeTest.moc"
