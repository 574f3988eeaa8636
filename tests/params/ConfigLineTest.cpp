#include "TableFixture.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

// One line of a configuration file.
class ConfigLineTest : public QObject {
    Q_OBJECT
private slots:
    void separatorsCommentsAndCase() {
        TableFixture f;
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("  GaugeLength 250  "), false));
        QCOMPARE(f.p.GaugeLength, 250.f);
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("fiberdiameter=80"), false));
        QCOMPARE(f.p.FiberDiameter, 80.0);
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("Modulus = 70 ; measured"), false));
        QCOMPARE(f.p.Modulus, 70.0);
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("ModulusA\t2.5 ' note"), false));
        QCOMPARE(f.p.ModulusA, 2.5);
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("ratecalculation% 70"), false));
        QCOMPARE(f.p.RateCalculationPercent, qint16(70));
        for (const char* nothing : {"", "   ", "; comment", "' configuration parameters"})
            QVERIFY(f.table.ApplyConfigLine(QString::fromLatin1(nothing), false));
        QVERIFY(f.op.prompts.isEmpty());
    }

    void quotedValuesKeepBlanksEqualsAndCommentMarks() {
        TableFixture f;
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("BreakSound \"My Sounds\\a=b.wav\" ; bell"), false));
        QCOMPARE(f.p.BreakSound, QStringLiteral("My Sounds\\a=b.wav"));
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("breaksound \"Bob's;bell.wav\""), false));
        QCOMPARE(f.p.BreakSound, QStringLiteral("Bob's;bell.wav"));
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("BreakSound \"open ended"), false));
        QCOMPARE(f.p.BreakSound, QStringLiteral("open ended"));
    }

    void numbersAreConvertedByTheVariablesType() {
        TableFixture f;
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("SpecimenCount 1e5"), false));
        QCOMPARE(f.p.SpecimenCount, 100000);
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("ExptType 2.6"), false));
        QCOMPARE(f.p.ExptType, 3);
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("DebugMode TRUE"), false));
        QCOMPARE(f.p.DebugMode, true);
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("Noisy 0"), false));
        QCOMPARE(f.p.Noisy, false);
        // A single at its smallest permitted value is in range.
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("ExptStrainRate 0.00005"), false));
        QCOMPARE(f.p.ExptStrainRate, 0.00005f);
        QVERIFY(f.table.ApplyConfigLine(QStringLiteral("TestingCount 1"), false));
        QVERIFY(f.op.prompts.isEmpty());
    }

    void failuresTellWhyAndKeepTheOldValue() {
        TableFixture f;
        auto refused = [&](const QString& line, const QString& title, const QString& text) {
            f.op.answer(MsgResult::Ok);
            QVERIFY2(!f.table.ApplyConfigLine(line, true), qPrintable(line));
            QCOMPARE(f.op.last().title, title);
            QCOMPARE(f.op.last().text, text);
            QCOMPARE(f.op.last().style, int(MsgStyle::Critical));
        };
        refused(
            "Noisy", "BAD PARAMETER",
            "Bad parameter string:\r\nNoisy\r\n\r\nEach line in the configuration file should consist of a "
            "parameter name\r\nfollowed by a value.");
        refused("CalibrationData0 1,2,3", "NO SUCH PARAMETER",
                "Unknown parameter name:\r\nCalibrationData0 1,2,3");
        refused("LoaderSpeed 5", "NO SUCH PARAMETER", "Unknown parameter name:\r\nLoaderSpeed 5");
        refused("modulus high", "", "Parameter Modulus - unrecognised value: high");
        refused("RepeatSounds 40000", "", "Parameter RepeatSounds - unrecognised value: 40000");
        refused("Noisy maybe", "", "Parameter Noisy - unrecognised value: maybe");
        refused("testingcount 2.0", "",
                "Parameter TestingCount- the value given (2) is outside the permitted range\r\nof 1 to 1 ");
        refused("ExptSpeed 6000", "",
                "Parameter ExptSpeed- the value given (6000) is outside the permitted range\r\nof 0.00001 to "
                "5000 µm/s");
        refused("MicronsPerStep 0.001", "",
                "Parameter MicronsPerStep- the value given (0.001) is outside the permitted range\r\nof 0.01 "
                "to 100 µm");
        refused("BreakSound \"\"", "",
                "Parameter BreakSound- the value given () is outside the permitted range\r\nof   to ~ ");
        QCOMPARE(f.p.Modulus, 72.0);
        QCOMPARE(f.p.RepeatSounds, qint16(0));
        QCOMPARE(f.p.Noisy, true);
        QCOMPARE(f.p.TestingCount, qint16(1));
        QCOMPARE(f.p.ExptSpeed, 5000.0);
        QCOMPARE(f.p.BreakSound, QStringLiteral("Beep"));
    }

    void noWalkIsOpenWhileAMessageIsShown() {
        // A box runs window events; a text box validated meanwhile must still work.
        TableFixture f;
        bool accepted = false;
        f.op.answerWith([&](const Prompt&) {
            QString box = QStringLiteral("300");
            accepted = !f.table.profValidate(QStringLiteral("GaugeLength"), box);
            return QVariant(MsgResult::Ok);
        });
        QVERIFY(!f.table.ApplyConfigLine(QStringLiteral("Modulus 500"), true));
        QVERIFY(accepted);
        QCOMPARE(f.p.GaugeLength, 300.f);
    }
};

STAVELY_TEST(ConfigLineTest)
#include "ConfigLineTest.moc"
