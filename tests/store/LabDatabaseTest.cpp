#include "store/LabDatabase.h"
#include "store/LabAddress.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/LabTestStore.h"
#include "tests/support/PostgresCluster.h"
#include "tests/support/TestRegistry.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTest>
#include <QTimeZone>
#include <QUuid>

namespace {
QString labSchemaScript() {
    QFile file(QFileInfo(programPath()).absolutePath() + QStringLiteral("/docs/lab-database.sql"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

LabAddress labAddressOf(const QString& text) {
    QString error;
    const std::optional<LabAddress> address = LabAddress::parse(text, &error);
    if (!address)
        qFatal("bad address %s: %s", qPrintable(text), qPrintable(error));
    return *address;
}

} // namespace

// The lab's server: its tables made by the administrator's script, the tester's login that adds and reads
// but never changes, and every refusal named by its cause.
class LabDatabaseTest : public QObject {
    Q_OBJECT
    PostgresCluster m_server;
    QString m_testerPass;

private slots:
    void initTestCase() {
        STAVELY_START_POSTGRES(m_server);
        // The administrator's command, twice: a second run on a server that has the tables changes nothing.
        for (int run = 0; run < 2; ++run) {
            const ProgramRun init =
                runProgram({QStringLiteral("--db-init"), QStringLiteral("--db"), m_server.adminUri()});
            QCOMPARE(init.exitCode, 0);
            QCOMPARE(init.out, QStringLiteral("Lab database admin@%1:%2/lab: tables of version 2 ready.\n")
                                   .arg(m_server.socketDir())
                                   .arg(m_server.port()));
            QCOMPARE(init.err, QString());
        }
        LabDatabase admin(labAddressOf(m_server.adminUri()), QStringLiteral("admin"));
        LabError error;
        QVERIFY(admin.connect(&error));
        QCOMPARE(admin.schemaVersion(&error), LabDatabase::SchemaVersion);
        // The script the program runs is the one shipped beside it for administrators who use psql.
        QVERIFY(!labSchemaScript().isEmpty());
        QVERIFY(m_server.createLogin(QStringLiteral("tester3"), QStringLiteral("s3cret'x")));
        m_server.sql(QStringLiteral("GRANT stavely_tester TO tester3"));
        QVERIFY(m_server.createLogin(QStringLiteral("visitor"), QStringLiteral("v")));
        m_testerPass = m_server.passFile(QStringLiteral("tester3"), QStringLiteral("s3cret'x"));
    }

    void refusalsNameTheirCause_data() {
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("password"); // in the password file; empty: no file entry
        QTest::addColumn<QString>("options");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        const QString tester = QStringLiteral("tester3");
        QTest::newRow("accepted") << tester << "s3cret'x"
                                  << "" << int(LabFault::None) << "";
        QTest::newRow("wrong password") << tester << "guess"
                                        << "" << int(LabFault::WrongPassword)
                                        << "refused the password (wrong password in ~/.pgpass or PGPASSFILE)";
        QTest::newRow("no password") << tester << ""
                                     << "" << int(LabFault::NoPassword)
                                     << "asks for a password and none is set";
        QTest::newRow("TLS not offered")
            << tester << "s3cret'x"
            << "sslmode=require" << int(LabFault::TlsNotOffered)
            << "does not offer TLS, which the address requires (sslmode=require)";
        QTest::newRow("no rights")
            << "visitor"
            << "v"
            << "" << int(LabFault::NoRights)
            << "no right to read the schema version (it needs the role stavely_tester)";
        QTest::newRow("unknown login") << "nobody_here"
                                       << "x"
                                       << "" << int(LabFault::WrongPassword) << "refused the password";
    }
    void refusalsNameTheirCause() {
        QFETCH(QString, role);
        QFETCH(QString, password);
        QFETCH(QString, options);
        QFETCH(int, fault);
        QFETCH(QString, message);
        const QString passFile = m_server.passFile(role, password.isEmpty() ? QStringLiteral("*") : password);
        if (password.isEmpty())
            QFile(passFile).resize(0);
        const QString uri =
            m_server.uri(role, QStringLiteral("passfile=") + passFile +
                                   (options.isEmpty() ? QString() : QLatin1Char('&') + options));
        LabDatabase lab(labAddressOf(uri), QStringLiteral("refusal"));
        LabError error;
        const bool opened = lab.open(&error);
        QCOMPARE(opened, fault == int(LabFault::None));
        QCOMPARE(int(error.fault), fault);
        QVERIFY2(error.message.contains(message), qPrintable(error.message));
        if (!opened)
            QVERIFY2(error.message.contains(role + QStringLiteral("@127.0.0.1:")), qPrintable(error.message));
    }

    void unreachableAndOlderServers() {
        LabError error;
        // A port nobody listens on.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const int deadPort = probe.serverPort();
        probe.close();
        LabDatabase away(labAddressOf(QStringLiteral("postgresql://tester3@127.0.0.1:%1/lab").arg(deadPort)),
                         QStringLiteral("away"));
        QVERIFY(!away.open(&error));
        QCOMPARE(int(error.fault), int(LabFault::Unreachable));
        QVERIFY2(error.message.startsWith(
                     QStringLiteral("The lab database server tester3@127.0.0.1:%1/lab cannot be "
                                    "reached: ")
                         .arg(deadPort)),
                 qPrintable(error.message));

        m_server.sql(QStringLiteral("UPDATE stavely.stavely_schema SET version = version - 2"));
        LabDatabase older(
            labAddressOf(m_server.uri(QStringLiteral("tester3"), QStringLiteral("passfile=") + m_testerPass)),
            QStringLiteral("older"));
        const bool opened = older.open(&error);
        m_server.sql(QStringLiteral("UPDATE stavely.stavely_schema SET version = version + 2"));
        QVERIFY(!opened);
        QCOMPARE(int(error.fault), int(LabFault::OlderSchema));
        QVERIFY2(error.message.endsWith(QStringLiteral("has tables of version 0; this program needs version "
                                                       "2: the administrator runs stavely --db-init.")),
                 qPrintable(error.message));
    }

    void testerAddsButNeverChanges() {
        LabDatabase lab(
            labAddressOf(m_server.uri(QStringLiteral("tester3"), QStringLiteral("passfile=") + m_testerPass)),
            QStringLiteral("tester"));
        LabError error;
        QVERIFY2(lab.open(&error), qPrintable(error.message));
        // A result and its entry as the store hands them over.
        LabTestStore store;
        QVERIFY(store.add(1));
        std::unique_ptr<LabSource> source = store.source();
        QString why;
        QVERIFY(source->open(&why));
        std::vector<LabEvent> events;
        std::vector<LabResult> results;
        QVERIFY(source->read(0, 10, &events, &results, &why));
        QCOMPARE(events.size(), std::size_t(1));
        QCOMPARE(results.size(), std::size_t(1));
        const LabResult& result = results[0];
        QCOMPARE(result.stressMPa, 4802.0);
        QCOMPARE(result.testedAt, QStringLiteral("2026-12-07T10:00:01"));
        // Sent twice (a resend after a lost acknowledgement): kept once.
        for (int resend = 0; resend < 2; ++resend) {
            const std::optional<LabHead> head = lab.send(result.instrument, results, events, &error);
            QVERIFY2(head, qPrintable(error.message));
            QCOMPARE(head->seq, qint64(1));
            QCOMPARE(head->hash, events[0].event.hash);
        }
        LabFilter filter;
        filter.instrument = result.instrument;
        const std::vector<LabResult> back = lab.results(filter, &error);
        QCOMPARE(back.size(), std::size_t(1));
        QCOMPARE(back[0].uuid, result.uuid);
        QCOMPARE(back[0].content, result.content);
        QCOMPARE(back[0].record, result.record);
        QVERIFY(back[0].matchesContent());
        const std::vector<LabEvent> trail = lab.events(result.instrument, &error);
        QCOMPARE(trail.size(), std::size_t(1));
        QCOMPARE(trail[0].event.canonicalText(back[0].content),
                 events[0].event.canonicalText(result.content));

        for (const QString& change :
             {QStringLiteral("UPDATE stavely.results SET stress_mpa = 6000"),
              QStringLiteral("DELETE FROM stavely.events"), QStringLiteral("TRUNCATE stavely.results"),
              QStringLiteral("UPDATE stavely.heads SET seq = 0"),
              QStringLiteral("INSERT INTO stavely.instruments VALUES ('x', 'tester3')")}) {
            QSqlQuery query(lab.db());
            QVERIFY2(!query.exec(change), qPrintable(change));
            QCOMPARE(int(lab.classify(query.lastError(), QStringLiteral("change results")).fault),
                     int(LabFault::NoRights));
        }
        QCOMPARE(
            m_server.sql(QStringLiteral("SELECT stress_mpa, sent_by FROM stavely.results WHERE uuid = '%1'")
                             .arg(result.uuid)),
            QStringLiteral("4802|tester3"));
    }
};

STAVELY_TEST(LabDatabaseTest)
#include "LabDatabaseTest.moc"
