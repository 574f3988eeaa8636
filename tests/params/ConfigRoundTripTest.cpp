#include "TableFixture.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

// What one installation writes to a configuration file, another (or the same, later) reads back
// to the same values, without a message.
class ConfigRoundTripTest : public QObject {
    Q_OBJECT

    // Writes every parameter of `from` and reads the file into a fresh table whose step size is
    // `micronsPerStep` (a value no configuration file carries); the messages of the reading.
    static QList<Prompt> writeAndReadBack(TableFixture& from, TableFixture& to) {
        from.op.answer(from.path(QStringLiteral("lab.cfg")));
        from.op.answer(MsgResult::Ok);
        from.table.WriteConfigFile(false);
        to.table.ReadConfigFile(from.path(QStringLiteral("lab.cfg")));
        return to.op.prompts;
    }

private slots:
    // Sound names the files can hold come back as they were, blanks and quotes included.
    void breakSoundNamesSurviveTheFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("quote and semicolon") << "50\"a;b";
        QTest::newRow("leading blank") << " bell.wav";
        QTest::newRow("quotes around") << "\"ding\".wav";
        QTest::newRow("equals and apostrophe") << "it's=on.wav";
        QTest::newRow("euro sign") << "\u20ac";
        QTest::newRow("accents") << "Glocke gro\u00df \u00e9t\u00e9.wav";
    }
    void breakSoundNamesSurviveTheFiles() {
        QFETCH(QString, name);
        TableFixture from, to;
        QString box = name;
        QVERIFY(!from.table.profValidate(QStringLiteral("BreakSound"), box));
        QCOMPARE(from.p.BreakSound, name);
        const QList<Prompt> said = writeAndReadBack(from, to);
        QVERIFY2(said.isEmpty(), qPrintable(said.value(0).text));
        QCOMPARE(to.p.BreakSound, name);
        // And through the settings.
        from.table.SaveParameters();
        TableFixture again;
        SettingsStore store(from.store.filePath());
        ParameterTable table(again.p, store, again.op);
        table.LoadParameters();
        QCOMPARE(again.p.BreakSound, name);
    }

    // Names no file can give back are refused where they are chosen, with the reason.
    void breakSoundNamesTheFilesCannotHoldAreRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("said");
        const QString range = QStringLiteral("Sound to play when fiber breaks is outside the range   to ~ ");
        QTest::newRow("line break") << "a\r\nb.wav" << range;
        QTest::newRow("beyond the code page")
            << "\u9234.wav"
            << "Sound to play when fiber breaks: the character \"\u9234\" can not be kept in the settings "
               "and "
               "configuration files: only the printable characters of the Windows-1252 code page can. Please "
               "rename the file.";
    }
    void breakSoundNamesTheFilesCannotHoldAreRefused() {
        QFETCH(QString, name);
        QFETCH(QString, said);
        TableFixture f;
        f.op.answer(MsgResult::Ok);
        QString box = name;
        QVERIFY(f.table.profValidate(QStringLiteral("BreakSound"), box));
        QCOMPARE(f.op.last().text, said);
        QCOMPARE(f.p.BreakSound, QStringLiteral("Beep"));
    }

    // A smaller step or a lower step rate brings the speeds that follow them along: the file
    // written then reads back without a value out of range.
    void speedsFollowTheirLimits_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("limit");
        QTest::newRow("MicronsPerStep 0.5") << "MicronsPerStep 0.5" << 2500.0;
        QTest::newRow("MaxStepRate 400") << "MaxStepRate 400" << 400.0;
    }
    void speedsFollowTheirLimits() {
        QFETCH(QString, line);
        QFETCH(double, limit);
        TableFixture from, to;
        QVERIFY(from.table.ApplyConfigLine(line, false));
        QCOMPARE(from.p.ExptSpeed, limit);
        QCOMPARE(from.p.PreloadUserSpeed, limit);
        QVERIFY(from.p.HiCurrRate <= from.p.MaxStepRate);
        to.p.MicronsPerStep = from.p.MicronsPerStep;
        to.p.MaxStepRate = from.p.MaxStepRate;
        const QList<Prompt> said = writeAndReadBack(from, to);
        QVERIFY2(said.isEmpty(), qPrintable(said.value(0).text));
        QCOMPARE(to.p.ExptSpeed, limit);
        QCOMPARE(to.p.PreloadUserSpeed, limit);
    }
};

STAVELY_TEST(ConfigRoundTripTest)
#include "ConfigRoundTripTest.moc"
