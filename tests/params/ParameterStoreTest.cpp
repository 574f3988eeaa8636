#include "TableFixture.h"
#include "tests/support/TestRegistry.h"

#include <QSettings>
#include <QTest>

// Loading and saving every parameter through the settings store.
class ParameterStoreTest : public QObject {
    Q_OBJECT
private slots:
    void freshStoreGivesTheDefaults() {
        TableFixture f;
        f.p.ExptSpeed = 1;
        f.p.PreloadUserSpeed = 2;
        f.p.BreakSound.clear();
        f.p.COMnum = 7;
        f.p.DebugMode = true; // its own value is its default
        f.p.ADchannel = 2;
        f.table.LoadParameters();
        QCOMPARE(f.p.ExptSpeed, 5000.0);
        QCOMPARE(f.p.PreloadUserSpeed, 5000.0);
        QCOMPARE(f.p.BreakSound, QStringLiteral("Beep"));
        QCOMPARE(f.p.COMnum, qint16(0));
        QCOMPARE(f.p.DebugMode, true);
        QCOMPARE(f.p.ADchannel, qint16(2));
        QCOMPARE(f.p.ComplianceFactor, 1.3f);
        QCOMPARE(f.p.CopySpecialColumn1, qint16(16));
        QVERIFY(f.op.prompts.isEmpty());
    }

    void computedDefaultsFollowTheLoadedValues() {
        TableFixture f;
        f.store.saveText("STAVELY", "MaxStepRate", "4000");
        f.store.saveText("STAVELY", "MicronsPerStep", "0.5");
        f.table.LoadParameters();
        QCOMPARE(f.p.ExptSpeed, 2000.0);
        QCOMPARE(f.p.PreloadUserSpeed, 2000.0);
    }

    void saveAndLoadRoundTrip() {
        TableFixture f;
        f.p.SpecimenCount = 40000; // beyond 16 bits
        f.p.Noisy = false;
        f.p.ExptStrainRate = 0.1f;
        f.p.ExptSpeed = 1.0 / 3;
        f.p.BreakSound = QStringLiteral("C:\\Sounds\\µ bell.wav");
        f.p.RateCalculationPercent = 65;
        f.p.GridColWidths = QStringLiteral("1,2,3");
        f.p.TestingCount = 1;
        f.table.setCalibrationTextProvider([](int ch) { return QStringLiteral("cal %1").arg(ch); });
        f.table.SaveParameters();
        QCOMPARE(f.stored("Noisy"), QStringLiteral("False"));
        QCOMPARE(f.stored("ExptStrainRate"), QStringLiteral("0.1"));
        QCOMPARE(f.stored("RateCalculation%"), QStringLiteral("65"));
        QCOMPARE(f.stored("CalibrationData2"), QStringLiteral("cal 2"));
        QCOMPARE(f.stored("DebugMode"), QStringLiteral("<none>"));
        QCOMPARE(f.stored("TestingCount"), QStringLiteral("<none>"));

        Parameters loaded;
        loaded.DebugMode = false;
        SettingsStore reopened(f.store.filePath());
        ParameterTable table(loaded, reopened, f.op);
        table.LoadParameters();
        QCOMPARE(loaded.SpecimenCount, 40000);
        QCOMPARE(loaded.Noisy, false);
        QCOMPARE(loaded.ExptStrainRate, 0.1f);
        QCOMPARE(loaded.ExptSpeed, 1.0 / 3);
        QCOMPARE(loaded.BreakSound, f.p.BreakSound);
        QCOMPARE(loaded.RateCalculationPercent, qint16(65));
        QCOMPARE(loaded.GridColWidths, QStringLiteral("1,2,3"));
    }

    void storedTextsAreReadLeniently() {
        TableFixture f;
        f.store.saveText("STAVELY", "Noisy", "FALSE");
        f.store.saveText("STAVELY", "ReverseSense", "-1");
        f.store.saveText("STAVELY", "PlotsShowDots", "0");
        f.store.saveText("STAVELY", "DebugMode", "true");     // never saved, but read when present
        f.store.saveText("STAVELY", "Modulus", "seventy");    // unconvertible: default kept
        f.store.saveText("STAVELY", "RepeatSounds", "40000"); // cannot be held in 16 bits
        f.store.saveText("STAVELY", "ExptType", "7");         // outside its range: default
        f.store.saveText("STAVELY", "TestingCount", "5");     // not stored: never read
        f.p.Modulus = 1;
        f.table.LoadParameters();
        QCOMPARE(f.p.Noisy, false);
        QCOMPARE(f.p.ReverseSense, true);
        QCOMPARE(f.p.PlotsShowDots, false);
        QCOMPARE(f.p.DebugMode, true);
        QCOMPARE(f.p.Modulus, 72.0);
        QCOMPARE(f.p.RepeatSounds, qint16(0));
        QCOMPARE(f.p.ExptType, 0);
        QCOMPARE(f.p.TestingCount, qint16(1));
        QVERIFY(f.op.prompts.isEmpty()); // the list of reset keys is told after start-up
        QCOMPARE(f.table.LoadResets(), QStringList({"RepeatSounds", "Modulus", "ExptType"}));
    }

    void valueTextByKeyInAnyCase() {
        TableFixture f;
        f.p.RateCalculationPercent = 42;
        QCOMPARE(f.table.valueText("ratecalculation%"), QStringLiteral("42"));
        QCOMPARE(f.table.valueText("AutoGotoLoadPos"), QStringLiteral("True"));
        QCOMPARE(f.table.valueText("NoSuchKey"), QString());
    }
};

STAVELY_TEST(ParameterStoreTest)
#include "ParameterStoreTest.moc"
