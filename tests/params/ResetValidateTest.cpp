#include "TableFixture.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

// Resets with their preview, and validation of typed values.
class ResetValidateTest : public QObject {
    Q_OBJECT
private slots:
    void previewListsChangesCutTo20() {
        TableFixture f;
        f.table.setCalibrationTextProvider(
            [](int ch) { return ch == 1 ? QStringLiteral("0.5,1.25") : QString(); });
        f.p.BreakSound = QString();
        f.p.GridColWidths = QStringLiteral("1,2,3");
        f.p.MaxStepRate = 100;
        f.op.answer(MsgResult::No);
        f.table.ResetParameters();
        QCOMPARE(f.op.last().title, QStringLiteral("RESET PARAMETERS"));
        QCOMPARE(f.op.last().style, int(MsgStyle::YesNo | MsgStyle::Question));
        QCOMPARE(f.op.last().text, QStringLiteral("The following parameters will be reset:\r\r"
                                                  "ExptSpeed from 5000 to 100\r"
                                                  "BreakSound from \"\" to Beep\r"
                                                  "PreloadUserSpeed from 5000 to 100\r"
                                                  "CalibrationData1 from 0.5,1.25 to \"\"\r"
                                                  "GridColWidths from 1,2,3 to 500,500,600,600,600,...\r"
                                                  "\rDo you want to continue?"));
        QCOMPARE(f.p.BreakSound, QString()); // No changes nothing
    }

    void resetLeavesTheUnresettableAlone() {
        TableFixture f;
        f.p.MaxStepRate = 3000;
        f.p.COMnum = 5;
        f.p.Noisy = false;
        f.p.SpecimenCount = 99;
        f.op.answer(MsgResult::Yes);
        f.table.ResetParameters();
        QCOMPARE(f.p.Noisy, true);
        QCOMPARE(f.p.SpecimenCount, 1);
        QCOMPARE(f.p.MaxStepRate, 3000);
        QCOMPARE(f.p.COMnum, qint16(5));
        f.op.answer(MsgResult::Ok);
        f.table.ResetParameters();
        QCOMPARE(f.op.last().text, QStringLiteral("No parameters need to be reset to their default values"));
        QCOMPARE(f.op.last().style, int(MsgStyle::OkOnly));
    }

    void resetOneParameter() {
        TableFixture f;
        f.p.GridColWidths = QStringLiteral("1,2");
        f.p.Noisy = false;
        f.table.ResetParameter(QStringLiteral("gridcolwidths"));
        QCOMPARE(f.p.GridColWidths, Parameters().GridColWidths);
        QCOMPARE(f.p.Noisy, false);
        f.table.ResetParameter(QStringLiteral("GridColWidths")); // already at its default: no complaint
        QVERIFY(f.op.prompts.isEmpty());
        for (const char* key : {"NoSuchKey", "MaxStepRate"}) {
            f.op.answer(MsgResult::Ok);
            f.table.ResetParameter(QString::fromLatin1(key));
            QCOMPARE(f.op.last().title, QStringLiteral("BUG!"));
            QCOMPARE(f.op.last().text, QStringLiteral("Reset single parameter failed - was not recognised"));
        }
    }

    void validateTakesAGoodValue() {
        TableFixture f;
        QString box = QStringLiteral(" 2.5e2 ");
        QVERIFY(!f.table.profValidate(QStringLiteral("gaugelength"), box));
        QCOMPARE(f.p.GaugeLength, 250.f);
        box = QStringLiteral("7");
        QVERIFY(!f.table.profValidate(QStringLiteral("TestingCount"), box)); // min = max: no range
        QCOMPARE(f.p.TestingCount, qint16(7));
        box = QStringLiteral("Gong");
        QVERIFY(!f.table.profValidate(QStringLiteral("BreakSound"), box));
        QCOMPARE(f.p.BreakSound, QStringLiteral("Gong"));
        QVERIFY(f.op.prompts.isEmpty());
    }

    void validateRefusesAndRestoresTheBox() {
        TableFixture f;
        auto refused = [&](const QString& key, const QString& typed, const QString& text,
                           const QString& restored) {
            QString box = typed;
            f.op.answer(MsgResult::Ok);
            QVERIFY(f.table.profValidate(key, box));
            QCOMPARE(f.op.last().title, QStringLiteral("BAD VALUE"));
            QCOMPARE(f.op.last().style, int(MsgStyle::Critical));
            QCOMPARE(f.op.last().text, text);
            QCOMPARE(box, restored);
        };
        refused("GaugeLength", "long", "Gauge length must be a number", "500");
        refused("GaugeLength", "1000.5", "Gauge length is outside the range 10 to 1000 mm", "500");
        refused("ExptStressRate", "0", "Stress rate is outside the range 0.0006 to 6000 MPa/s", "60");
        refused("RateCalculation%", "91",
                "% of break load used for rate calculations is outside the range 0 to 90 %", "80");
        refused("TestingCount", "40000", "Testing count is outside the range 1 to 1 ", "1"); // beyond 16 bits
        f.p.MaxStepRate = 2000;
        refused("ExptSpeed", "2000.5", "Experiment speed is outside the range 0.00001 to 2000 µm/s", "5000");
        refused("BreakSound", "\x7f", "Sound to play when fiber breaks is outside the range   to ~ ", "Beep");
        QCOMPARE(f.p.GaugeLength, 500.f);
        QCOMPARE(f.p.TestingCount, qint16(1));
    }

    void validateUnknownKeyAndUnknownAction() {
        TableFixture f;
        QString box = QStringLiteral("1");
        f.op.answer(MsgResult::Ok);
        QVERIFY(f.table.profValidate(QStringLiteral("Speed"), box));
        QCOMPARE(f.op.last().title, QStringLiteral("ERROR CALLING profValidate IN MODULE ProfileStuff"));
        QCOMPARE(f.op.last().text, QStringLiteral("NO SUCH PARAMETER NAME\r\rParameter Speed not found!"));
        QCOMPARE(box, QStringLiteral("1"));
        f.op.answer(MsgResult::Ok);
        f.table.Walk(11);
        QCOMPARE(f.op.prompts.size(), 2); // once for the walk, not once per row
        QCOMPARE(f.op.last().text, QStringLiteral("Unknown action in DoParameter in module ProfileStuff"));
        QCOMPARE(f.op.last().style, int(MsgStyle::Critical));
    }
};

STAVELY_TEST(ResetValidateTest)
#include "ResetValidateTest.moc"
