#include "instrument/BreakRunHooks.h"
#include "instrument/MoveReport.h"
#include "tests/e2e/MotionRig.h"
#include "tests/support/TestRegistry.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

const QString Caption = QStringLiteral("TEST MOVE");

// Counts the break run's per-poll calls and checks they come in order.
struct CountingHooks : BreakRunHooks {
    int samples = 0;
    int servo = 0;
    bool ordered = true;
    void LtSample() override { ++samples; }
    void svoCheck() override {
        ordered = ordered && samples == servo + 1;
        ++servo;
    }
};

QLabel* label(QWidget& window, const char* name) {
    return window.findChild<QLabel*>(QLatin1String(name));
}

} // namespace

class MoveFlowTest : public QObject {
    Q_OBJECT
private slots:
    void fastMoveStartsAtHalfSpeedThenDoubles() {
        MotionRig rig;
        QVERIFY(rig.start());
        QString caption;
        QString loadShown;
        QTimer::singleShot(450, [&] {
            caption = label(rig.window, "lblAction")->text();
            loadShown = label(rig.window, "lblBroken")->text();
        });
        QCOMPARE(rig.motion.MoveTo(6000, 8000, 0, 0, Caption), 0);

        const auto log = rig.commands();
        const qsizetype move = log.indexOf(moveCommand(6000, "457A0000"));
        QVERIFY2(move > 0, "the move starts at 4000 steps/s");
        QCOMPARE(log.at(move - 1), QByteArray("S0010"));
        QCOMPARE(rig.count("X"), 1);
        // Doubled only after a poll has seen the motor more than 1000 steps out.
        const qsizetype doubled = log.indexOf("X");
        QVERIFY(doubled > move && log.mid(move, doubled - move).contains("L"));
        QCOMPARE(rig.motion.Position(), 6000);
        QCOMPARE(rig.sim.state().position, 6000);
        QCOMPARE(caption, Caption);
        QCOMPARE(loadShown, QStringLiteral("Load  0.00 N"));
        QVERIFY(!rig.window.isVisible());
        QVERIFY(label(rig.window, "lblBroken")->text().isEmpty());
        QCOMPARE(label(rig.window, "lblPosition")->text(), QStringLiteral("6000"));
    }

    void moveAtFiveThousandNeverDoubles() {
        MotionRig rig;
        QVERIFY(rig.start());
        // A window left off the screen comes back centred over the main window; the main window's
        // position label is out of use meanwhile.
        QWidget mainWindow;
        mainWindow.setGeometry(100, 120, 500, 400);
        QLabel mainPosition(&mainWindow);
        rig.window.setMainWindow(&mainWindow);
        rig.window.setMainPositionLabel(&mainPosition);
        rig.window.move(-5000, -5000);
        QPoint centre;
        bool labelEnabled = true;
        QTimer::singleShot(100, [&] {
            centre = rig.window.frameGeometry().center();
            labelEnabled = mainPosition.isEnabled();
        });
        QCOMPARE(rig.motion.MoveTo(3000, 5000, 0, 0, Caption), 0);
        QVERIFY((centre - mainWindow.frameGeometry().center()).manhattanLength() <= 2);
        QVERIFY(!labelEnabled);
        QVERIFY(mainPosition.isEnabled());
        QCOMPARE(rig.count(moveCommand(3000, "459C4000")), 1);
        QCOMPARE(rig.count("X"), 0);
        QCOMPARE(rig.motion.Position(), 3000);
    }

    void stopButtonSendsOneStop() {
        MotionRig rig;
        QVERIFY(rig.start());
        QList<qint32> shown;
        connect(&rig.motion, &Motion::positionChanged, this, [&](qint32 p) { shown.append(p); });
        QTimer::singleShot(500, rig.window.stopButton(), &QPushButton::click);
        QCOMPARE(rig.motion.MoveTo(100000, 2000, 0, 255, Caption), int(MoveStatus::OperatorStop));
        // The operator's own stop is not reported, even with every report bit set.
        QVERIFY(rig.op.prompts.isEmpty());
        QCOMPARE(rig.count("!"), 1);
        const auto log = rig.commands();
        QCOMPARE(log.at(log.indexOf("!") + 1), QByteArray("L"));
        QVERIFY(rig.motion.Position() > 0 && rig.motion.Position() < 100000);
        QCOMPARE(rig.motion.Position(), rig.sim.state().position);
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.last(), rig.motion.Position());
    }

    void lockedKeyboardStopsOnlyOnEnter() {
        MotionRig rig;
        QVERIFY(rig.start());
        rig.params.LockKeyboardWhenMoving = true;
        QString instruction;
        qint32 beforeEnter = 0;
        QTimer::singleShot(300, [&] {
            instruction = label(rig.window, "Label1")->text();
            QTest::keyClick(rig.window.stopButton(), Qt::Key_A);
            QTest::keyClick(rig.window.stopButton(), Qt::Key_Space);
            QTest::keyClick(rig.window.lockKeyboardBox(), Qt::Key_Q);
            QTest::keyClick(&rig.window, Qt::Key_Escape);
        });
        QTimer::singleShot(1100, [&] {
            beforeEnter = rig.motion.Position();
            QTest::keyClick(rig.window.stopButton(), Qt::Key_Return);
        });
        QCOMPARE(rig.motion.MoveTo(100000, 2000, 0, 0, Caption), int(MoveStatus::OperatorStop));
        QCOMPARE(instruction, QStringLiteral("Press the enter key or click the button to stop the motor."));
        QVERIFY2(beforeEnter > 1500, "letters did not stop the motor");
        QCOMPARE(rig.count("!"), 1);
    }

    void unlockedKeyboardStopsOnAnyKey() {
        MotionRig rig;
        QVERIFY(rig.start());
        QString instruction;
        QTimer::singleShot(300, [&] {
            instruction = label(rig.window, "Label1")->text();
            QTest::keyClick(rig.window.lockKeyboardBox(), Qt::Key_A);
        });
        QCOMPARE(rig.motion.MoveTo(100000, 2000, 0, 0, Caption), int(MoveStatus::OperatorStop));
        QCOMPARE(instruction, QStringLiteral("Press any key or click the button to stop the motor."));
        QCOMPARE(rig.count("!"), 1);
        QVERIFY(rig.motion.Position() < 2000);

        // Ticking the box during a move locks the keys at once and is kept for the next move.
        bool stillMoving = false;
        QTimer::singleShot(200, [&] {
            rig.window.lockKeyboardBox()->click();
            QTest::keyClick(rig.window.stopButton(), Qt::Key_S);
        });
        QTimer::singleShot(700, [&] {
            stillMoving = rig.sim.state().status == 11;
            rig.window.stopButton()->click();
        });
        rig.motion.MoveTo(100000, 2000, 0, 0, Caption);
        QVERIFY(stillMoving);
        QVERIFY(rig.params.LockKeyboardWhenMoving);
        QCOMPARE(label(rig.window, "Label1")->text(),
                 QStringLiteral("Press the enter key or click the button to stop the motor."));
    }

    void garbledStatusDoesNotPassForTheEnd() {
        MotionRig rig;
        QVERIFY(rig.start());
        QTimer::singleShot(400, [&] {
            SimFaults faults;
            faults.badHex = SimFaults::BadHex::Next;
            rig.sim.setFaults(faults);
        });
        rig.op.answer(1);             // Retry, which stops the motor first
        rig.op.answer(MsgResult::Ok); // the garbled reply shown
        QCOMPARE(rig.motion.MoveTo(100000, 2000, 0, 0, Caption), int(MoveStatus::OperatorStop));
        QCOMPARE(rig.op.prompts.first().title, QStringLiteral("COMMUNICATIONS TIMEOUT"));
        QCOMPARE(rig.motion.Position(), rig.sim.state().position);
        QVERIFY(rig.motion.Position() > 0 && rig.motion.Position() < 100000);
    }

    void localControlIsAlwaysReported() {
        MotionRig rig;
        QVERIFY(rig.start());
        SimFaults faults;
        faults.localControl = true;
        rig.sim.setFaults(faults);
        rig.op.answer(MsgResult::Ok);
        QCOMPARE(rig.motion.MoveTo(1000, 1000, 0, 0, Caption), int(MoveStatus::LocalControl));
        QCOMPARE(rig.op.prompts.size(), 1);
        QCOMPARE(rig.op.last().kind, QStringLiteral("msgBox"));
        QCOMPARE(rig.op.last().title, QStringLiteral("DRIVE UNDER LOCAL CONTROL"));
        QCOMPARE(rig.op.last().text, QStringLiteral("Stepper motor drive is in local control mode"));
        QCOMPARE(rig.op.last().style, int(MsgStyle::Exclamation));
    }

    void interruptedMoveAsksWhetherToEnd_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("result");
        QTest::addColumn<qint32>("position");
        QTest::newRow("end") << int(MsgResult::Yes) << QByteArray("!") << int(MoveStatus::OperatorStop)
                             << qint32(1000);
        QTest::newRow("resume") << int(MsgResult::No) << QByteArray("g") << int(MoveStatus::Done)
                                << qint32(2500);
    }
    void interruptedMoveAsksWhetherToEnd() {
        QFETCH(int, answer);
        QFETCH(QByteArray, sent);
        QFETCH(int, result);
        QFETCH(qint32, position);
        MotionRig rig;
        QVERIFY(rig.start());
        SimFaults faults;
        faults.interruptAt = 1000;
        rig.sim.setFaults(faults);
        rig.op.answer(answer);
        QCOMPARE(rig.motion.MoveTo(2500, 4000, 0, 0, Caption), result);
        QCOMPARE(rig.op.prompts.size(), 1);
        QCOMPARE(rig.op.last().title, QString());
        QCOMPARE(rig.op.last().text,
                 QStringLiteral("Motion interrupted by user\r\nDo you want to end the move?"));
        QCOMPARE(rig.op.last().style, int(MsgStyle::YesNo + MsgStyle::Exclamation));
        QCOMPARE(rig.count(sent), 1);
        QCOMPARE(rig.motion.Position(), position);
    }

    void breakRunStopsOnTheLoadDrop() {
        SimConfig config = SimTest::quietConfig(1.0); // breaks near 12 N
        MotionRig rig(config);
        QVERIFY(rig.start());
        LoadCalibration& cal = rig.loadCell.record(0);
        cal.Slope = CalField::number(config.gain[0]);
        cal.SlopeError = CalField::number(0.1);
        cal.Intercept = CalField::number(config.intercept[0]);
        cal.ZeroOffset = CalField::number(0);
        rig.link.SetLoadSampling(0, 16, -1, 4090);
        CountingHooks hooks;
        rig.motion.setBreakRunHooks(&hooks);
        rig.run.BreakRunActive = 1;
        QString loadShown;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!label(rig.window, "lblBroken")->text().isEmpty())
                loadShown = label(rig.window, "lblBroken")->text();
        });
        watch.start(20);

        QCOMPARE(rig.motion.MoveTo(100000, 5000, 8, 95, Caption), int(MoveStatus::Break));
        QVERIFY(rig.indexOf(moveCommand(100000, "459C4000", 8, 1)) > 0);
        QTRY_COMPARE(rig.count("!!"), 1); // the last command: the instrument may still be reading it
        QVERIFY(rig.sim.state().fiberBroken);
        QVERIFY(rig.run.PeakLoad > 11 && rig.run.PeakLoad < 14);
        QVERIFY(rig.run.CurrentLoad < 0.5f);
        QVERIFY(hooks.samples >= 2 && hooks.ordered);
        QCOMPARE(hooks.servo, hooks.samples);
        QVERIFY2(loadShown.startsWith(QStringLiteral("Load ")) && loadShown.contains(QStringLiteral(" max ")),
                 qPrintable(loadShown));
    }

    void debugKeySimulatesABreak() {
        MotionRig rig;
        QVERIFY(rig.start());
        rig.run.BreakRunActive = 1;
        rig.params.LockKeyboardWhenMoving = true;
        // Outside debug mode "B" is just a swallowed letter.
        QTimer::singleShot(300, [&] { QTest::keyClick(rig.window.stopButton(), Qt::Key_B); });
        QTimer::singleShot(800, rig.window.stopButton(), &QPushButton::click);
        QCOMPARE(rig.motion.MoveTo(100000, 2000, 0, 0, Caption), int(MoveStatus::OperatorStop));
        QCOMPARE(rig.count("!!"), 0);

        rig.params.DebugMode = true;
        QTimer::singleShot(300, [&] { QTest::keyClick(rig.window.stopButton(), Qt::Key_B); });
        QCOMPARE(rig.motion.MoveTo(100000, 2000, 0, 0, Caption), int(MoveStatus::Break));
        QCOMPARE(rig.count("!!"), 1);
    }
};

STAVELY_TEST(MoveFlowTest)
#include "MoveFlowTest.moc"
