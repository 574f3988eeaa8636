#include "app/frmInstrumentPanel.h"
#include "instrument/frmMoving.h"
#include "results/DataFile.h"
#include "results/DatasheetPanel.h"
#include "results/grdResults.h"
#include "tests/e2e/DefaultFiberRig.h"
#include "tests/support/TestRegistry.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTest>

namespace {

const QString KillFolderVariable = QStringLiteral("STAVELY_TEST_KILL_FOLDER");
const QString ReadyMark = QStringLiteral("SETTINGS CHOSEN");

// A stress-rate preload that the operator is about to change.
const QList<QPair<QString, QString>> LabChoices{{QStringLiteral("PreloadType"), QStringLiteral("2")},
                                                {QStringLiteral("PreloadStress"), QStringLiteral("1000")},
                                                {QStringLiteral("ExptType"), QStringLiteral("0")}};

void typeInto(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Tab); // leaving the box checks and takes the value
}

bool fileHas(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll().contains(text);
}

} // namespace

// What the operator typed or chose survives whatever ends the program, and nothing chosen is dropped
// without a sign.
class NothingLostFlowTest : public QObject {
    Q_OBJECT
private slots:
    // The program is killed after the operator chose the test's parameters: a new start finds them.
    void settingsOutliveAKill() {
        const QString childFolder = qEnvironmentVariable(qPrintable(KillFolderVariable));
        if (!childFolder.isEmpty()) {
            // The child: the whole program, chosen into, then waiting to be killed.
            DefaultFiberRig rig(childFolder);
            QVERIFY(rig.start(LabChoices));
            frmMain& main = *rig.program->mainWindow();
            main.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&main));
            auto box = [&main](const char* name) { return main.findChild<QLineEdit*>(QLatin1String(name)); };
            auto option = [&main](const char* name) {
                return main.findChild<QRadioButton*>(QLatin1String(name));
            };
            typeInto(box("txtOperator"), QStringLiteral("Jane_Doe"));
            typeInto(box("txtSample"), QStringLiteral("B-17"));
            QTest::mouseClick(option("optPreload0"), Qt::LeftButton);
            QTest::mouseClick(option("optRate1"), Qt::LeftButton);
            typeInto(box("txtRate1"), QStringLiteral("60"));
            std::printf("%s %s\n", qPrintable(ReadyMark), qPrintable(rig.program->settings().filePath()));
            std::fflush(stdout);
            QTest::qWait(120000);
            QFAIL("not killed");
        }

        QTemporaryDir folder;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(KillFolderVariable, folder.path());
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("NothingLostFlowTest"), QStringLiteral("settingsOutliveAKill")});
        QString settingsFile;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QString out = QString::fromLocal8Bit(child.peek(4096));
                const qsizetype at = out.indexOf(ReadyMark);
                if (at < 0 || !out.mid(at).contains(QLatin1Char('\n')))
                    return false;
                settingsFile = out.mid(at + ReadyMark.size() + 1).section(QLatin1Char('\n'), 0, 0).trimmed();
                return true;
            }(),
            60000);
        child.kill(); // SIGKILL: no handler, no shutdown
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const SettingsStore store(settingsFile);
        auto stored = [&store](const char* key) {
            return store.getText(QStringLiteral("STAVELY"), QLatin1String(key), QStringLiteral("<none>"));
        };
        QCOMPARE(stored("Operator"), QStringLiteral("Jane_Doe"));
        QCOMPARE(stored("Sample"), QStringLiteral("B-17"));
        QCOMPARE(stored("PreloadType"), QStringLiteral("0"));
        QCOMPARE(stored("ExptType"), QStringLiteral("1"));
        QCOMPARE(stored("ExptStressRate"), QStringLiteral("60"));
        // The file was replaced whole: no half-written copy lies beside it.
        QCOMPARE(QDir(QFileInfo(settingsFile).path()).entryList(QDir::Files).filter(QStringLiteral(".ini")),
                 QStringList{QFileInfo(settingsFile).fileName()});
    }

    // Exit program: the comment being typed is in the data file before the exit question, and a
    // loaded fiber is named in that question with the way to unload it.
    void exitKeepsTheCommentAndNamesALoadedFiber() {
        DefaultFiberRig rig;
        QVERIFY(rig.dir.isValid());
        {
            QFile data(rig.dataFile());
            QVERIFY(data.open(QIODevice::WriteOnly));
            data.write(DataFile::Encoded(DataLine::HeaderLine()));
            data.write(
                "1,63.1,63.1,5143.5,6.31,60 MPa/s,60.02,0.3,3.01,0.02,85.7,0.7,88.2,26/12/07,10:01:05,,"
                "125 500 0 72 3 1N/3000 26/12/07 10:00:00 29.8mm/1.00\r\n");
        }
        QVERIFY(rig.start({}));
        frmMain& main = *rig.program->mainWindow();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        grdResults* grid = rig.program->datasheetPanel()->grid();
        grid->selectCell(0, DataLine::CommentsColumn);
        grid->setFocus();
        QTest::keyClicks(grid, QStringLiteral("S"));
        QTest::keyClicks(grid->editor(), QStringLiteral("lipped"));
        QVERIFY(grid->editing());

        rig.sim.setExtraLoad(23.5); // a fiber still pulled tight
        bool commentOnDisc = false;
        rig.op->answerWith([&](const Prompt&) {
            commentOnDisc = fileHas(rig.dataFile(), ",Slipped,");
            return QVariant(int(MsgResult::No));
        });
        main.findChild<QPushButton*>(QStringLiteral("cmdExit"))->click();
        QCOMPARE(rig.op->last().title, QStringLiteral("EXIT PROGRAM"));
        QVERIFY(commentOnDisc);
        QVERIFY2(rig.op->last().text.startsWith(QStringLiteral("The fiber is still loaded (23.5")),
                 qPrintable(rig.op->last().text));
        QVERIFY(rig.op->last().text.contains(QStringLiteral("press \"Load fiber\"")));
        QVERIFY(rig.op->last().text.endsWith(QStringLiteral("Are you sure you want to exit the program?")));

        // Unloaded, the question is the plain one.
        rig.sim.setExtraLoad(0);
        rig.op->answer(MsgResult::No);
        main.findChild<QPushButton*>(QStringLiteral("cmdExit"))->click();
        QCOMPARE(rig.op->last().text, QStringLiteral("Are you sure you want to exit the program?"));
    }

    // While the capstans move, the main window's choices look disabled (a click there could not be
    // taken), and the instrument's own panel still works its switches.
    void duringAMoveChoicesLookDisabledAndThePanelWorks() {
        DefaultFiberRig rig;
        QVERIFY(rig.start(LabChoices));
        frmMain& main = *rig.program->mainWindow();
        frmInstrumentPanel panel(rig.sim, &main);
        panel.show();
        rig.program->movingWindow()->keepLive(&panel);
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        auto* none = main.findChild<QRadioButton*>(QStringLiteral("optPreload0"));
        auto* breakLine = panel.findChild<QCheckBox*>(QStringLiteral("chkBreak"));
        QVERIFY(none->isEnabled());

        // The panel hears when a modal window blocks it.
        struct BlockWatch : QObject {
            bool blocked = false;
            bool eventFilter(QObject*, QEvent* event) override {
                blocked = blocked || event->type() == QEvent::WindowBlocked;
                return false;
            }
        } blocks;
        panel.installEventFilter(&blocks);
        bool sawMove = false, choicesEnabled = true, panelClicked = false;
        QTimer during;
        connect(&during, &QTimer::timeout, this, [&] {
            if (!rig.program->motion().moving() || sawMove)
                return;
            sawMove = true;
            choicesEnabled = none->isEnabled() || main.findChild<QPushButton*>("cmdBreak")->isEnabled();
            QTest::mouseClick(none, Qt::LeftButton);
            QTest::mouseClick(breakLine, Qt::LeftButton, {}, QPoint(8, breakLine->height() / 2));
            panelClicked = (rig.sim.state().inputs & 0x40) != 0;
        });
        during.start(20);
        main.findChild<QPushButton*>(QStringLiteral("cmdLoad"))->click(); // 2000 steps to go at 5000 /s
        during.stop();
        QVERIFY(sawMove);
        QVERIFY(!choicesEnabled);
        QVERIFY(panelClicked);
        QVERIFY(!blocks.blocked);
        QCOMPARE(rig.program->parameters().PreloadType, 2); // the click was visibly not taken
        QCOMPARE(rig.sim.state().position, 0);
        QVERIFY(none->isEnabled());
        QTest::mouseClick(none, Qt::LeftButton);
        QCOMPARE(rig.program->parameters().PreloadType, 0);
    }
};

STAVELY_TEST(NothingLostFlowTest)
#include "NothingLostFlowTest.moc"
