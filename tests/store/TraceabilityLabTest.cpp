#include "store/TraceabilityTexts.h"
#include "tests/results/SheetRig.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/PostgresCluster.h"
#include "tests/support/TestRegistry.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Users' entries and signatures go to the lab database with the rest of the trail and verify there;
// no password reaches the server.
class TraceabilityLabTest : public QObject {
    Q_OBJECT
    PostgresCluster m_server;
    QString m_uri;
    QTemporaryDir m_dir;

    struct Outcome {
        int exitCode = -1;
        QString out, err;
    };
    Outcome stavely(const QStringList& arguments, const QByteArray& input = {}) {
        QProcess p;
        p.start(programPath(),
                QStringList{QStringLiteral("--settings"), m_dir.filePath(QStringLiteral("STAVELY.ini")),
                            QStringLiteral("--db"), m_uri} +
                    arguments);
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(60000))
            return {};
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

private slots:
    void initTestCase() {
        STAVELY_START_POSTGRES(m_server);
        m_uri = m_server.adminUri();
        QCOMPARE(stavely({QStringLiteral("--db-init")}).exitCode, 0);
        m_uri = m_server.testerUri(QStringLiteral("rig"), QStringLiteral("pw"));
        QVERIFY(!m_uri.isEmpty());
    }

    void signatureSentAndVerifiedOnTheServer() {
        const QString dataFile = m_dir.filePath(QStringLiteral("B9.csv"));
        {
            QFile f(dataFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(SheetRig::file(3));
        }
        QCOMPARE(stavely({QStringLiteral("--db-import"), dataFile}).exitCode, 0);
        const QByteArray admin = "Kestrel-4417", reviewer = "pale blue capstan";
        QCOMPARE(stavely({"--user-add", "ann", "--role", "admin"}, admin + "\n" + admin + "\n").exitCode, 0);
        QCOMPARE(stavely({"--user-add", "rob", "--role", "reviewer", "--as", "ann"},
                         admin + "\n" + reviewer + "\n" + reviewer + "\n")
                     .exitCode,
                 0);
        QCOMPARE(stavely({"--sign", dataFile, "--as", "rob", "--meaning", "approved"}, "pale blue capstam\n")
                     .exitCode,
                 6);
        QCOMPARE(
            stavely({"--sign", dataFile, "--as", "rob", "--meaning", "approved"}, reviewer + "\n").exitCode,
            0);
        const Outcome sync = stavely({QStringLiteral("--db-sync")});
        QVERIFY2(sync.exitCode == 0, qPrintable(sync.out + sync.err));

        auto count = [this](const QString& kind) {
            return m_server
                .sql(QStringLiteral("SELECT count(*) FROM stavely.events WHERE kind = '%1'").arg(kind))
                .toInt();
        };
        QCOMPARE(count(TraceabilityTexts::EventUserAdded), 2);
        QCOMPARE(count(TraceabilityTexts::EventSignInRefused), 1);
        QCOMPARE(count(TraceabilityTexts::EventSigned), 1);
        const QString everything =
            m_server.sql(QStringLiteral("SELECT string_agg(operator || before_value || "
                                        "after_value || data_file, '|') FROM stavely.events"));
        QVERIFY(everything.contains(QStringLiteral("\"meaning\":\"approved\"")));
        for (const QByteArray& password : {admin, reviewer})
            QVERIFY(!everything.contains(QString::fromLatin1(password)));

        const Outcome verify = stavely({QStringLiteral("--audit-verify")});
        QVERIFY2(verify.exitCode == 0 && verify.out.contains(QStringLiteral("audit trail intact")),
                 qPrintable(verify.out + verify.err));
    }
};

STAVELY_TEST(TraceabilityLabTest)
#include "TraceabilityLabTest.moc"
