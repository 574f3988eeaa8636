#include "sim/SimServer.h"
#include "tests/sim/SimSerialClient.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <ctime>
#include <memory>

using namespace SimTest;

class SimServerTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<SimServer> m_server;
    SimSerialClient m_client;

    QString link() const { return m_dir.filePath(QStringLiteral("ports/COM3")); }

    void serve(SimConfig config) {
        m_server = std::make_unique<SimServer>(config);
        QVERIFY2(m_server->startInThread(link()), qPrintable(m_server->errorString()));
        QVERIFY2(m_client.open(link()), qPrintable(m_client.port.errorString()));
    }

private slots:
    void cleanup() {
        m_client.port.close();
        m_server.reset();
    }

    void servesThroughTheLinkAndRemovesItWhenStopped() {
        serve(quietConfig());
        QVERIFY(QFileInfo(link()).isSymLink());
        QCOMPARE(QFileInfo(link()).symLinkTarget(), m_server->devicePath());
        // The probe's burst, then the record count read through the usual exchange.
        m_client.port.write("\r!\r!\r\rV\r");
        QByteArray text;
        while (!text.endsWith('\r') && m_client.port.waitForReadyRead(1000))
            text += m_client.port.readAll();
        QCOMPARE(text, QByteArray("System Controller firmware version 1.05\r"));
        QCOMPARE(m_client.exchange("z", 8), QByteArray("z00000040\r\n"));
        QCOMPARE(m_server->commandLog(), QList<QByteArray>({"!", "!", "V", "z"}));
        m_server->stop();
        QVERIFY(!QFileInfo::exists(link()));
        QVERIFY(!QFileInfo(link()).isSymLink());
    }

    void linkNeverReplacesAFileNorAnotherSimulatorsLink() {
        QDir().mkpath(QFileInfo(link()).absolutePath());
        QFile file(link());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("notes");
        file.close();
        SimServer refused;
        QVERIFY(!refused.startInThread(link()));
        QVERIFY(refused.errorString().contains("not a link"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("notes"));
        file.remove();

        // A second simulator takes over a link; the first one leaves it alone when it stops.
        SimServer first, second;
        QVERIFY(first.startInThread(link()));
        QVERIFY(second.startInThread(link()));
        QCOMPARE(QFileInfo(link()).symLinkTarget(), second.devicePath());
        first.stop();
        QCOMPARE(QFileInfo(link()).symLinkTarget(), second.devicePath());
        second.stop();
        QVERIFY(!QFileInfo(link()).isSymLink());
    }

    void repliesArePacedLikeA19200BaudLine() {
        SimConfig c = quietConfig();
        c.instant = false;
        serve(c);
        double shortest = 1e9, longest = 1e9;
        for (int i = 0; i < 4; ++i) {
            const QByteArray rReply = m_client.exchange("R", 2);
            QVERIFY2(rReply.startsWith("R00"), rReply.toHex().constData());
            m_client.readFor(5); // the line end
            shortest = std::min(shortest, m_client.elapsedMs);
            QCOMPARE(m_client.exchange("F", 59).left(60).size(), 60);
            m_client.readFor(5);
            longest = std::min(longest, m_client.elapsedMs);
        }
        // "F" is 60 characters up to its last field, "R" 3: the difference is 57 characters.
        const double perChar = (longest - shortest) / 57;
        QVERIFY2(perChar > 0.5 && perChar < 0.65, qPrintable(QString::number(perChar)));
        QVERIFY2(longest >= 60 * 0.573 - 1, qPrintable(QString::number(longest)));

        m_server->setInstant(true);
        QCOMPARE(m_client.exchange("F", 59).size(), 62);
        QVERIFY2(m_client.elapsedMs < longest / 2, qPrintable(QString::number(m_client.elapsedMs)));
    }

    void controlsActOnTheRunningInstrument() {
        serve(quietConfig());
        QCOMPARE(m_client.exchange("L", 30).mid(11, 6), QByteArray("001900"));
        m_server->setExtraLoad(10);
        QCOMPARE(m_client.exchange("L", 30).mid(11, 6), SimInstrument::hex(qRound64(610.0 * 64), 6));
        m_client.send("W0505");
        QCOMPARE(m_client.exchange("W", 0), QByteArray("W\r\n"));
        QCOMPARE(m_server->state().outputs[0], quint8(5));
        m_server->setInputLines(0x08);
        QCOMPARE(m_client.exchange("R", 2), QByteArray("R08\r\n"));
        m_server->clearCommandLog();
        m_client.send("sFFFFFFFF");
        QCOMPARE(m_client.exchange("?", 12), QByteArray("?00FFFFFFFF00\r\n"));
        QCOMPARE(m_server->commandLog(), QList<QByteArray>({"sFFFFFFFF", "?"}));
        QCOMPARE(m_server->state().position, -1);
    }

    void servingCostsNoTimeWhileNobodyAsks() {
        serve(quietConfig());
        // Even a long move in progress is only worked out when a command arrives.
        m_client.send(SimTest::moveCommand(150000, 100));
        QTest::qWait(50);
        const std::clock_t cpu0 = std::clock();
        QTest::qWait(600);
        const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
        QVERIFY2(cpu < 0.03, qPrintable(QStringLiteral("cpu %1 s").arg(cpu)));
        const QByteArray r = m_client.exchange("L", 30);
        QVERIFY(r.startsWith("L0B"));
        QVERIFY(m_server->state().position > 60);
    }

    void strayBytesComeBeforeTheEcho() {
        SimConfig c = quietConfig();
        c.faults.stray = true;
        serve(c);
        const QByteArray r = m_client.exchange("?", 12);
        QCOMPARE(r, QByteArray("~#*?000000000000\r\n"));
    }

    void chunkedRepliesArriveInSlowPieces() {
        SimConfig c = quietConfig();
        c.faults.chunks = true;
        c.faults.chunkIntervalMs = 120;
        serve(c);
        QElapsedTimer clock;
        clock.start();
        m_client.send("?");
        QList<QPair<qint64, QByteArray>> arrivals;
        QByteArray all;
        while (all.size() < 15 && m_client.port.waitForReadyRead(1000)) {
            const QByteArray piece = m_client.port.readAll();
            arrivals.append({clock.elapsed(), piece});
            all += piece;
        }
        QCOMPARE(all, QByteArray("?000000000000\r\n"));
        QCOMPARE(arrivals.size(), 5);
        for (int i = 1; i < arrivals.size(); ++i) {
            QCOMPARE(arrivals[i].second.size(), 3);
            const qint64 gap = arrivals[i].first - arrivals[i - 1].first;
            QVERIFY2(gap >= 90 && gap < 400, qPrintable(QString::number(gap)));
        }
    }

    void silenceStopsAllReplies() {
        SimConfig c = quietConfig();
        c.faults.silenceAfter = 2;
        serve(c);
        QCOMPARE(m_client.exchange("?", 12), QByteArray("?000000000000\r\n"));
        QCOMPARE(m_client.exchange("R", 2), QByteArray("R00\r\n"));
        QCOMPARE(m_client.exchange("?", 12, 300), QByteArray());
        QCOMPARE(m_client.readFor(200), QByteArray());
        QCOMPARE(m_server->commandLog().size(), 3);
    }

    void portVanishesOnceAMoveHasRun() {
        SimConfig c = quietConfig();
        c.faults.vanishAfterMs = 300;
        serve(c);
        QSignalSpy vanished(m_server.get(), &SimServer::vanished);
        QElapsedTimer clock;
        clock.start();
        m_client.send(moveCommand(100000, 1000));
        qint64 lastReply = 0;
        for (;;) {
            const QByteArray r = m_client.exchange("L", 30, 200);
            if (r.indexOf('L') < 0 || m_client.port.error() != QSerialPort::NoError)
                break;
            lastReply = clock.elapsed();
            QVERIFY(lastReply < 2000);
            QTest::qWait(30);
        }
        QVERIFY2(lastReply >= 250, qPrintable(QString::number(lastReply)));
        QVERIFY(!QFileInfo::exists(link()));
        QTRY_COMPARE(vanished.count(), 1);
        QVERIFY(!m_server->isServing());
        // The instrument itself runs on: its move was not stopped.
        QCOMPARE(m_server->state().status, 11);
    }
};

STAVELY_TEST(SimServerTest)
#include "SimServerTest.moc"
