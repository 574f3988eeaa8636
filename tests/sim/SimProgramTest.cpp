#include "sim/SimCommandLine.h"
#include "tests/sim/SimSerialClient.h"
#include "tests/support/TestRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString simulatorPath() {
    QString dir = qEnvironmentVariable("STAVELY_BIN_DIR");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath() + QStringLiteral("/..");
    return QDir(dir).filePath(QStringLiteral("stavely-sim"));
}

SimCommandLine parse(QStringList args) {
    args.prepend(QStringLiteral("stavely-sim"));
    return SimCommandLine::parse(args);
}

} // namespace

class SimProgramTest : public QObject {
    Q_OBJECT
private slots:
    void optionsBuildTheInstrument() {
        const SimCommandLine o = parse({"--link",
                                        "/tmp/x/COM2",
                                        "--seed",
                                        "9",
                                        "--firmware",
                                        "1.01",
                                        "--instant",
                                        "--strength-gpa",
                                        "2.5",
                                        "--diameter",
                                        "80",
                                        "--gauge-mm",
                                        "250",
                                        "--slack",
                                        "0",
                                        "--no-fiber",
                                        "--stray",
                                        "--chunks",
                                        "--silence-after",
                                        "12",
                                        "--bad-hex",
                                        "--lowercase",
                                        "--overload",
                                        "--local",
                                        "--interrupt-at",
                                        "-300",
                                        "--vanish-after-ms",
                                        "1500",
                                        "--return-after-ms",
                                        "50"});
        QVERIFY2(o.error.isEmpty(), qPrintable(o.error));
        QCOMPARE(o.link, QStringLiteral("/tmp/x/COM2"));
        const SimConfig& c = o.config;
        QCOMPARE(c.seed, quint64(9));
        QCOMPARE(c.firmwareVersion, QByteArray("1.01"));
        QVERIFY(c.instant && !c.fiberPresent);
        QCOMPARE(c.strengthGpa, 2.5);
        QCOMPARE(c.diameterUm, 80.0);
        QCOMPARE(c.gaugeMm, 250.0);
        QCOMPARE(c.slackSteps, 0.0);
        QVERIFY(c.faults.stray && c.faults.chunks && c.faults.lowercase && c.faults.overload &&
                c.faults.localControl);
        QCOMPARE(c.faults.silenceAfter, 12);
        QVERIFY(c.faults.badHex == SimFaults::BadHex::Next);
        QCOMPARE(c.faults.interruptAt, std::optional<qint32>(-300));
        QCOMPARE(c.faults.vanishAfterMs, 1500);
        QCOMPARE(c.faults.returnAfterMs, 50);

        // Defaults without options: a plain instrument with a fiber.
        const SimCommandLine plain = parse({"--link", "COM1"});
        QVERIFY(plain.error.isEmpty());
        QVERIFY(plain.config.fiberPresent && !plain.config.instant);
        QVERIFY(!plain.config.faults.stray);
        const SimCommandLine echo = parse({"--link", "COM1", "--stray-echo"});
        QVERIFY(echo.config.faults.stray && echo.config.faults.strayKind == SimFaults::Stray::EchoLetter);
        const SimCommandLine stale = parse({"--link", "COM1", "--stray-stale"});
        QVERIFY(stale.config.faults.stray && stale.config.faults.strayKind == SimFaults::Stray::StaleReply);
        QVERIFY(!plain.config.faults.interruptAt && plain.config.faults.silenceAfter < 0);
    }

    void badArgumentsAreRefused() {
        QVERIFY(!parse({}).error.isEmpty()); // no link
        QVERIFY(parse({"--link", "p", "--seed", "many"}).error.contains("--seed"));
        QVERIFY(parse({"--link", "p", "--silence-after", "2.5"}).error.contains("whole"));
        QVERIFY(parse({"--link", "p", "--strength-gpa", "-1"}).error.contains("--strength-gpa"));
        QVERIFY(!parse({"--link", "p", "--frobnicate"}).error.isEmpty());
        QVERIFY(!parse({"--link", "p", "extra"}).error.isEmpty());
    }

    void executableServesUntilTerminated() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("COM1"));
        QProcess sim;
        sim.start(simulatorPath(), {"--link", link, "--instant", "--firmware", "1.01"});
        QVERIFY2(sim.waitForStarted(), qPrintable(sim.errorString()));
        QVERIFY(sim.waitForReadyRead(5000));
        const QByteArray banner = sim.readAllStandardOutput();
        QVERIFY2(banner.contains(link.toLocal8Bit()) && banner.endsWith("\n") && banner.count('\n') == 1,
                 banner.constData());
        QVERIFY(QFileInfo(link).isSymLink());

        SimSerialClient client;
        QVERIFY(client.open(link));
        client.port.write("\r!\r!\r\rV\r");
        QByteArray text;
        while (!text.endsWith('\r') && client.port.waitForReadyRead(1000))
            text += client.port.readAll();
        QCOMPARE(text, QByteArray("System Controller firmware version 1.01\r"));
        client.port.close();

        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void executableExplainsItself() {
        QProcess sim;
        sim.start(simulatorPath(), {"--help"});
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
        const QByteArray help = sim.readAllStandardOutput();
        for (const char* option :
             {"--link", "--seed", "--firmware", "--instant", "--strength-gpa", "--diameter", "--gauge-mm",
              "--slack", "--no-fiber", "--stray", "--chunks", "--silence-after", "--bad-hex", "--lowercase",
              "--overload", "--local", "--interrupt-at", "--vanish-after-ms"})
            QVERIFY2(help.contains(option), option);

        sim.start(simulatorPath(), {"--link"});
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 2);
    }
};

STAVELY_TEST(SimProgramTest)
#include "SimProgramTest.moc"
