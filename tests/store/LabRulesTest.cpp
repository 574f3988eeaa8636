#include "store/LabBatch.h"
#include "store/LabDatabase.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/LabTestStore.h"
#include "tests/support/PostgresCluster.h"
#include "tests/support/TestRegistry.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

namespace {
LabAddress rulesAddress(const QString& text) {
    QString error;
    return *LabAddress::parse(text, &error);
}

struct Batch {
    std::vector<LabEvent> events;
    std::vector<LabResult> results;
};

Batch readAll(LabTestStore& store) {
    Batch batch;
    std::unique_ptr<LabSource> source = store.source();
    QString why;
    if (source->open(&why))
        source->read(0, 1000, &batch.events, &batch.results, &why);
    return batch;
}

// The tables as the first version made them, in public, with rows as its testers sent them.
const char* const VersionOne = R"(
CREATE TABLE stavely_schema (version integer PRIMARY KEY, installed timestamptz NOT NULL DEFAULT now());
CREATE TABLE results (uuid uuid PRIMARY KEY, instrument text NOT NULL, content text NOT NULL, record bytea,
    data_file text NOT NULL, row_number integer NOT NULL, line text NOT NULL, sample text NOT NULL DEFAULT '',
    operator text NOT NULL DEFAULT '', tested_at text NOT NULL DEFAULT '', nominal_rate text NOT NULL DEFAULT '',
    stress_mpa double precision, sent_by text NOT NULL DEFAULT current_user,
    received_at timestamptz NOT NULL DEFAULT now());
CREATE INDEX results_sample ON results (sample, tested_at);
CREATE TABLE events (uuid uuid PRIMARY KEY, instrument text NOT NULL, seq bigint NOT NULL, utc text NOT NULL,
    system_user_name text NOT NULL, operator text NOT NULL, kind text NOT NULL, data_file text NOT NULL,
    row_number integer NOT NULL, result_uuid text NOT NULL, before_value text NOT NULL,
    after_value text NOT NULL, hash text NOT NULL, sent_by text NOT NULL DEFAULT current_user,
    received_at timestamptz NOT NULL DEFAULT now(), UNIQUE (instrument, seq));
GRANT SELECT, INSERT ON results, events TO stavely_tester;
INSERT INTO stavely_schema VALUES (1);
)";

// Puts a store's trail into a database of the first version, as its sender did then.
bool sendAsVersionOne(PostgresCluster& server, const QString& database, const Batch& batch) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("v1-") + database);
    rulesAddress(server.adminUri(database)).configure(db);
    bool ok = db.open();
    for (const LabResult& r : batch.results) {
        QSqlQuery q(db);
        q.prepare(
            QStringLiteral("INSERT INTO results (uuid, instrument, content, record, data_file, "
                           "row_number, line, sample, operator, tested_at, nominal_rate, stress_mpa, "
                           "sent_by) VALUES (CAST(? AS uuid), ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'tester3')"));
        for (const QVariant& v :
             {QVariant(r.uuid), QVariant(r.instrument), QVariant(QString::fromUtf8(r.content)),
              QVariant(r.record), QVariant(r.dataFile), QVariant(r.rowNumber), QVariant(r.line),
              QVariant(r.sample), QVariant(r.operatorName), QVariant(r.testedAt), QVariant(r.nominalRate),
              QVariant(*r.stressMPa)})
            q.addBindValue(v);
        ok = ok && q.exec();
    }
    for (const LabEvent& le : batch.events) {
        const AuditEvent& e = le.event;
        QSqlQuery q(db);
        q.prepare(
            QStringLiteral("INSERT INTO events (uuid, instrument, seq, utc, system_user_name, operator, "
                           "kind, data_file, row_number, result_uuid, before_value, after_value, hash, "
                           "sent_by) VALUES (CAST(? AS uuid), ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                           "'tester3')"));
        for (const QVariant& v :
             {QVariant(e.uuid), QVariant(le.instrument), QVariant(e.seq), QVariant(e.utc),
              QVariant(e.systemUser), QVariant(e.operatorName), QVariant(e.kind), QVariant(e.dataFile),
              QVariant(e.rowNumber), QVariant(e.resultUuid), QVariant(e.before), QVariant(e.after),
              QVariant(QString::fromLatin1(e.hash))})
            q.addBindValue(v.isNull() ? QVariant(QString(QLatin1String(""))) : v);
        ok = ok && q.exec();
        if (!ok)
            qWarning("%s", qPrintable(q.lastError().text()));
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("v1-") + database);
    return ok;
}
} // namespace

// What the lab's server itself enforces, whatever a client sends: each login writes its own
// instrument's trail only, in order, with the server's own provenance; and --db-init keeps to the
// program's own schema, refusing another application's tables and bringing older tables up in place.
class LabRulesTest : public QObject {
    Q_OBJECT
    PostgresCluster m_server;

    QString testerUri(const QString& role) {
        return m_server.uri(role,
                            QStringLiteral("passfile=") + m_server.passFile(role, QStringLiteral("pw")));
    }

private slots:
    void initTestCase() {
        STAVELY_START_POSTGRES(m_server);
        QCOMPARE(
            runProgram({QStringLiteral("--db-init"), QStringLiteral("--db"), m_server.adminUri()}).exitCode,
            0);
        for (const QString& role : {QStringLiteral("tester3"), QStringLiteral("tester4")}) {
            QVERIFY(m_server.createLogin(role, QStringLiteral("pw")));
            const ProgramRun registered = runProgram(
                {QStringLiteral("--db-register-tester"), role, QStringLiteral("--db"), m_server.adminUri()});
            QCOMPARE(registered.exitCode, 0);
            QVERIFY2(registered.out.endsWith(role + QStringLiteral(" may send results.\n")),
                     qPrintable(registered.out + registered.err));
        }
    }

    void aLoginWritesItsOwnTrailOnly() {
        LabTestStore own;
        for (int row = 1; row <= 5; ++row)
            QVERIFY(own.add(row));
        const Batch batch = readAll(own);
        QCOMPARE(batch.events.size(), std::size_t(5));
        LabDatabase tester3(rulesAddress(testerUri(QStringLiteral("tester3"))), QStringLiteral("t3"));
        LabDatabase tester4(rulesAddress(testerUri(QStringLiteral("tester4"))), QStringLiteral("t4"));
        LabError error;
        QVERIFY2(tester3.open(&error), qPrintable(error.message));
        QVERIFY2(tester4.open(&error), qPrintable(error.message));
        // tester3's first four entries: the instrument is tester3's from now on.
        const std::vector<LabEvent> firstFour(batch.events.begin(), batch.events.begin() + 4);
        const std::vector<LabResult> firstResults(batch.results.begin(), batch.results.begin() + 4);
        QVERIFY2(tester3.send(own.instrument(), firstResults, firstFour, &error), qPrintable(error.message));

        // The fifth entry as another login would forge it, and what else a tester must not do.
        const std::vector<LabEvent> fifth{batch.events[4]};
        std::vector<LabEvent> gap{batch.events[4]};
        gap[0].event.seq = 9;
        std::vector<LabEvent> changed{batch.events[0]};
        changed[0].event.after = QStringLiteral("forged");
        changed[0].event.hash = QByteArray(64, 'f');
        const QString insert =
            QStringLiteral(
                "INSERT INTO stavely.events (uuid, instrument, seq, utc, system_user_name, operator, kind, "
                "data_file, "
                "row_number, result_uuid, before_value, after_value, hash, sent_by, received_at) VALUES "
                "(gen_random_uuid(), '%1', 5, '', '', '', 'added', '', 5, '', '', '', 'x', 'tester3', "
                "'2020-01-01')")
                .arg(own.instrument());
        struct Attempt {
            LabDatabase* as;
            QString sql; // a statement, or empty for a call of the server's function
            const std::vector<LabEvent>* events;
            LabFault fault;
        };
        const std::vector<Attempt> attempts{
            {&tester4, insert, nullptr, LabFault::NoRights},
            {&tester4, QString(), &fifth, LabFault::OtherInstrument},
            {&tester4, QStringLiteral("CREATE TEMP TABLE staging (x int)"), nullptr, LabFault::NoRights},
            {&tester4, QStringLiteral("DELETE FROM stavely.heads"), nullptr, LabFault::NoRights},
            {&tester3, QString(), &gap, LabFault::Diverged},
            {&tester3, QString(), &changed, LabFault::Diverged},
        };
        for (const Attempt& a : attempts) {
            if (a.sql.isEmpty()) {
                QVERIFY(!a.as->send(own.instrument(), {}, *a.events, &error));
            } else {
                QSqlQuery q(a.as->db());
                QVERIFY2(!q.exec(a.sql), qPrintable(a.sql));
                error = a.as->classify(q.lastError(), QStringLiteral("add"));
            }
            QVERIFY2(error.fault == a.fault, qPrintable(error.message));
        }
        // A result no entry adds, and provenance given by the client: refused, and overruled.
        LabResult stray = batch.results[4];
        QVERIFY(!tester3.send(own.instrument(), {stray}, {}, &error));
        QCOMPARE(int(error.fault), int(LabFault::Diverged));
        QSqlQuery call(tester3.db());
        QVERIFY2(call.exec(QStringLiteral("SELECT stavely.add_entries('%1', '[]', CAST('%2' AS jsonb))")
                               .arg(own.instrument(),
                                    QString::fromUtf8(LabBatch::EventsJson(fifth))
                                        .replace(QStringLiteral("\"seq\""),
                                                 QStringLiteral("\"sent_by\":\"tester2\",\"received_at\":"
                                                                "\"2020-01-01\",\"seq\"")))),
                 qPrintable(call.lastError().text()));

        // The tester's next sync delivers the rest; every row is the tester's own, received now.
        QVERIFY2(tester3.send(own.instrument(), batch.results, batch.events, &error),
                 qPrintable(error.message));
        QCOMPARE(
            m_server.sql(QStringLiteral("SELECT count(*), min(sent_by), max(sent_by), "
                                        "bool_and(received_at > now() - interval '1 hour') FROM "
                                        "(SELECT sent_by, received_at FROM stavely.events WHERE instrument = "
                                        "'%1' UNION ALL SELECT sent_by, received_at FROM stavely.results "
                                        "WHERE instrument = '%1') x")
                             .arg(own.instrument())),
            QStringLiteral("10|tester3|tester3|t"));
        QCOMPARE(m_server.sql(QStringLiteral("SELECT seq FROM stavely.heads WHERE instrument = '%1'")
                                  .arg(own.instrument())),
                 QStringLiteral("5"));

        // An instrument the administrator registered for tester4 is refused to tester3 from its first row.
        LabTestStore registered;
        QVERIFY(registered.add(1));
        const ProgramRun bind = runProgram({QStringLiteral("--db-register-tester"), QStringLiteral("tester4"),
                                            QStringLiteral("--instrument"), registered.instrument(),
                                            QStringLiteral("--db"), m_server.adminUri()});
        QCOMPARE(bind.exitCode, 0);
        const Batch other = readAll(registered);
        QVERIFY(!tester3.send(registered.instrument(), other.results, other.events, &error));
        QCOMPARE(int(error.fault), int(LabFault::OtherInstrument));
        QVERIFY2(error.message.contains(QStringLiteral("sends as the login tester4, not tester3")),
                 qPrintable(error.message));
        QVERIFY2(tester4.send(registered.instrument(), other.results, other.events, &error),
                 qPrintable(error.message));
    }

    void initKeepsToItsOwnTables() {
        // Another application's results table in public is never met; one in our schema stops
        // everything, named; tables of the first version are moved and brought up with every row.
        m_server.sql(QStringLiteral("CREATE DATABASE shared"));
        m_server.sql(QStringLiteral("CREATE TABLE results (id int PRIMARY KEY, name text)"), nullptr,
                     QStringLiteral("shared"));
        ProgramRun run = runProgram({QStringLiteral("--db-init"), QStringLiteral("--db"),
                                     m_server.adminUri(QStringLiteral("shared"))});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(
            m_server.sql(QStringLiteral("SELECT count(*) FROM pg_indexes WHERE tablename = 'results' AND "
                                        "schemaname = 'public'"),
                         nullptr, QStringLiteral("shared")),
            QStringLiteral("1"));

        m_server.sql(QStringLiteral("CREATE DATABASE clash"));
        m_server.sql(
            QStringLiteral("CREATE SCHEMA stavely; CREATE TABLE stavely.results (id int, name text)"),
            nullptr, QStringLiteral("clash"));
        run = runProgram({QStringLiteral("--db-init"), QStringLiteral("--db"),
                          m_server.adminUri(QStringLiteral("clash"))});
        QCOMPARE(run.exitCode, 5);
        QVERIFY2(
            run.err.contains(QStringLiteral("the table stavely.results has columns that are not STAVELY's "
                                            "(id, name)")) &&
                run.err.contains(QStringLiteral("nothing was changed")),
            qPrintable(run.err));
        QCOMPARE(m_server.sql(QStringLiteral("SELECT to_regclass('stavely.events') IS NULL, "
                                             "has_database_privilege('public', current_database(), 'TEMP')"),
                              nullptr, QStringLiteral("clash")),
                 QStringLiteral("t|t"));

        // Version 1, holding one specimen twice (a store rebuilt and sent again under a new identity).
        m_server.sql(QStringLiteral("CREATE DATABASE older"));
        bool ok = false;
        m_server.sql(QString::fromLatin1(VersionOne), &ok, QStringLiteral("older"));
        QVERIFY(ok);
        LabTestStore first;
        LabTestStore rebuilt;
        for (int row = 1; row <= 3; ++row) {
            QVERIFY(first.add(row, QStringLiteral("C1")));
            QVERIFY(rebuilt.add(row, QStringLiteral("C1")));
        }
        QVERIFY(sendAsVersionOne(m_server, QStringLiteral("older"), readAll(first)));
        QVERIFY(sendAsVersionOne(m_server, QStringLiteral("older"), readAll(rebuilt)));
        const QString olderUri = m_server.adminUri(QStringLiteral("older"));
        run = runProgram({QStringLiteral("--db-init"), QStringLiteral("--db"), olderUri});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.endsWith(QStringLiteral("tables of version 2 ready.\n")),
                 qPrintable(run.out + run.err));
        QCOMPARE(m_server.sql(
                     QStringLiteral("SELECT count(*), count(DISTINCT specimen), "
                                    "(SELECT count(*) FROM stavely.events), to_regclass('public.results') "
                                    "IS NULL FROM stavely.results"),
                     nullptr, QStringLiteral("older")),
                 QStringLiteral("6|3|6|t"));
        // The first version's testers could insert into the tables; now only through the function.
        QCOMPARE(
            m_server.sql(QStringLiteral("SELECT has_table_privilege('stavely_tester', 'stavely.results', "
                                        "'INSERT'), has_table_privilege('stavely_tester', 'stavely.events', "
                                        "'INSERT'), (SELECT login FROM stavely.instruments LIMIT 1)"),
                         nullptr, QStringLiteral("older")),
            QStringLiteral("f|f|tester3"));
        // Counted once, exported once, and both trails still verify.
        run = runProgram({QStringLiteral("--stats"), QStringLiteral("--db"), olderUri,
                          QStringLiteral("--sample"), QStringLiteral("C1")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QRegularExpression(QStringLiteral("(^|\n)specimens\t3\n"))),
                 qPrintable(run.out));
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("c1.csv"));
        run = runProgram({QStringLiteral("--db"), olderUri, QStringLiteral("--db-export"), csv});
        QCOMPARE(run.out, QStringLiteral("3 results written to %1\n").arg(csv));
        run = runProgram({QStringLiteral("--db"), olderUri, QStringLiteral("--audit-verify")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.count(QStringLiteral("audit trail intact: 3 entries, 3 results")), 2);
        // A second run changes nothing.
        run = runProgram({QStringLiteral("--db-init"), QStringLiteral("--db"), olderUri});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(m_server.sql(QStringLiteral("SELECT count(*) FROM stavely.results"), nullptr,
                              QStringLiteral("older")),
                 QStringLiteral("6"));
    }
};

STAVELY_TEST(LabRulesTest)
#include "LabRulesTest.moc"
