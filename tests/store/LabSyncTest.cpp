#include "results/DataLine.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/LabTestStore.h"
#include "tests/support/PostgresCluster.h"
#include "tests/support/TestRegistry.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

namespace {
// A data file of `rows` breaks at 60 MPa/s, as an earlier installation wrote it.
void writeDataFile(const QString& path, int rows, int firstStress) {
    QByteArray bytes = DataLine::HeaderLine().toLatin1() + "\r\n";
    for (int n = 1; n <= rows; ++n)
        bytes += QStringLiteral(
                     "%1,61.1,61.1,%2,6.45,60 MPa/s,101,1,3.1,0.1,60.1,0.2,12.1,26/12/07,10:%3:01,,125 500 "
                     "0 72 3 0.5N/100 26/12/07 10:00:00 30.1mm/1.00\r\n")
                     .arg(n)
                     .arg(firstStress + n)
                     .arg(n % 60, 2, 10, QLatin1Char('0'))
                     .toLatin1();
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}
} // namespace

// The lab database from the command line, as a laboratory's scripts use it: imports that send, a sync
// that says what waits, the lab's copy verified and exported, and a sender killed over and over while
// it sends, after which the server holds every result once.
class LabSyncTest : public QObject {
    Q_OBJECT
    PostgresCluster m_server;
    QString m_uri;
    QTemporaryDir m_dir;

    QString settingsFile() const { return m_dir.filePath(QStringLiteral("STAVELY.ini")); }
    QStringList withLab(const QStringList& arguments) const {
        return QStringList{QStringLiteral("--settings"), settingsFile(), QStringLiteral("--db"), m_uri} +
               arguments;
    }
    int serverCount(const char* table) {
        return m_server.sql(QStringLiteral("SELECT count(*) FROM stavely.%1").arg(QLatin1String(table)))
            .toInt();
    }

private slots:
    void initTestCase() {
        STAVELY_START_POSTGRES(m_server);
        QCOMPARE(
            runProgram({QStringLiteral("--db-init"), QStringLiteral("--db"), m_server.adminUri()}).exitCode,
            0);
        m_uri = m_server.testerUri(QStringLiteral("rig"), QStringLiteral("pw"));
        QVERIFY(!m_uri.isEmpty());
    }

    void importSendsAndSyncSaysWhatWaits() {
        const QString first = m_dir.filePath(QStringLiteral("B7.csv"));
        writeDataFile(first, 60, 4800);
        ProgramRun run = runProgram(withLab({QStringLiteral("--db-import"), first}));
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.endsWith(QStringLiteral("sent\t60\nentries sent\t60\nwaiting\t0\n")),
                 qPrintable(run.out + run.err));
        QCOMPARE(serverCount("results"), 60);
        run = runProgram(withLab({QStringLiteral("--db-sync")}));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("sent\t0\nentries sent\t0\nwaiting\t0\n"));

        // The server away: the import is kept, says what waits, and the next sync sends it.
        QVERIFY(m_server.stop());
        const QString second = m_dir.filePath(QStringLiteral("B8.csv"));
        writeDataFile(second, 40, 5000);
        run = runProgram(withLab({QStringLiteral("--db-import"), second}));
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.out.endsWith(QStringLiteral("sent\t0\nentries sent\t0\nwaiting\t40\n")),
                 qPrintable(run.out));
        QVERIFY2(run.err.contains(QStringLiteral("cannot be reached")), qPrintable(run.err));
        QString why;
        QVERIFY2(m_server.restart(&why), qPrintable(why));

        // A wrong password keeps them waiting too, and says so.
        const QString wrong = m_server.uri(
            QStringLiteral("rig"),
            QStringLiteral("passfile=") + m_server.passFile(QStringLiteral("rig2"), QStringLiteral("pw")));
        run = runProgram({QStringLiteral("--settings"), settingsFile(), QStringLiteral("--db"), wrong,
                          QStringLiteral("--db-sync")});
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains(QStringLiteral("asks for a password and none is set")),
                 qPrintable(run.err));

        run = runProgram(withLab({QStringLiteral("--db-sync")}));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("sent\t40\nentries sent\t40\nwaiting\t0\n"));
        QCOMPARE(serverCount("results"), 100);
        QCOMPARE(serverCount("events"), 100);

        // The lab's copy: verified, exported.
        run = runProgram(withLab({QStringLiteral("--audit-verify")}));
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.endsWith(QStringLiteral(": audit trail intact: 100 entries, 100 results\n")),
                 qPrintable(run.out));
        const QString csv = m_dir.filePath(QStringLiteral("lab.csv"));
        run = runProgram(withLab(
            {QStringLiteral("--db-export"), csv, QStringLiteral("--since"), QStringLiteral("2026-12-07")}));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("100 results written to %1\n").arg(csv));

        m_server.sql(QStringLiteral("UPDATE stavely.results SET stress_mpa = 9999 WHERE row_number = 3 AND "
                                    "data_file LIKE '%B8.csv'"));
        run = runProgram(withLab({QStringLiteral("--audit-verify")}));
        QCOMPARE(run.exitCode, 4);
        QVERIFY2(run.out.contains(QStringLiteral("audit trail broken at result ")) &&
                     run.out.contains(QStringLiteral(
                         "B8.csv row 3): its columns or record differ from its stored values")),
                 qPrintable(run.out));
    }

    void threeImportsAtOnce() {
        // Three testers take their archives in and send them at the same moment; each has breaks of its
        // own (a row alike in every figure and moment is one specimen, whichever store files it).
        std::vector<std::unique_ptr<QTemporaryDir>> testers;
        std::vector<std::unique_ptr<QProcess>> imports;
        const int before = serverCount("results");
        for (int i = 0; i < 3; ++i) {
            testers.push_back(std::make_unique<QTemporaryDir>());
            const QString file = testers.back()->filePath(QStringLiteral("C%1.csv").arg(i));
            writeDataFile(file, 80, 6000 + 100 * i);
            imports.push_back(std::make_unique<QProcess>());
            imports.back()->start(programPath(),
                                  {QStringLiteral("--settings"),
                                   testers.back()->filePath(QStringLiteral("STAVELY.ini")),
                                   QStringLiteral("--db"), m_uri, QStringLiteral("--db-import"), file});
        }
        for (auto& import : imports) {
            QVERIFY(import->waitForFinished(60000));
            QCOMPARE(import->exitCode(), 0);
            QVERIFY(QString::fromUtf8(import->readAllStandardOutput())
                        .endsWith(QStringLiteral("sent\t80\nentries sent\t80\nwaiting\t0\n")));
        }
        QCOMPARE(serverCount("results"), before + 240);
        QCOMPARE(
            m_server.sql(QStringLiteral(
                "SELECT count(DISTINCT instrument) FROM stavely.results WHERE data_file LIKE '%C_.csv'")),
            QStringLiteral("3"));
    }

    void killedWhileSendingLosesAndDoublesNothing() {
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("STAVELY.ini"));
        LabTestStore store(dir.filePath(QStringLiteral("STAVELY-results.sqlite")));
        QVERIFY(store.isOpen());
        QRandomGenerator random(2812);
        int row = 0;
        int kills = 0;
        int delivered = 0; // rounds whose killed sender got something through first
        int lastCount = serverCount("events");
        // Until enough senders died while running (a quick one may finish before its kill).
        for (int round = 0; round < 150 && kills < 55; ++round) {
            // New results keep arriving, so every sender has something in flight when it dies.
            for (int i = 0; i < 20; ++i)
                QVERIFY(store.add(++row));
            QProcess sender;
            sender.start(programPath(), {QStringLiteral("--settings"), settings, QStringLiteral("--db"),
                                         m_uri, QStringLiteral("--db-sync")});
            QVERIFY(sender.waitForStarted());
            QTest::qWait(int(random.bounded(10, 90)));
            if (sender.state() == QProcess::Running) {
                sender.kill();
                ++kills;
            }
            sender.waitForFinished(10000);
            const int onServer = serverCount("events");
            delivered += onServer > lastCount ? 1 : 0;
            lastCount = onServer;
        }
        qInfo("%d senders killed while running, %d of them after sending some", kills, delivered);
        QVERIFY2(kills >= 50, qPrintable(QString::number(kills)));
        const ProgramRun last = runProgram({QStringLiteral("--settings"), settings, QStringLiteral("--db"),
                                            m_uri, QStringLiteral("--db-sync")});
        QCOMPARE(last.exitCode, 0);
        QVERIFY2(last.out.endsWith(QStringLiteral("waiting\t0\n")), qPrintable(last.out));
        const QString instrument = store.instrument();
        QCOMPARE(
            m_server.sql(QStringLiteral(
                             "SELECT count(*), count(DISTINCT uuid), min(seq), max(seq) FROM stavely.events "
                             "WHERE instrument = '%1'")
                             .arg(instrument)),
            QStringLiteral("%1|%1|1|%1").arg(row));
        QCOMPARE(m_server.sql(QStringLiteral("SELECT count(*) FROM stavely.results WHERE instrument = '%1'")
                                  .arg(instrument)),
                 QString::number(row));
        const ProgramRun verify = runProgram({QStringLiteral("--db"), m_uri, QStringLiteral("--audit-verify"),
                                              QStringLiteral("--instrument"), instrument});
        QCOMPARE(verify.exitCode, 0);
        QCOMPARE(verify.out,
                 QStringLiteral("%1: audit trail intact: %2 entries, %2 results\n").arg(instrument).arg(row));
    }
};

STAVELY_TEST_PARTS(LabSyncTest, {{"commands", {"importSendsAndSyncSaysWhatWaits", "threeImportsAtOnce"}},
                                 {"kills", {"killedWhileSendingLosesAndDoublesNothing"}}})
#include "LabSyncTest.moc"
