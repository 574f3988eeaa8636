#include "store/LabSender.h"
#include "store/LabAudit.h"
#include "store/LabTexts.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/LabTestStore.h"
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
            QStringLiteral("SELECT count(*), count(DISTINCT uuid) FROM stavely.%1 WHERE instrument = '%2'")
                .arg(QLatin1String(what), instrument));
    }
    // The server's chain: the places 1..n, each once.
    QString places(const QString& instrument) {
        return m_server.sql(
            QStringLiteral("SELECT min(seq) || '-' || max(seq) || '/' || count(DISTINCT seq) FROM "
                           "stavely.events WHERE instrument = '%1'")
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
        m_uri = m_server.testerUri(QStringLiteral("rig"), QStringLiteral("pw"));
        QVERIFY(!m_uri.isEmpty());
    }

    void serverStoppedMidBatchAndStartedAgain() {
        LabTestStore store;
        QVERIFY(store.isOpen());
        for (int row = 1; row <= 600; ++row)
            QVERIFY(store.add(row));
        LabSender sender(
            senderAddress(m_uri), [&store] { return store.source(); }, QuickRetries);
        QSignalSpy statuses(&sender, &LabSender::statusChanged);
        sender.start();
        QTRY_VERIFY_WITH_TIMEOUT(
            m_server.sql(QStringLiteral("SELECT count(*) FROM stavely.events")).toInt() >= 100, 20000);
        QVERIFY(m_server.stop());
        const QString stoppedAt = QTime::currentTime().toString(QStringLiteral("HH:mm"));
        // New results while the server is away wait with the others.
        for (int row = 601; row <= 620; ++row)
            QVERIFY(store.add(row));
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
        QCOMPARE(count(store.instrument()), QStringLiteral("620|620"));
        QCOMPARE(count(store.instrument(), "results"), QStringLiteral("620|620"));
        QCOMPARE(places(store.instrument()), QStringLiteral("1-620/620"));
        const std::vector<LabAudit::ChainReport> reports = verify(store.instrument());
        QCOMPARE(reports.size(), std::size_t(1));
        QVERIFY2(reports[0].intact, qPrintable(reports[0].broken));
        QCOMPARE(reports[0].results, 620);
    }

    // A refusal keeps the results waiting and the status bar names its cause; a server put right
    // gets them all.
    void refusedSendingKeepsResultsWaitingAndSaysWhy_data() {
        QTest::addColumn<QString>("password"); // in the sender's password file
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("change"); // on the server before, and its repair after
        QTest::addColumn<QString>("repair");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("cause"); // %1: user@host:port/database
        QTest::newRow("wrong password")
            << "nope"
            << ""
            << ""
            << "" << int(LabFault::WrongPassword)
            << "The lab database %1 refused the password (wrong password in ~/.pgpass or PGPASSFILE).";
        QTest::newRow("server of an older schema")
            << "pw"
            << ""
            << "UPDATE stavely.stavely_schema SET version = version - 2"
            << "UPDATE stavely.stavely_schema SET version = version + 2" << int(LabFault::OlderSchema)
            << "The lab database %1 has tables of version 0; this program needs version 2: the "
               "administrator runs stavely --db-init.";
        QTest::newRow("TLS required but not offered")
            << "pw"
            << "&sslmode=require"
            << ""
            << "" << int(LabFault::TlsNotOffered)
            << "The lab database server %1 does not offer TLS, which the address requires "
               "(sslmode=require).";
    }
    void refusedSendingKeepsResultsWaitingAndSaysWhy() {
        QFETCH(QString, password);
        QFETCH(QString, options);
        QFETCH(QString, change);
        QFETCH(QString, repair);
        QFETCH(int, fault);
        QFETCH(QString, cause);
        LabTestStore store;
        for (int row = 1; row <= 3; ++row)
            QVERIFY(store.add(row));
        const QString uri = m_server.uri(
            QStringLiteral("rig"),
            QStringLiteral("passfile=") +
                m_server.passFile(QStringLiteral("rig"), password, QStringLiteral("refusal")) + options);
        bool ok = true;
        if (!change.isEmpty())
            m_server.sql(change, &ok);
        QVERIFY(ok);
        // A pause between attempts longer than the wait for the count below.
        LabSender sender(
            senderAddress(uri), [&store] { return store.source(); }, LabSender::Timing{50, 2000, 2000});
        sender.start();
        QTRY_VERIFY_WITH_TIMEOUT(sender.status().error.fault == LabFault(fault), 10000);
        const LabStatus status = sender.status();
        QCOMPARE(status.text(),
                 QStringLiteral("Lab database: 3 results waiting (refused since %1: %2)")
                     .arg(status.since.toString(QStringLiteral("HH:mm")),
                          cause.arg(QStringLiteral("rig@127.0.0.1:%1/lab").arg(m_server.port()))));
        QCOMPARE(status.exitText(),
                 QStringLiteral("3 results have not reached the lab database yet; they are kept "
                                "and sent on the next start."));
        QCOMPARE(count(store.instrument(), "results"), QStringLiteral("0|0"));
        // A result made meanwhile is counted at once, not at the next attempt.
        QVERIFY(store.add(4));
        QTRY_COMPARE_WITH_TIMEOUT(sender.status().waiting, 4, 1000);
        QVERIFY(sender.status().text().startsWith(
            QStringLiteral("Lab database: 4 results waiting (refused since ")));
        if (repair.isEmpty())
            return;
        m_server.sql(repair, &ok);
        QVERIFY(ok);
        QTRY_VERIFY_WITH_TIMEOUT(upToDate(sender), 10000);
        QCOMPARE(count(store.instrument(), "results"), QStringLiteral("4|4"));
    }

    void threeWritersAtOnce() {
        // Three testers, and a second sender on the first tester's store (two programs of one user).
        std::vector<std::unique_ptr<LabTestStore>> stores;
        std::vector<std::unique_ptr<LabSender>> senders;
        for (int i = 0; i < 3; ++i)
            stores.push_back(std::make_unique<LabTestStore>());
        for (std::size_t i = 0; i < 4; ++i) {
            LabTestStore* store = stores[i % 3].get();
            senders.push_back(std::make_unique<LabSender>(
                senderAddress(m_uri), [store] { return store->source(); }, QuickRetries));
            senders.back()->start();
        }
        for (int row = 1; row <= 150; ++row) {
            // Each tester breaks specimens of its own (the same stresses, other times of break).
            for (int i = 0; i < 3; ++i)
                QVERIFY(stores[size_t(i)]->add(row + 400 * i, QStringLiteral("B9")));
            if (row % 25 == 0)
                QTest::qWait(20);
        }
        for (auto& sender : senders)
            QTRY_VERIFY_WITH_TIMEOUT(upToDate(*sender), 20000);
        // A sender looks for new rows at its next poll: right after the last row it may still show
        // the state of its pass before that row, so the server is given the time of a few polls.
        for (auto& store : stores) {
            QTRY_COMPARE_WITH_TIMEOUT(count(store->instrument()), QStringLiteral("150|150"), 5000);
            QCOMPARE(count(store->instrument(), "results"), QStringLiteral("150|150"));
            QCOMPARE(places(store->instrument()), QStringLiteral("1-150/150"));
            const std::vector<LabAudit::ChainReport> reports = verify(store->instrument());
            QVERIFY2(reports.at(0).intact, qPrintable(reports.at(0).broken));
        }
        // The whole lab's results of one sample, whichever tester made them.
        LabDatabase lab(senderAddress(m_uri), QStringLiteral("reader"));
        LabError error;
        QVERIFY(lab.open(&error));
        LabFilter filter;
        filter.sample = QStringLiteral("B9");
        QCOMPARE(lab.results(filter, &error).size(), std::size_t(450));
        filter.instrument = stores[1]->instrument();
        QCOMPARE(lab.results(filter, &error).size(), std::size_t(150));
        // The batch statistics of the sample over the three testers, and of one of them, from the command
        // line.
        for (const auto& [extra, specimens] :
             {std::pair{QStringList(), 450},
              std::pair{QStringList{QStringLiteral("--instrument"), stores[1]->instrument()}, 150}}) {
            QProcess stats;
            stats.start(programPath(), QStringList{QStringLiteral("--stats"), QStringLiteral("--db"), m_uri,
                                                   QStringLiteral("--sample"), QStringLiteral("B9"),
                                                   QStringLiteral("--since"), QStringLiteral("2026-12-07")} +
                                           extra);
            QVERIFY(stats.waitForFinished(30000));
            const QString out = QString::fromUtf8(stats.readAllStandardOutput());
            QCOMPARE(stats.exitCode(), 0);
            QVERIFY2(out.startsWith(QStringLiteral("specimens\t%1\n").arg(specimens)), qPrintable(out));
            QVERIFY2(out.contains(QStringLiteral("\nmin_MPa\t4802\n")), qPrintable(out));
        }
    }

    void tamperedRowsBreakTheirChain_data() {
        QTest::addColumn<QString>("tampering"); // %1: the store's instrument
        QTest::addColumn<QString>("broken");    // %2: the file
        QTest::newRow("stress changed")
            << "UPDATE stavely.results SET stress_mpa = 4908 WHERE row_number = 7 AND instrument = '%1'"
            << "(%2 row 7): its columns or record differ from its stored values";
        QTest::newRow("record changed")
            << "UPDATE stavely.results SET record = 'x' WHERE row_number = 7 AND instrument = '%1'"
            << "(%2 row 7): its columns or record differ from its stored values";
        QTest::newRow("stress changed with its content")
            << "UPDATE stavely.results SET content = replace(content, '4:4808;', '4:4908;'), stress_mpa = "
               "4908 "
               "WHERE row_number = 7 AND instrument = '%1'"
            << "\"result added\" of %2 row 7 (entry 7): changed, or an entry before it removed or moved";
        QTest::newRow("entry removed") << "DELETE FROM stavely.events WHERE seq = 5 AND instrument = '%1'"
                                       << "entry 5: missing; the trail goes on with ";
        QTest::newRow("entries swapped")
            << "UPDATE stavely.events SET seq = -seq WHERE seq IN (3, 4) AND instrument = '%1'; UPDATE "
               "stavely.events SET "
               "seq = CASE "
               "seq WHEN -3 THEN 4 ELSE 3 END WHERE seq IN (-3, -4) AND instrument = '%1'"
            << "\"result added\" of %2 row 4 (entry 3): changed, or an entry before it removed or moved";
        QTest::newRow("operator rewritten")
            << "UPDATE stavely.events SET operator = 'eve' WHERE seq = 9 AND instrument = '%1'"
            << "\"result added\" of %2 row 9 (entry 9): changed, or an entry before it removed or moved";
    }
    void tamperedRowsBreakTheirChain() {
        QFETCH(QString, tampering);
        QFETCH(QString, broken);
        LabTestStore store;
        for (int row = 1; row <= 12; ++row)
            QVERIFY(store.add(row));
        {
            LabSender sender(
                senderAddress(m_uri), [&store] { return store.source(); }, QuickRetries);
            sender.start();
            QTRY_VERIFY_WITH_TIMEOUT(upToDate(sender), 20000);
        }
        QVERIFY(verify(store.instrument()).at(0).intact);
        bool ok = false;
        m_server.sql(tampering.arg(store.instrument()), &ok);
        QVERIFY(ok);
        const std::vector<LabAudit::ChainReport> reports = verify(store.instrument());
        QVERIFY(!reports.at(0).intact);
        QVERIFY2(reports[0].broken.contains(
                     QString(broken).replace(QLatin1String("%2"), store.dataFile(QStringLiteral("B7")))),
                 qPrintable(reports[0].broken));
    }
};

STAVELY_TEST(LabSenderTest)
#include "LabSenderTest.moc"
