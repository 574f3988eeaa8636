#include "results/DataFile.h"
#include "results/Datasheet.h"
#include "tests/e2e/DefaultFiberRig.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

// An edit the data file did not take (its rewrite failed) is counted at the end like a result the
// file lacks, and the export is offered.
class UnsavedEditFlowTest : public QObject {
    Q_OBJECT
private slots:
    void anEditTheFileLacksIsToldAtTheEnd() {
        DefaultFiberRig lab;
        QVERIFY(lab.start({}));
        Datasheet& sheet = lab.program->datasheet();
        QFile file(lab.dataFile());
        QVERIFY(file.open(QIODevice::Append));
        file.write("7,61.2,61.2,4990,6.1,5000 \xB5m/s,5000,1,60,0.1,900,1,6.3,26/12/07,10:00:00,,x\r\n");
        file.close();
        QVERIFY(sheet.file2grd(lab.dataFile()));
        QCOMPARE(sheet.resultRows(), 1);

        // A folder where the .BAK goes stops the rewrite.
        QVERIFY(QDir(lab.dir.path()).mkdir(QStringLiteral("results.BAK")));
        lab.op->answer(1);
        sheet.SetComment(0, QStringLiteral("slipped"), QString());
        QVERIFY(sheet.editsNotInFile());

        const int before = int(lab.op->prompts.size());
        lab.op->answer(MsgResult::Yes);
        lab.op->answer(MsgResult::No);
        bool ended = false;
        try {
            lab.program->mainWindow()->close();
        } catch (const ProgramEnded&) {
            ended = true;
        }
        QVERIFY(ended);
        QStringList titles;
        for (int i = before; i < lab.op->prompts.size(); ++i)
            titles << lab.op->prompts[i].title;
        QCOMPARE(titles, (QStringList{"EXIT PROGRAM", "RESULTS NOT IN THE DATA FILE"}));
        QVERIFY(lab.op->prompts[before + 1].text.startsWith(
            QStringLiteral(
                "Changes made to the datasheet (an edited comment or a deleted row) are not in the "
                "data file\r") +
            lab.dataFile()));
    }
};

STAVELY_TEST(UnsavedEditFlowTest)
#include "UnsavedEditFlowTest.moc"
