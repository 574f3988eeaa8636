#include "TableFixture.h"
#include "tests/support/TestRegistry.h"

#include <QStandardPaths>
#include <QTest>

// Reading and writing whole configuration files.
class ConfigFileTest : public QObject {
    Q_OBJECT
private slots:
    void writeChangedAfterResetIsOnlyTheHeader() {
        TableFixture f;
        f.p.MaxStepRate = 3000;
        f.p.COMnum = 4;
        f.p.DebugMode = true;
        f.p.MicronsPerStep = 2; // reset, but never written
        f.p.GaugeLength = 250;
        f.op.answer(MsgResult::Yes);
        f.table.ResetParameters();
        f.op.answer(f.path("changed.ini"));
        f.table.WriteConfigFile(true);
        QCOMPARE(f.readFile("changed.ini"), QByteArray("' configuration parameters\r\n"));
        QCOMPARE(f.op.prompts.size(), 2); // the reset question and the dialog, no count message
        QCOMPARE(f.p.MaxStepRate, 3000);
        QCOMPARE(f.p.COMnum, qint16(4));
        QCOMPARE(f.p.GaugeLength, 500.f);
        QCOMPARE(f.p.ExptSpeed, 3000.0); // default from the kept MaxStepRate and the reset MicronsPerStep
    }

    void writtenBytesAndTheCountMessage() {
        TableFixture f;
        f.p.GaugeLength = 250;
        f.p.BreakSound = QStringLiteral(" µ bell.wav ");
        f.p.Noisy = false;
        f.p.DebugMode = true;
        f.p.COMnum = 3;
        f.op.answer(f.path("diff.cfg"));
        f.op.answer(MsgResult::Ok);
        f.table.WriteConfigFile(true);
        QCOMPARE(f.readFile("diff.cfg"), QByteArray("' configuration parameters\r\n"
                                                    "Noisy False\r\n"
                                                    "BreakSound \" \xB5 bell.wav \"\r\n"
                                                    "GaugeLength 250\r\n"));
        QCOMPARE(f.op.last().title, QStringLiteral("WRITE CONFIGURATION FILE"));
        QCOMPARE(f.op.last().text, QStringLiteral("3 parameters written to configuration file"));
        QCOMPARE(f.op.last().style, int(MsgStyle::Information));
        const FileDialogRequest& dialog = f.op.prompts[0].file;
        QCOMPARE(dialog.title, QStringLiteral("OPEN CONFIGURATION FILE FOR WRITING"));
        QCOMPARE(dialog.filter,
                 QStringLiteral(
                     "Initialisation files (*.ini)|*.ini|Config files (*.cfg)|*.cfg|All files (*.*)|*.*"));
        QVERIFY(dialog.confirmOverwrite && dialog.confirmCreate);
    }

    void writeAllReadsBackToTheSameValues() {
        TableFixture f;
        f.p.ExptStressRate = 0.1f;
        f.p.ExptSpeed = 1.0 / 3;
        f.p.BreakSound = QString();
        f.p.SpecimenCount = 123456;
        f.p.RateCalculationPercent = 85;
        f.p.StaticMaxHold = 1.5;
        // A lab database address holds '=', '&' and '?' and must read back whole.
        f.p.LabDatabase =
            QStringLiteral("postgresql://tester3@labserver/results?sslmode=verify-full&connect_timeout=3");
        f.op.answer(f.path("all.ini"));
        f.op.answer(MsgResult::Ok);
        f.table.WriteConfigFile(false);
        QCOMPARE(f.op.last().text, QStringLiteral("39 parameters written to configuration file"));
        QVERIFY(f.readFile("all.ini").contains("\r\nBreakSound \" \"\r\n"));
        const Parameters written = f.p;

        TableFixture g;
        g.table.ReadConfigFile(f.path("all.ini"));
        QVERIFY(g.op.prompts.isEmpty()); // no dialog: no success list either
        QCOMPARE(g.p.ExptStressRate, written.ExptStressRate);
        QCOMPARE(g.p.ExptSpeed, written.ExptSpeed);
        QCOMPARE(g.p.SpecimenCount, written.SpecimenCount);
        QCOMPARE(g.p.RateCalculationPercent, written.RateCalculationPercent);
        QCOMPARE(g.p.StaticMaxHold, 1.5);
        QCOMPARE(g.p.LabDatabase, written.LabDatabase);
        QCOMPARE(g.p.BreakSound, QStringLiteral(" "));
    }

    void readThroughTheDialogListsWhatWasSet() {
        TableFixture f;
        const QString name =
            f.writeFile("in.cfg", "' header\r\nbreaksound Beep\nBreakSound \"x y.wav\"\rnoisy true"
                                  "\r\n\r\nGaugeLength=1e2 ; short\r\n");
        f.op.answer(name);
        f.op.answer(MsgResult::Ok);
        f.table.ReadConfigFile(QString());
        QCOMPARE(f.p.BreakSound, QStringLiteral("x y.wav")); // the last line wins
        QCOMPARE(f.op.last().title, QStringLiteral("SUCCESS"));
        QCOMPARE(f.op.last().style, int(MsgStyle::Information));
        QCOMPARE(f.op.last().text, QStringLiteral("4 parameters have been successfully set. They are:\r\n"
                                                  "\r\nBreakSound Beep \r\nBreakSound x y.wav \r\nNoisy True "
                                                  "\r\nGaugeLength 100 "));
        const FileDialogRequest& dialog = f.op.prompts[0].file;
        QCOMPARE(dialog.title, QStringLiteral("OPEN CONFIGURATION FILE"));
        QVERIFY(dialog.mustExist);
    }

    void tenthErrorStopsTheFile() {
        TableFixture f;
        QByteArray bytes = "GaugeLength 100\r\n";
        for (int i = 1; i <= 12; ++i)
            bytes += "Bad" + QByteArray::number(i) + " 1\r\n";
        bytes += "FiberDiameter 80\r\n";
        for (int i = 0; i < 10; ++i)
            f.op.answer(MsgResult::Ok);
        f.op.answer(MsgResult::Ok);
        f.table.ReadConfigFile(f.writeFile("bad.cfg", bytes));
        QCOMPARE(f.op.prompts.size(), 11);
        QCOMPARE(f.op.prompts[9].text, QStringLiteral("Unknown parameter name:\r\nBad10 1"));
        QCOMPARE(f.op.last().title, QStringLiteral("TOO MANY ERRORS"));
        QCOMPARE(f.op.last().text,
                 QStringLiteral("10 errors encountered while reading configuration file.\r\n"
                                "No more parameters will be read from the file"));
        QCOMPARE(f.p.GaugeLength, 100.f); // lines before the errors stay set
        QCOMPARE(f.p.FiberDiameter, 125.0);
    }

    void dialogsStartWhereTheOperatorLastWas() {
        TableFixture f;
        f.table.setDataFolderProvider([] { return QStringLiteral("/data/folder"); });
        f.op.cancel();
        f.table.ReadConfigFile(QString());
        QCOMPARE(f.op.last().file.initialFolder, QStringLiteral("/data/folder"));
        f.op.answer(f.path("sub.ini"));
        f.op.answer(MsgResult::Ok);
        f.table.WriteConfigFile(false);
        f.op.cancel();
        f.table.ReadConfigFile(QString()); // cancelled silently
        QCOMPARE(f.op.last().file.initialFolder, f.dir.path());
        QCOMPARE(f.op.prompts.size(), 4);
        f.op.cancel();
        f.table.WriteConfigFile(true);
        QCOMPARE(f.op.last().file.initialName, QStringLiteral("sub.ini"));

        TableFixture g;
        g.op.cancel();
        g.table.WriteConfigFile(true);
        QCOMPARE(g.op.last().file.initialFolder,
                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    }
};

STAVELY_TEST(ConfigFileTest)
#include "ConfigFileTest.moc"
