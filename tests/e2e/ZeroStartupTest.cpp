#include "instrument/ControllerDiscovery.h"
#include "instrument/ControllerStartup.h"
#include "instrument/MoveReport.h"
#include "instrument/PortMap.h"
#include "instrument/ZeroPosition.h"
#include "instrument/zero.h"
#include "tests/app/ModalDriver.h"
#include "tests/e2e/MotionRig.h"
#include "tests/support/TestRegistry.h"

#include <QPushButton>
#include <QTimer>

namespace {

const QString NotSynchronized =
    QStringLiteral("The motor position MUST be synchronized with the program. \r\n"
                   "Do you want to try again (Retry) or quit the program (Cancel)?");

// The instrument keeps a position across runs of the program.
void keepPosition(SimServer& sim, qint32 position) {
    sim.update([position](SimInstrument& instrument) {
        instrument.receive("s" + SimInstrument::hex(quint32(position), 8) + "\r", instrument.now());
        instrument.clearCommandLog();
    });
}

// The whole start-up with the instrument: found on COM1 by discovery, then synchronised.
struct StartupRig : MotionRig {
    PortMap ports{&store};
    ControllerDiscovery discovery{op, end, link, params, store, ports};
    ControllerStartup startup{link, loadCell, motion, params, op, end};
    ZeroPosition actions{motion, link, op, end};
    int zeroWindows = 0;

    StartupRig() {
        qputenv(qPrintable(PortMap::environmentName(1)), portPath().toLocal8Bit());
        params.COMnum = 1;
    }
    ~StartupRig() { qunsetenv(qPrintable(PortMap::environmentName(1))); }

    bool connect() {
        if (!start(false) || !discovery.ConnectController())
            return false;
        sim.clearCommandLog();
        return true;
    }
    void run() {
        startup.Run(link.ControllerFound(), [this] {
            ++zeroWindows;
            zero window(actions);
            window.exec();
        });
    }
};

} // namespace

class ZeroStartupTest : public QObject {
    Q_OBJECT
private slots:
    // Its key, or Enter: homing is the window's default button.
    void homingEndsAtZeroFromTheClosedLimit_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("R") << int(Qt::Key_R);
        QTest::newRow("Enter") << int(Qt::Key_Return);
    }
    void homingEndsAtZeroFromTheClosedLimit() {
        QFETCH(int, key);
        MotionRig rig;
        QVERIFY(rig.start());
        keepPosition(rig.sim, 7000);
        ZeroPosition actions{rig.motion, rig.link, rig.op, rig.end};
        rig.op.answer(MsgResult::Ok);
        bool closed = false;
        whenModal<zero>([&](zero* w) {
            QTest::keyClick(w, Qt::Key(key));
            closed = !w->isVisible();
        });
        zero window(actions);
        window.exec();

        QVERIFY(closed);
        QCOMPARE(rig.motion.Position(), 0);
        QVERIFY(rig.motion.ZeroValid());
        // 500 steps out from the closed limit, and the instrument agrees.
        QCOMPARE(rig.sim.state().physical, SimTest::quietConfig().closedLimit + 500);
        QCOMPARE(rig.sim.state().position, 0);
        const auto log = rig.commands();
        const qsizetype toLimit = log.indexOf(moveCommand(-200000, "459C4000"));
        QVERIFY(toLimit > 0 && log.at(toLimit - 2) == "s00000000");
        const qsizetype back = log.indexOf("sFFFFFE0C");
        QVERIFY(back > toLimit);
        QVERIFY(log.indexOf(moveCommand(0, "459C4000")) > back);
        QTRY_COMPARE(rig.commands().last(), QByteArray("s00000000"));
        QCOMPARE(rig.op.prompts.size(), 1);
        QCOMPARE(rig.op.last().title, QStringLiteral("ZERO POSITION INDICATOR"));
        QCOMPARE(rig.op.last().text, QStringLiteral("Zero stepper motor drive"));
        QCOMPARE(rig.op.last().style, int(MsgStyle::Exclamation));
    }

    void stoppedHomingLeavesThePositionUnsynchronised() {
        MotionRig rig;
        QVERIFY(rig.start());
        ZeroPosition actions{rig.motion, rig.link, rig.op, rig.end};
        QTimer::singleShot(200, rig.window.stopButton(), &QPushButton::click);
        rig.op.answer(MsgResult::No);
        rig.op.answer(MsgResult::Ok);
        QVERIFY(!actions.RunToZero());
        QCOMPARE(rig.op.prompts.size(), 2);
        QCOMPARE(rig.op.prompts[0].title, QStringLiteral("CLOSED LIMIT NOT FOUND"));
        QCOMPARE(rig.op.prompts[0].text, QStringLiteral("Try again?"));
        QCOMPARE(rig.op.prompts[0].style, int(MsgStyle::YesNo + MsgStyle::Exclamation));
        QCOMPARE(rig.op.prompts[1].title, QStringLiteral("ZERO POSITION NOT VALID"));
        QCOMPARE(rig.op.prompts[1].text, QStringLiteral("Did not find closed limit"));
        QCOMPARE(rig.op.prompts[1].style, int(MsgStyle::Critical));
        QVERIFY(!rig.motion.ZeroValid());
        QVERIFY(rig.motion.Position() < 0);
    }

    void cancelWithoutSynchronisingEndsSilently() {
        MotionRig rig;
        QVERIFY(rig.start());
        ZeroPosition actions{rig.motion, rig.link, rig.op, rig.end};

        // Retry keeps the window open with the focus on homing.
        rig.op.answer(MsgResult::Retry);
        bool open = false;
        bool homingFocused = false;
        whenModal<zero>([&](zero* w) {
            QTest::keyClick(w, Qt::Key_C);
            open = w->isVisible();
            homingFocused = w->focusWidget() == w->runToZeroButton();
            w->reject();
        });
        zero window(actions);
        window.exec();
        QVERIFY(open);
        QVERIFY(homingFocused);
        QCOMPARE(rig.op.last().title, QStringLiteral("POSITIONS NOT YET SYNCHRONIZED"));
        QCOMPARE(rig.op.last().text, NotSynchronized);
        QCOMPARE(rig.op.last().style, int(MsgStyle::RetryCancel + MsgStyle::Critical));

        rig.op.answer(MsgResult::Cancel);
        try {
            actions.Cancel();
            QFAIL("Cancel did not end the program");
        } catch (const ProgramEnded& ended) {
            QCOMPARE(ended.message, QString());
            QCOMPARE(ended.title, QStringLiteral("PROGRAM ENDING"));
        }

        // Once synchronised, Cancel just closes.
        rig.motion.setZeroValid(true);
        QVERIFY(actions.Cancel());
        QCOMPARE(rig.op.prompts.size(), 2);
    }

    void keptPositionAccepted() {
        StartupRig rig;
        QVERIFY(rig.connect());
        keepPosition(rig.sim, 12345);
        rig.op.answer(MsgResult::Yes);
        rig.run();
        QCOMPARE(rig.zeroWindows, 0);
        QCOMPARE(rig.op.prompts.size(), 1);
        QCOMPARE(rig.op.last().kind, QStringLiteral("msgBox"));
        QCOMPARE(rig.op.last().title, QString());
        QCOMPARE(rig.op.last().text, QStringLiteral("The position recovered from the System Controller is "
                                                    "12345\r\nDo you want to accept this value?"));
        QCOMPARE(rig.op.last().style, int(MsgStyle::YesNo + MsgStyle::Question));
        QVERIFY(rig.motion.ZeroValid());
        QCOMPARE(rig.motion.Position(), 12345);
        QCOMPARE(rig.commands(),
                 QList<QByteArray>({"l00080FFFF0FFA", "S0010", "?", "s00003039", "W0000", "w00", "w00"}));
        QCOMPARE(rig.link.SamplesPerReading(), 128);
    }

    // A stored calibration whose slope is 0 is kept but not used, and the operator is told why.
    void unusableStoredCalibrationIsTold() {
        StartupRig rig;
        rig.store.saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData0"),
                           QStringLiteral("\"LC-7\",0,0,0.012,100,0.25,1.5,0.3,9.81,0"));
        QVERIFY(rig.connect());
        keepPosition(rig.sim, 12345);
        rig.op.answer(MsgResult::Ok);
        rig.op.answer(MsgResult::Yes);
        rig.run();
        QCOMPARE(rig.op.prompts.size(), 2);
        QCOMPARE(rig.op.prompts[0].title, QStringLiteral("LOAD CELL NOT CALIBRATED"));
        QCOMPARE(
            rig.op.prompts[0].text,
            QStringLiteral("The stored calibration of channel 0 has a slope of 0 au/N, which cannot turn "
                           "signals into loads. Channel 0 counts as not calibrated: calibrate it again "
                           "or load its calibration file."));
        QCOMPARE(rig.op.prompts[0].style, int(MsgStyle::Exclamation));
        QVERIFY(!rig.loadCell.currentIsCalibrated());
    }

    void keptPositionDeclinedOpensTheZeroWindow() {
        StartupRig rig;
        QVERIFY(rig.connect());
        keepPosition(rig.sim, 12345);
        rig.op.answer(MsgResult::No);
        rig.op.answer(QStringLiteral("250"));
        whenModal<zero>([](zero* w) { QTest::keyClick(w, Qt::Key_S); });
        rig.run();
        QCOMPARE(rig.zeroWindows, 1);
        QCOMPARE(rig.op.prompts.size(), 2);
        QCOMPARE(rig.op.last().kind, QStringLiteral("inputBox"));
        QCOMPARE(rig.op.last().title, QStringLiteral("SET POSITION"));
        QCOMPARE(rig.op.last().text, QStringLiteral("What is the current position in steps?"));
        QCOMPARE(rig.op.last().buttons, QStringList({QStringLiteral("0")})); // the declined position is gone
        QVERIFY(rig.motion.ZeroValid());
        QCOMPARE(rig.motion.Position(), 250);
        QCOMPARE(rig.sim.state().position, 250);
        QCOMPARE(rig.commands(), QList<QByteArray>({"l00080FFFF0FFA", "S0010", "?", "s00000000", "W0000",
                                                    "s000000FA", "w00", "w00"}));
    }

    void zeroPositionStillOpensTheZeroWindow() {
        StartupRig rig;
        QVERIFY(rig.connect());
        // Closing the window without synchronising ends the program without a word.
        whenModal<zero>([](zero* w) { w->close(); });
        try {
            rig.run();
            QFAIL("start-up went on without a synchronised position");
        } catch (const ProgramEnded& ended) {
            QCOMPARE(ended.message, QString());
            QCOMPARE(ended.title, QStringLiteral("PROGRAM ENDING"));
        }
        QCOMPARE(rig.zeroWindows, 1);
        QVERIFY(rig.op.prompts.isEmpty());
        QVERIFY(!rig.commands().contains("w00"));
    }

    void debugModeAsksNothing() {
        StartupRig rig;
        QVERIFY(rig.connect());
        keepPosition(rig.sim, -4321);
        rig.params.DebugMode = true;
        rig.run();
        QCOMPARE(rig.zeroWindows, 0);
        QVERIFY(rig.op.prompts.isEmpty());
        QVERIFY(rig.motion.ZeroValid());
        QCOMPARE(rig.motion.Position(), -4321);
        QCOMPARE(rig.commands().last(), QByteArray("w00"));
    }

    void withoutTheControllerNothingIsSent() {
        MotionRig rig;
        rig.params.ExptSpeed = 9000; // above what the motor can do
        ControllerStartup startup{rig.link, rig.loadCell, rig.motion, rig.params, rig.op, rig.end};
        bool asked = false;
        startup.Run(false, [&] { asked = true; });
        QVERIFY(!asked);
        QVERIFY(rig.motion.ZeroValid());
        QCOMPARE(rig.motion.Position(), 0);
        QCOMPARE(rig.params.ExptSpeed, 5000.0);
        QVERIFY(rig.op.prompts.isEmpty());
    }
};

STAVELY_TEST(ZeroStartupTest)
#include "ZeroStartupTest.moc"
