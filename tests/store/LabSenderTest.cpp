#include "store/LabSender.h"
#include "store/LabAudit.h"
#include "store/LabTexts.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/LabTestSource.h"
#include "tests/support/PostgresCluster.h"
#include "tests/support/TestRegistry.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {
// Quick retries: a test never waits long on an absent server.
const LabSender::Timing QuickRetries{50, 100, 400};

LabAddress senderAddress(const QString& text) {
    QString error;
    return *LabAddress::parse(text, &error);
}

bool upToDate(const LabSender& sender) {
    return sender.status().known && sender.status().text() == LabTexts::StatusUpToDate;
}
} // namespace

// Store and forward against a real server: everything arrives once and in chain order, whatever the
// server does meanwhile, and the server's copy of every chain verifies.
class LabSenderTest : public QObject {
    Q_OBJECT
    PostgresCluster m_server;
    QString m_uri;

    QString count(const QString& instrument, const char* what = "events") {
        return m_server.sql(
            QStringLiteral("SELECT count(*), count(DISTINCT uuid) FROM %1 WHERE instrument = '%2'")
                .arg(QLatin1String(what), instrument));
    }
    // The server's chain: the places 1..n, each once.
    QString places(const QString& instrument) {
        return m_server.sql(
            QStringLiteral("SELECT min(seq) || '-' || max(seq) || '/' || count(DISTINCT seq) FROM "
                           "events WHERE instrument = '%1'")
                .arg(instrument));
    }
    std::vector<LabAudit::ChainReport> verify(const QString& instrument) {
        LabDatabase lab(senderAddress(m_uri), QStringLiteral("verify"));
        LabError error;
        if (!lab.open(&error))
            qWarning("%s", qPrintable(error.message));
        return LabAudit::Verify(lab, instrument, &error);
    }

private slots:
    void initTestCase() {
        STAVELY_START_POSTGRES(m_server);
        QFile script(QFINDTESTDATA("../../docs/lab-database.sql"));
        QVERIFY(script.open(QIODevice::ReadOnly));
        LabDatabase admin(senderAddress(m_server.adminUri()), QStringLiteral("admin"));
        LabError error;
        QVERIFY2(admin.initialise(QString::fromUtf8(script.readAll()), &error), qPrintable(error.message));
        QVERIFY(m_server.createLogin(QStringLiteral("rig"), QStringLiteral("pw")));
        m_server.sql(QStringLiteral("GRANT stavely_tester TO rig"));
        m_uri = m_server.uri(QStringLiteral("rig"),
                             QStringLiteral("passfile=") +
                                 m_server.passFile(QStringLiteral("rig"), QStringLiteral("pw")));
    }

    void serverStoppedMidBatchAndStartedAgain() {
        LabTestChain chain(QStringLiteral("rig-1/outage"));
        for (int row = 1; row <= 600; ++row)
            chain.add(row);
        LabSender sender(
            senderAddress(m_uri), [&chain] { return chain.source(); }, QuickRetries);
        QSignalSpy statuses(&sender, &LabSender::statusChanged);
        sender.start();
        QTRY_VERIFY_WITH_TIMEOUT(m_server.sql(QStringLiteral("SELECT count(*) FROM events")).toInt() >= 100,
                                 20000);
        QVERIFY(m_server.stop());
        const QString stoppedAt = QTime::currentTime().toString(QStringLiteral("HH:mm"));
        // New results while the server is away wait with the others.
        for (int row = 601; row <= 620; ++row)
            chain.add(row);
        QTRY_VERIFY_WITH_TIMEOUT(sender.status().error.fault == LabFault::Unreachable, 10000);
        const LabStatus away = sender.status();
        QVERIFY2(away.waiting > 0 && away.waiting < 620, qPrintable(away.text()));
        QTRY_COMPARE_WITH_TIMEOUT(sender.status().waiting, away.waiting + 0, 5000);
        QVERIFY2(away.text().endsWith(QStringLiteral(" results waiting (server unreachable since ") +
                                      away.since.toString(QStringLiteral("HH:mm")) + QLatin1Char(')')),
                 qPrintable(away.text()));
        QVERIFY(away.since.toString(QStringLiteral("HH:mm")) >= stoppedAt ||
                stoppedAt == QStringLiteral("23:59"));

        QString why;
        QVERIFY2(m_server.restart(&why), qPrintable(why));
        QTRY_VERIFY_WITH_TIMEOUT(upToDate(sender), 20000);
        QVERIFY(!statuses.isEmpty());
        QCOMPARE(statuses.last().first().value<LabStatus>().text(), LabTexts::StatusUpToDate);
        QCOMPARE(count(chain.instrument()), QStringLiteral("620|620"));
        QCOMPARE(count(chain.instrument(), "results"), QStringLiteral("620|620"));
        QCOMPARE(places(chain.instrument()), QStringLiteral("1-620/620"));
        const std::vector<LabAudit::ChainReport> reports = verify(chain.instrument());
        QCOMPARE(reports.size(), std::size_t(1));
        QVERIFY2(reports[0].intact, qPrintable(reports[0].broken));
        QCOMPARE(reports[0].results, 620);
    }

    void threeWritersAtOnce() {
        // Three testers, and a second sender on the first tester's store (two programs of one user).
        std::vector<std::unique_ptr<LabTestChain>> chains;
        std::vector<std::unique_ptr<LabSender>> senders;
        for (const char* name : {"rig-A", "rig-B", "rig-C"})
            chains.push_back(std::make_unique<LabTestChain>(QLatin1String(name)));
        for (std::size_t i = 0; i < 4; ++i) {
            LabTestChain* chain = chains[i % 3].get();
            senders.push_back(std::make_unique<LabSender>(
                senderAddress(m_uri), [chain] { return chain->source(); }, QuickRetries));
            senders.back()->start();
        }
        for (int row = 1; row <= 150; ++row) {
            for (auto& chain : chains)
                chain->add(row, QStringLiteral("B9"));
            if (row % 25 == 0)
                QTest::qWait(20);
        }
        for (auto& sender : senders)
            QTRY_VERIFY_WITH_TIMEOUT(upToDate(*sender), 20000);
        for (auto& chain : chains) {
            QCOMPARE(count(chain->instrument()), QStringLiteral("150|150"));
            QCOMPARE(count(chain->instrument(), "results"), QStringLiteral("150|150"));
            QCOMPARE(places(chain->instrument()), QStringLiteral("1-150/150"));
            const std::vector<LabAudit::ChainReport> reports = verify(chain->instrument());
            QVERIFY2(reports.at(0).intact, qPrintable(reports.at(0).broken));
        }
        // The whole lab's results of one sample, whichever tester made them.
        LabDatabase lab(senderAddress(m_uri), QStringLiteral("reader"));
        LabError error;
        QVERIFY(lab.open(&error));
        LabFilter filter;
        filter.sample = QStringLiteral("B9");
        QCOMPARE(lab.results(filter, &error).size(), std::size_t(450));
        filter.instrument = QStringLiteral("rig-B");
        QCOMPARE(lab.results(filter, &error).size(), std::size_t(150));
        // The batch statistics of the sample over the three testers, and of one of them, from the command
        // line.
        for (const auto& [extra, specimens] :
             {std::pair{QStringList(), 450},
              std::pair{QStringList{QStringLiteral("--instrument"), QStringLiteral("rig-B")}, 150}}) {
            QProcess stats;
            stats.start(programPath(), QStringList{QStringLiteral("--stats"), QStringLiteral("--db"), m_uri,
                                                   QStringLiteral("--sample"), QStringLiteral("B9"),
                                                   QStringLiteral("--since"),
                                                   QDate::currentDate().addDays(-1).toString(Qt::ISODate)} +
                                           extra);
            QVERIFY(stats.waitForFinished(30000));
            const QString out = QString::fromUtf8(stats.readAllStandardOutput());
            QCOMPARE(stats.exitCode(), 0);
            QVERIFY2(out.startsWith(QStringLiteral("specimens\t%1\n").arg(specimens)), qPrintable(out));
            QVERIFY2(out.contains(QStringLiteral("\nmin_MPa\t4801\n")), qPrintable(out));
        }
    }

    void tamperedRowsBreakTheirChain_data() {
        QTest::addColumn<QString>("tampering");
        QTest::addColumn<QString>("broken");
        // %1: the chain's instrument.
        QTest::newRow("stress changed")
            << "UPDATE results SET stress_mpa = stress_mpa + 100 WHERE row_number = 7 AND instrument = '%1'"
            << "result %2 (/data/B7.csv row 7): its values do not match its \"added\" event";
        QTest::newRow("stress changed with its content")
            << "UPDATE results SET content = replace(content, '\"stress_mpa\":4807', '\"stress_mpa\":4907'), "
               "stress_mpa = 4907 WHERE row_number = 7 AND instrument = '%1'"
            << "result %2 (/data/B7.csv row 7): its values do not match its \"added\" event";
        QTest::newRow("event removed") << "DELETE FROM events WHERE seq = 5 AND instrument = '%1'"
                                       << "event 5 is missing; the chain goes on with event 6 (";
        QTest::newRow("events swapped")
            << "UPDATE events SET seq = -seq WHERE seq IN (3, 4) AND instrument = '%1'; UPDATE events SET "
               "seq = CASE "
               "seq WHEN -3 THEN 4 ELSE 3 END WHERE seq IN (-3, -4) AND instrument = '%1'"
            << "event 3 (";
        QTest::newRow("event text rewritten") << "UPDATE events SET canonical = replace(canonical, 'result "
                                                 "added', 'result removed') WHERE seq = 9 "
                                                 "AND instrument = '%1'"
                                              << "event 9 (";
    }
    void tamperedRowsBreakTheirChain() {
        QFETCH(QString, tampering);
        QFETCH(QString, broken);
        LabTestChain chain(QStringLiteral("rig-T/") + QString::fromLatin1(QTest::currentDataTag()));
        for (int row = 1; row <= 12; ++row)
            chain.add(row);
        {
            LabSender sender(
                senderAddress(m_uri), [&chain] { return chain.source(); }, QuickRetries);
            sender.start();
            QTRY_VERIFY_WITH_TIMEOUT(upToDate(sender), 20000);
        }
        QVERIFY(verify(chain.instrument()).at(0).intact);
        bool ok = false;
        m_server.sql(tampering.arg(chain.instrument()), &ok);
        QVERIFY(ok);
        const QString uuid =
            m_server.sql(QStringLiteral("SELECT uuid FROM results WHERE row_number = 7 AND instrument = '%1'")
                             .arg(chain.instrument()));
        const std::vector<LabAudit::ChainReport> reports = verify(chain.instrument());
        QVERIFY(!reports.at(0).intact);
        QVERIFY2(reports[0].broken.startsWith(QString(broken).replace(QLatin1String("%2"), uuid)),
                 qPrintable(reports[0].broken));
    }
};

STAVELY_TEST(LabSenderTest)
#include "LabSenderTest.moc"
