#include "instrument/ApTimer.h"
#include "tests/instrument/LinkRig.h"
#include "tests/support/TestRegistry.h"

#include <QTest>
#include <ctime>

namespace {

const QString TimeoutTitle = QStringLiteral("COMMUNICATIONS TIMEOUT");

QString timeoutText(const QString& operation) {
    return QStringLiteral("Communications with System Controller timed out during \"") + operation +
           QStringLiteral("\". Check that the System Controller is functioning and connected to the PC.");
}

void verifyTimeoutBox(const Prompt& p, const QString& operation) {
    QCOMPARE(p.kind, QStringLiteral("myMsgBox"));
    QCOMPARE(p.title, TimeoutTitle);
    QCOMPARE(p.text, timeoutText(operation));
    QCOMPARE(p.buttons, QStringList({QStringLiteral("&Retry"), QStringLiteral("&Cancel")}));
    QCOMPARE(p.style, 48);
    QCOMPARE(p.request.focusButton, 1);
}

double seconds(const IntervalTimer& t) {
    return ApTimer::ElapsedSeconds(t);
}

// The fields of an "F" reply with its final time and position.
QByteArray finalFields(qint32 finalTimeMs, qint32 position) {
    return "0000400"
           "3FC00000"
           "0010"
           "00002710"
           "0000"
           "0000"
           "00000000" +
           QByteArray::number(quint32(finalTimeMs), 16).toUpper().rightJustified(8, '0') +
           QByteArray::number(quint32(position), 16).toUpper().rightJustified(8, '0');
}

IntervalTimer started() {
    IntervalTimer t;
    ApTimer::SetTimer(t, 0);
    return t;
}

} // namespace

class ControllerLinkTest : public QObject {
    Q_OBJECT
private slots:
    void fieldReader_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("value");
        QTest::newRow("byte") << "7A" << 2 << 0x7A;
        QTest::newRow("lower case") << "7a" << 2 << 0x7A;
        QTest::newRow("8 digits are two's complement") << "FFFFFFFE" << 8 << -2;
        QTest::newRow("6 digits are unsigned") << "FFFFFF" << 6 << 0xFFFFFF;
        QTest::newRow("only width digits count") << "0100FF" << 2 << 1;
        QTest::newRow("short field") << "12" << 4 << 0;
        QTest::newRow("empty") << "" << 2 << 0;
        QTest::newRow("non-hex") << "1G" << 2 << 0;
        QTest::newRow("sign") << "-1" << 2 << 0;
        QTest::newRow("too wide") << "123456789" << 9 << 0;
    }
    void fieldReader() {
        QFETCH(QString, field);
        QFETCH(int, width);
        QFETCH(int, value);
        QCOMPARE(ControllerLink::ParseHexField(field, width), value);
    }

    void strayCharactersAreDropped() {
        LinkRig rig;
        QVERIFY(rig.start());
        QList<qint32> positions;
        rig.link.setPositionHandler([&](qint32 p) { positions.append(p); });
        rig.peer.reply('?', QByteArrayLiteral("x!\r\n\x7f?0100000123FF\r\n"));
        const ControllerStatus s = rig.link.GetStatus();
        QCOMPARE(s.status, 1);
        QCOMPARE(s.position, 0x123);
        QCOMPARE(s.recordCount, 0xFF);
        QVERIFY(s.valid);
        QCOMPARE(positions, QList<qint32>({0x123}));
        QCOMPARE(rig.link.ReplyBuffer(), QStringLiteral("0100000123FF"));
        QCOMPARE(rig.peer.received(), QByteArray("?\r"));
        QVERIFY(rig.op.prompts.isEmpty());
    }

    void replyWithoutCrCompletesAtOnce() {
        LinkRig rig;
        QVERIFY(rig.start());
        rig.peer.reply('?', QByteArrayLiteral("?000000000100"));
        const IntervalTimer t = started();
        const ControllerStatus s = rig.link.GetStatus();
        QVERIFY2(seconds(t) < 0.5, qPrintable(QString::number(seconds(t))));
        QCOMPARE(s.position, 1);
        QVERIFY(rig.op.prompts.isEmpty());
    }

    void lowerCaseHexIsAccepted() {
        LinkRig rig;
        QVERIFY(rig.start());
        rig.peer.reply('?', QByteArrayLiteral("?0afffffffe0c\r\n"));
        const ControllerStatus s = rig.link.GetStatus();
        QCOMPARE(s.status, 10);
        QCOMPARE(s.position, -2);
        QCOMPARE(s.recordCount, 12);
        QVERIFY(s.valid);
        QVERIFY(rig.op.prompts.isEmpty());
    }

    // Chunks keep arriving for longer than the time-out, but never 2 s apart.
    void slowChunksAreWaitedFor() {
        LinkRig rig;
        QVERIFY(rig.start());
        PeerRule slow;
        slow.reply = QByteArrayLiteral("L00000010000003E80007D00000C350\r\n");
        slow.chunkSize = 4;
        slow.chunkGapMs = 320;
        rig.peer.on('L', slow);
        const IntervalTimer t = started();
        const LoadStatus s = rig.link.GetLoadStatus();
        QVERIFY2(seconds(t) > 2.0, qPrintable(QString::number(seconds(t))));
        QCOMPARE(s.status, 0);
        QCOMPARE(s.position, 4096);
        QCOMPARE(s.loadCounts, 1000);
        QCOMPARE(s.maxLoadCounts, 2000);
        QCOMPARE(s.timeMs, 50000);
        QVERIFY(rig.op.prompts.isEmpty());
    }

    void writeCommandsWaitOnlyForTheirEcho() {
        LinkRig rig;
        QVERIFY(rig.start());
        rig.peer.reply('W', QByteArrayLiteral("W"));
        rig.peer.reply('w', QByteArrayLiteral("w"));
        rig.peer.reply('R', QByteArrayLiteral("\r\nR7a\r\n"));
        const IntervalTimer t = started();
        rig.link.WriteOutputs(6);
        rig.link.WriteLoaderOutputs(0);
        QVERIFY2(seconds(t) < 0.5, qPrintable(QString::number(seconds(t))));
        QCOMPARE(rig.link.GetRabbitInPortByte(), 0x7A);
        QCOMPARE(rig.peer.received(), QByteArray("W0606\rw00\rR\r"));
        QVERIFY(rig.op.prompts.isEmpty());
    }

    void commandsWithoutReplyAreByteExact() {
        LinkRig rig;
        QVERIFY(rig.start());
        rig.params.Noisy = true;
        rig.params.ReverseSense = false;
        rig.link.SendMotorSettings(true);
        rig.link.SetControllerPosition(-1);
        rig.link.SetControllerPosition(255);
        rig.link.StartMove(100000, 4000.0, 0x5F, 1);
        rig.link.DoubleSpeed();
        rig.link.SpeedCorrection(1.0);
        rig.link.BreakStop();
        rig.link.StopMove();
        rig.link.ResumeMove();
        const QByteArray expected =
            "S0010\rsFFFFFFFF\rs000000FF\rM000186A0457A00005F01\rX\rv3F800000\r!!\r!\rg\r";
        QVERIFY(rig.peer.waitForReceived(expected.size()));
        QCOMPARE(rig.peer.received(), expected);
    }

    void finalAndAdcDataFields() {
        LinkRig rig;
        QVERIFY(rig.start());
        const QByteArray fields = "0000400"
                                  "3FC00000"
                                  "0010"
                                  "00002710"
                                  "0000"
                                  "0000"
                                  "00000000"
                                  "00004E20"
                                  "FFFFFF38";
        rig.peer.reply('F', "F" + fields + "\r\n");
        rig.peer.reply('A', "A" + fields + "\r\n");
        for (const FinalData& d : {rig.link.GetFinalData(), rig.link.GetAdcData()}) {
            QCOMPARE(d.loadCounts, 0x400);
            QCOMPARE(d.value, 1.5f);
            QCOMPARE(d.value4, 0x10);
            QCOMPARE(d.timeMs, 10000);
            QCOMPARE(d.finalTimeMs, 20000);
            QCOMPARE(d.position, -200);
        }
        QCOMPARE(rig.peer.received(), QByteArray("F\rA\r"));
    }

    // Only a reply of exactly its documented length counts as the answer: a doubled echo letter, a
    // late reply, or junk after the fields never shifts a value into another field.
    void replyTakenOnlyWhereItFits_data() {
        QTest::addColumn<QByteArray>("waiting"); // in the input before the command is sent
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("valid");
        const QByteArray real = "F" + finalFields(0x4E20, -200) + "\r\n";
        const QByteArray stale = "F" + finalFields(0x4E1F, 5000) + "\r\n";
        QTest::newRow("clean") << QByteArray() << real << true;
        QTest::newRow("stray echo letter") << QByteArray() << "F" + real << true;
        QTest::newRow("noise with echo letter") << QByteArray() << "~F#*F" + real << true;
        QTest::newRow("stale reply before it") << QByteArray() << stale + real << true;
        QTest::newRow("stale status with F digits") << QByteArray() << "?00FFFFFFFE00\r\n" + real << true;
        QTest::newRow("stale reply in the input") << stale << real << true;
        QTest::newRow("stray echo in the input") << QByteArrayLiteral("F") << real << true;
        QTest::newRow("trailing junk") << QByteArray() << real.chopped(2) + "ZZJUNK\r\n" << false;
        QTest::newRow("one field too many") << QByteArray() << real.chopped(2) + "0000\r\n" << false;
    }
    void replyTakenOnlyWhereItFits() {
        QFETCH(QByteArray, waiting);
        QFETCH(QByteArray, reply);
        QFETCH(bool, valid);
        LinkRig rig;
        QVERIFY(rig.start());
        if (!waiting.isEmpty()) {
            rig.peer.send(waiting);
            QTest::qWait(100);
        }
        rig.peer.reply('F', reply);
        if (!valid) {
            rig.op.answer(1);
            rig.op.answer(MsgResult::Ok);
        }
        const FinalData d = rig.link.GetFinalData();
        QCOMPARE(d.valid, valid);
        if (valid) {
            QCOMPARE(d.loadCounts, 0x400);
            QCOMPARE(d.finalTimeMs, 20000);
            QCOMPARE(d.position, -200);
            QVERIFY(rig.op.prompts.isEmpty());
        } else {
            QCOMPARE(d.finalTimeMs, 0); // never a made-up value
            QCOMPARE(rig.op.prompts.size(), 2);
            verifyTimeoutBox(rig.op.prompts.at(0), QStringLiteral("Bad hex"));
        }
    }

    // A status reply that came after its time-out and Retry is still in the input when the next
    // command is sent: it is no answer to that command.
    void lateReplyAfterRetryIsNoAnswer() {
        LinkRig rig;
        QVERIFY(rig.start());
        PeerRule late;
        late.reply = QByteArrayLiteral("?00FFFFFFFE00\r\n");
        late.delayMs = 2300;
        late.times = 1;
        rig.peer.on('?', late);
        rig.peer.reply('?', QByteArrayLiteral("?000000000A00\r\n"));
        rig.peer.reply('F', "F" + finalFields(0x4E20, -200) + "\r\n");
        rig.op.answer(1);
        QCOMPARE(rig.link.GetStatus().position, 10);
        QTest::qWait(400); // the late reply arrives
        const FinalData d = rig.link.GetFinalData();
        QVERIFY(d.valid);
        QCOMPARE(d.finalTimeMs, 20000);
        QCOMPARE(rig.op.prompts.size(), 1); // the first time-out only
    }

    void loadSamplingUsesCurrentChannel() {
        LinkRig rig;
        QVERIFY(rig.start());
        rig.peer.reply('l', QByteArrayLiteral("l00\r\n"));
        rig.params.ADchannel = 2;
        QList<int> sampling;
        rig.link.setSamplingHandler([&](int samples) { sampling.append(samples); });
        rig.link.SetLoadSampling(-1, 128);
        QCOMPARE(rig.link.SamplesPerReading(), 128);
        rig.link.SetLoadSampling(1, 512, -1, 300);
        QCOMPARE(rig.link.SamplesPerReading(), 256);
        QCOMPARE(sampling, QList<int>({128, 256}));
        QCOMPARE(rig.peer.received(), QByteArray("l20080FFFF0FFA\rl10100FFFF012C\r"));
    }

    void retryResynchronisesAndResends() {
        LinkRig rig;
        QVERIFY(rig.start());
        rig.peer.silence('?');
        rig.peer.reply('?', QByteArrayLiteral("?000000000A00\r\n"));
        rig.op.answer(1);
        const IntervalTimer t = started();
        const ControllerStatus s = rig.link.GetStatus();
        QVERIFY(seconds(t) >= 2.0);
        QCOMPARE(s.position, 10);
        QCOMPARE(rig.op.prompts.size(), 1);
        verifyTimeoutBox(rig.op.prompts.at(0), QStringLiteral("PutGet ?"));
        QCOMPARE(rig.peer.received(), QByteArray("?\r\r!\r!\r\r?\r"));
    }

    void shortReplyIsRetried() {
        LinkRig rig;
        QVERIFY(rig.start());
        rig.peer.reply('?', QByteArrayLiteral("?0100\r\n"), 1);
        rig.peer.reply('?', QByteArrayLiteral("?000000000B00\r\n"));
        rig.op.answer(1);
        const ControllerStatus s = rig.link.GetStatus();
        QCOMPARE(s.position, 11);
        QCOMPARE(rig.op.prompts.size(), 1);
        verifyTimeoutBox(rig.op.prompts.at(0), QStringLiteral("Short string (5 of 12)"));
        QCOMPARE(rig.peer.received(), QByteArray("?\r\r!\r!\r\r?\r"));
    }

    void badHexReadsAsZeroAfterTwoBoxes() {
        LinkRig rig;
        QVERIFY(rig.start());
        QList<qint32> positions;
        rig.link.setPositionHandler([&](qint32 p) { positions.append(p); });
        rig.peer.reply('?', QByteArrayLiteral("?01000g0123FF\r\n"));
        rig.op.answer(1);
        rig.op.answer(MsgResult::Ok);
        const ControllerStatus s = rig.link.GetStatus();
        QVERIFY(!s.valid);
        QCOMPARE(s.status, 0);
        QCOMPARE(s.position, 0);
        QCOMPARE(s.recordCount, 0);
        QVERIFY(positions.isEmpty()); // a garbled reply leaves the kept position alone
        QCOMPARE(rig.op.prompts.size(), 2);
        verifyTimeoutBox(rig.op.prompts.at(0), QStringLiteral("Bad hex"));
        QCOMPARE(rig.op.prompts.at(1).kind, QStringLiteral("msgBox"));
        QCOMPARE(rig.op.prompts.at(1).text, QStringLiteral("?01000G0123FF"));
        QCOMPARE(rig.op.prompts.at(1).style, 0);
        QCOMPARE(rig.op.prompts.at(1).title, QString());
        // The exchange counts as done: stop text only, no second "?".
        const QByteArray expected = "?\r\r!\r!\r\r";
        QVERIFY(rig.peer.waitForReceived(expected.size()));
        QTest::qWait(50);
        QCOMPARE(rig.peer.received(), expected);
    }

    void cancelAsksBeforeEnding() {
        LinkRig rig;
        QVERIFY(rig.start());
        rig.peer.reply('R', QByteArrayLiteral("RXY\r\n"));
        rig.op.answer(2);
        rig.op.answer(MsgResult::No);
        rig.op.answer(2);
        rig.op.answer(MsgResult::Yes);
        try {
            rig.link.GetRabbitInPortByte();
            QFAIL("the program should have ended");
        } catch (const ProgramEnded& ended) {
            QCOMPARE(ended.message, QString());
            QCOMPARE(ended.title, QStringLiteral("PROGRAM ENDING"));
        }
        QCOMPARE(rig.op.prompts.size(), 4);
        verifyTimeoutBox(rig.op.prompts.at(0), QStringLiteral("Bad hex"));
        for (int i : {1, 3}) {
            QCOMPARE(rig.op.prompts.at(i).kind, QStringLiteral("msgBox"));
            QCOMPARE(rig.op.prompts.at(i).text, QStringLiteral("Are you sure you want to terminate STAVELY"));
            QCOMPARE(rig.op.prompts.at(i).style, MsgStyle::YesNo + MsgStyle::Exclamation);
        }
        verifyTimeoutBox(rig.op.prompts.at(2), QStringLiteral("Bad hex"));
        QCOMPARE(rig.peer.received(), QByteArray("R\r")); // nothing sent after Cancel
    }

    // A pulled adapter: the exchange ends at once without spinning, the operator gets the error once
    // and then the time-out box, and Retry works again once the device is back.
    void vanishedDeviceRecoversOnRetry() {
        LinkRig rig;
        QVERIFY(rig.start());
        QList<int> errors;
        qsizetype promptsAtError = -1;
        rig.link.setSerialErrorHandler([&](int e) {
            errors.append(e);
            promptsAtError = rig.op.prompts.size();
        });
        rig.peer.vanish();
        ScriptedPeer back;
        back.reply('?', QByteArrayLiteral("?000000000C00\r\n"));
        rig.op.answerWith([&](const Prompt&) { return back.open(rig.portPath()) ? 1 : 2; });
        const std::clock_t cpu0 = std::clock();
        const IntervalTimer t = started();
        const ControllerStatus s = rig.link.GetStatus();
        const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
        QVERIFY(seconds(t) < ControllerLink::SilenceSeconds);
        QVERIFY2(cpu < 0.5, qPrintable(QStringLiteral("cpu %1 s").arg(cpu)));
        QCOMPARE(s.position, 12);
        verifyTimeoutBox(rig.op.prompts.at(0), QStringLiteral("PutGet ?"));
        QCOMPARE(errors, QList<int>({int(QSerialPort::ResourceError)}));
        QCOMPARE(promptsAtError, 0);
        QCOMPARE(back.received(), QByteArray("\r!\r!\r\r?\r"));
    }
};

STAVELY_TEST(ControllerLinkTest)
#include "ControllerLinkTest.moc"
