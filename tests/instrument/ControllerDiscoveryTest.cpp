#include "instrument/ControllerDiscovery.h"
#include "instrument/ApTimer.h"
#include "instrument/PortMap.h"
#include "params/SettingsStore.h"
#include "tests/instrument/LinkRig.h"
#include "tests/support/TestRegistry.h"

#include <QTest>
#include <map>

namespace {

const QString Choices = QStringLiteral(
    "Select what you want to do:\n\nScan: automatically scan all available COM ports for the System "
    "Controller\r\r"
    "Exit: exit the program\r\rContinue: continue without the System Controller - the program will have "
    "limited functionality but can be used, for example, to examine data or use the stress/strain "
    "calculator");
const QString Checklist = QStringLiteral(
    "Make sure:\r\n  1. System Controller is turned on with the power light NOT flashing\r  2. Serial cable "
    "is "
    "securely connected between System Controller RUN port and PC COM port or the USB/Serial adapter cable\r"
    "  3. Program/Run switch is set to Run\r  4. Stop any programs on the PC accessing the COM port\r"
    "  5. Check the System Controller firmware is up-to-date\r\r");

void verifyChooseBox(const Prompt& p, const QString& text) {
    QCOMPARE(p.kind, QStringLiteral("myMsgBox"));
    QCOMPARE(p.title, QStringLiteral("SCAN FOR SYSTEM CONTROLLER"));
    QCOMPARE(p.text, text);
    QCOMPARE(p.buttons, QStringList({QStringLiteral("&Scan"), QStringLiteral("&Exit program"),
                                     QStringLiteral("&Continue")}));
    QCOMPARE(p.style, 0);
    QCOMPARE(p.request.focusButton, 1);
}

// The sixteen scan lines as the status window shows them between ports.
QString scanWindow(const std::map<int, QString>& lines) {
    QStringList all;
    for (int n = 1; n <= 16; ++n)
        all.append(lines.count(n) ? lines.at(n) : QString());
    return all.join(QStringLiteral("\r "));
}

double elapsed(const IntervalTimer& t) {
    return ApTimer::ElapsedSeconds(t);
}

} // namespace

class ControllerDiscoveryTest : public QObject {
    Q_OBJECT
private slots:
    void openErrorsSplitIntoBusyAndAbsent() {
        QCOMPARE(ControllerDiscovery::ClassifyOpenError(QSerialPort::PermissionError),
                 ControllerDiscovery::Busy);
        for (auto e :
             {QSerialPort::DeviceNotFoundError, QSerialPort::OpenError, QSerialPort::ResourceError,
              QSerialPort::UnsupportedOperationError, QSerialPort::UnknownError, QSerialPort::NoError})
            QCOMPARE(ControllerDiscovery::ClassifyOpenError(e), ControllerDiscovery::Absent);
    }

    void versionWord_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("version");
        QTest::newRow("plain") << QByteArray("!\r!\rSystem Controller version 1.02\r") << "1.02";
        QTest::newRow("separators skipped") << QByteArray("version \r\n 1.03 beta\r") << "1.03";
        QTest::newRow("first occurrence") << QByteArray("version 2.0 version 1.0\r") << "2.0";
        QTest::newRow("nothing after") << QByteArray("version\r") << "";
        QTest::newRow("absent") << QByteArray("Version 1.02\r") << "";
    }
    void versionWord() {
        QFETCH(QByteArray, text);
        QFETCH(QString, version);
        QCOMPARE(ControllerDiscovery::VersionFromText(text), version);
    }

    void testComPortOverRealPorts() {
        DiscoveryRig rig;
        rig.port(1);
        rig.busy(2);
        rig.port(3).vanish(); // its link is gone
        QCOMPARE(rig.discovery.TestComPort(1), int(ControllerDiscovery::Free));
        QCOMPARE(rig.discovery.TestComPort(2), int(ControllerDiscovery::Busy));
        QCOMPARE(rig.discovery.TestComPort(3), int(ControllerDiscovery::Absent));
        QCOMPARE(rig.discovery.TestComPort(4), int(ControllerDiscovery::Absent));
        QCOMPARE(rig.discovery.TestComPort(17), int(ControllerDiscovery::Absent));
        rig.discovery.EnumeratePorts();
        QCOMPARE(rig.discovery.PortCount(), 2);
        QVERIFY(rig.discovery.PortExists(1) && rig.discovery.PortFree(1));
        QVERIFY(rig.discovery.PortExists(2) && !rig.discovery.PortFree(2));
        QVERIFY(!rig.discovery.PortExists(3) && !rig.discovery.PortFree(3));
    }

    void firmwareVersionIsComparedAsText_data() {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("1.02") << QByteArray("1.02") << true;
        QTest::newRow("1.01") << QByteArray("1.01") << false;
        QTest::newRow("1.1") << QByteArray("1.1") << true;
        QTest::newRow("1.010") << QByteArray("1.010") << false;
    }
    void firmwareVersionIsComparedAsText() {
        QFETCH(QByteArray, version);
        QFETCH(bool, accepted);
        DiscoveryRig rig;
        ScriptedPeer& peer = rig.controller(1, "System Controller version " + version + "\r");
        QCOMPARE(rig.discovery.TestComPort(1), 0);
        if (accepted) {
            QVERIFY(rig.discovery.CheckForRabbit(1));
            QCOMPARE(rig.link.FirmwareVersion(), QString::fromLatin1(version));
            QVERIFY(rig.op.prompts.isEmpty());
            QCOMPARE(peer.received(), QByteArray("\r!\r!\r\rV\rz\r"));
            QVERIFY(!rig.link.isOpen()); // the probe leaves its port closed
            return;
        }
        rig.op.answer(MsgResult::Ok);
        try {
            rig.discovery.CheckForRabbit(1);
            QFAIL("old firmware must end the program");
        } catch (const ProgramEnded& ended) {
            QCOMPARE(ended.message, QStringLiteral("Newer System Controller firmware needed"));
            QCOMPARE(ended.title, QStringLiteral("PROGRAM ENDING"));
        }
        QCOMPARE(rig.op.prompts.size(), 1);
        const Prompt& p = rig.op.prompts.first();
        QCOMPARE(p.kind, QStringLiteral("msgBox"));
        QCOMPARE(p.title, QStringLiteral("NEWER SYSTEM CONTROLLER FIRMWARE NEEDED"));
        QCOMPARE(p.style, 16);
        QCOMPARE(p.text,
                 QStringLiteral("The System Controller firmware version (") + QString::fromLatin1(version) +
                     QStringLiteral(") is less than is needed\r(1.02) for this version of STAVELY.\r\r"
                                    "Please update the firmware of the System Controller.\r\r"
                                    "More information can be found in the online help file\r\r"
                                    "or in the printed User's Manual."));
        QCOMPARE(peer.received(), QByteArray("\r!\r!\r\rV\r")); // no "z" after the refusal
    }

    void probeTimeLimitCoversTheWholeProbe() {
        DiscoveryRig rig;
        // No final CR within the second: still found, once the second is up.
        rig.controller(1, QByteArrayLiteral("System Controller version 1.05"));
        // Chatter that keeps coming does not extend the second.
        PeerRule chatter;
        chatter.reply = QByteArrayLiteral("booting booting booting booting version 1.05\r");
        chatter.chunkSize = 4;
        chatter.chunkGapMs = 150;
        rig.port(2).on('V', chatter);
        rig.discovery.EnumeratePorts();

        IntervalTimer t;
        ApTimer::SetTimer(t, 0);
        QVERIFY(rig.discovery.CheckForRabbit(1));
        QVERIFY2(elapsed(t) >= 0.95 && elapsed(t) < 1.5, qPrintable(QString::number(elapsed(t))));
        QCOMPARE(rig.link.FirmwareVersion(), QStringLiteral("1.05"));

        ApTimer::SetTimer(t, 0);
        QVERIFY(!rig.discovery.CheckForRabbit(2));
        QVERIFY2(elapsed(t) < 1.3, qPrintable(QString::number(elapsed(t))));
        QVERIFY(rig.op.prompts.isEmpty());
    }

    void probeReportsPortErrors() {
        DiscoveryRig rig;
        ScriptedPeer& peer = rig.port(1);
        rig.discovery.EnumeratePorts();
        QSerialPort other(rig.path(1)); // taken between the enumeration and the probe
        QVERIFY(other.open(QIODevice::ReadWrite));
        rig.op.answer(MsgResult::Ok);
        QVERIFY(!rig.discovery.CheckForRabbit(1));
        QCOMPARE(rig.op.prompts.size(), 1);
        const Prompt& p = rig.op.prompts.first();
        QCOMPARE(p.kind, QStringLiteral("msgBox"));
        QCOMPARE(p.style, 0);
        QVERIFY2(p.text.startsWith(QStringLiteral("Error 2 encountered in CheckForRabbit\r\n")),
                 qPrintable(p.text));
        QVERIFY(p.text.size() > 40); // followed by the description
        QVERIFY(peer.received().isEmpty());
    }

    void storedPortConnectsWithoutDialog() {
        DiscoveryRig rig;
        ScriptedPeer& peer = rig.controller(3, QByteArrayLiteral("\r\nSystem Controller version 1.02\r"));
        rig.params.COMnum = 3;
        IntervalTimer t;
        ApTimer::SetTimer(t, 0);
        QVERIFY(rig.discovery.ConnectController());
        QVERIFY(elapsed(t) < 0.5);
        QVERIFY(rig.op.prompts.isEmpty());
        QVERIFY(rig.op.statusLog.isEmpty());
        QVERIFY(rig.link.ControllerFound());
        QVERIFY(rig.link.isOpen());
        QCOMPARE(rig.link.portPath(), rig.path(3));
        QCOMPARE(rig.storedComNum(), QStringLiteral("3"));
        QCOMPARE(peer.lines(), QList<QByteArray>({"", "!", "!", "", "V", "z"}));
    }

    // COM1 busy, COM2 silent, COM3 and COM4 both answer: the scan stops at COM3.
    void scanFindsControllerAndStoresPort() {
        DiscoveryRig rig;
        ScriptedPeer& busy = rig.busy(1);
        ScriptedPeer& silent = rig.port(2);
        ScriptedPeer& found = rig.controller(3, QByteArrayLiteral("version 1.1\r"));
        ScriptedPeer& later = rig.controller(4, QByteArrayLiteral("version 1.2\r"));
        rig.op.answer(1);
        rig.op.answer(1);
        rig.op.answer(MsgResult::Ok);
        QVERIFY(rig.discovery.ConnectController());

        QCOMPARE(rig.op.prompts.size(), 3);
        verifyChooseBox(rig.op.prompts.at(0),
                        QStringLiteral("No COM port assigned to System Controller\r\n\r\n"
                                       "COM ports found: COM1 (busy) COM2 COM3 COM4\r\n\r\n") +
                            Choices);
        verifyChooseBox(rig.op.prompts.at(1), Checklist + Choices);
        const Prompt& done = rig.op.prompts.at(2);
        QCOMPARE(done.kind, QStringLiteral("msgBox"));
        QCOMPARE(done.title, QStringLiteral("SYSTEM CONTROLLER FOUND"));
        QCOMPARE(done.text, QStringLiteral("System Controller found on COM3\r\nFirmware version 1.1"));
        QCOMPARE(done.style, 64);

        const QString head = QStringLiteral("            COM");
        std::map<int, QString> lines{{1, head + "1:  port busy"}};
        QStringList expected{QStringLiteral("show:Scanning COM ports for System Controller|") +
                                 QString(15, QLatin1Char('\r')),
                             "update:" + scanWindow(lines)};
        lines[2] = head + "2:  ";
        expected << "update:" + scanWindow(lines);
        lines[2] += "System Controller not found";
        expected << "update:" + scanWindow(lines);
        lines[3] = head + "3:  ";
        expected << "update:" + scanWindow(lines) << "done";
        QCOMPARE(rig.op.statusLog, expected);

        QVERIFY(busy.received().isEmpty()); // never probed
        QCOMPARE(silent.received(), QByteArray("\r!\r!\r\rV\r"));
        QVERIFY(later.received().isEmpty());
        QVERIFY(rig.link.ControllerFound());
        QCOMPARE(rig.params.COMnum, qint16(3));
        QCOMPARE(rig.storedComNum(), QStringLiteral("3"));
        QCOMPARE(rig.link.portPath(), rig.path(3));
        QVERIFY(rig.link.isOpen());
        QCOMPARE(found.received(), QByteArray("\r!\r!\r\rV\rz\r"));
    }

    void storedPortReasons_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("busy")
            << 2 << "System Controller port COM2 is busy\r\n\r\nCOM ports found: COM2 (busy) COM7\r\n\r\n";
        QTest::newRow("absent")
            << 5
            << "System Controller port COM5 does not exist\r\n\r\nCOM ports found: COM2 (busy) COM7\r\n\r\n";
        QTest::newRow("silent")
            << 7 << "System Controller not found on COM7\r\n\r\nCOM ports found: COM2 (busy) COM7\r\n\r\n";
        QTest::newRow("out of range")
            << 40
            << "System Controller port COM40 does not exist\r\n\r\nCOM ports found: COM2 (busy) COM7\r\n\r\n";
    }
    void storedPortReasons() {
        QFETCH(int, stored);
        QFETCH(QString, text);
        DiscoveryRig rig;
        ScriptedPeer& busy = rig.busy(2);
        rig.port(7);
        rig.params.COMnum = qint16(stored);
        rig.op.answer(3); // Continue
        QVERIFY(!rig.discovery.ConnectController());
        QCOMPARE(rig.op.prompts.size(), 1);
        verifyChooseBox(rig.op.prompts.first(), text + Choices);
        QVERIFY(!rig.link.ControllerFound());
        QVERIFY(!rig.link.isOpen());
        QVERIFY(busy.received().isEmpty());
        QVERIFY(rig.storedComNum().isEmpty());
        QCOMPARE(rig.params.COMnum, qint16(stored));
    }

    void endings_data() {
        QTest::addColumn<bool>("anyPort");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QString>("message");
        QTest::newRow("no ports at all") << false << QList<int>{} << "No COM ports found on this computer";
        QTest::newRow("exit at first") << true << QList<int>{2} << "No System Controller - STAVELY is ending";
        QTest::newRow("exit at checklist")
            << true << QList<int>{1, 2} << "Scan cancelled - STAVELY is ending";
    }
    void endings() {
        QFETCH(bool, anyPort);
        QFETCH(QList<int>, answers);
        QFETCH(QString, message);
        DiscoveryRig rig;
        if (anyPort)
            rig.busy(9);
        for (int a : answers)
            rig.op.answer(a);
        try {
            rig.discovery.ConnectController();
            QFAIL("the program should have ended");
        } catch (const ProgramEnded& ended) {
            QCOMPARE(ended.message, message);
            QCOMPARE(ended.title, QStringLiteral("PROGRAM ENDING"));
        }
        QCOMPARE(rig.op.prompts.size(), answers.size());
        QCOMPARE(rig.op.remainingAnswers(), 0);
        QVERIFY(rig.op.statusLog.isEmpty());
    }

    // Nothing answers: the window keeps the results until clicked, then the checklist asks to re-scan.
    void failedScanOffersRescan() {
        DiscoveryRig rig;
        rig.busy(1);
        rig.port(3);
        rig.op.answer(1);
        rig.op.answer(1);
        rig.op.answer(3);
        QVERIFY(!rig.discovery.ConnectController());
        QCOMPARE(rig.op.prompts.size(), 3);
        verifyChooseBox(rig.op.prompts.at(2),
                        QStringLiteral("No System Controller found!  Re-scan?\r\r") + Checklist + Choices);
        std::map<int, QString> lines;
        for (int n = 1; n <= 16; ++n)
            lines[n] = QStringLiteral("            COM%1:  port not found").arg(n);
        lines[1] = QStringLiteral("            COM1:  port busy");
        lines[3] = QStringLiteral("            COM3:  System Controller not found");
        QCOMPARE(rig.op.statusLog.size(), 19); // show, 16 + 1 updates, click
        QCOMPARE(rig.op.statusLog.at(17), "update:" + scanWindow(lines));
        QCOMPARE(rig.op.statusLog.last(), QStringLiteral("click"));
        QVERIFY(!rig.link.ControllerFound());
        QVERIFY(!rig.link.isOpen());
    }
};

STAVELY_TEST(ControllerDiscoveryTest)
#include "ControllerDiscoveryTest.moc"
