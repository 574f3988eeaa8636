#include "results/DataLine.h"
#include "store/ResultsDatabase.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/PostgresCluster.h"
#include "tests/support/TestRegistry.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
// The first `rows` breaks of a tester's day, as the program writes them; the file grows as the day goes.
void writeDay(const QString& path, int rows, int firstStress) {
    QByteArray bytes = DataLine::HeaderLine().toLatin1() + "\r\n";
    for (int n = 1; n <= rows; ++n)
        bytes +=
            QStringLiteral("%1,61.1,61.1,%2,6.45,60 MPa/s,101,1,3.1,0.1,60.1,0.2,12.1,08/12/26,09:%3:07,,125 "
                           "500 0 72 3 0.5N/100 08/12/26 09:00:00 30.1mm/1.00\r\n")
                .arg(n)
                .arg(firstStress + n)
                .arg(n % 60, 2, 10, QLatin1Char('0'))
                .toLatin1();
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

bool copyStore(const QString& from, const QString& to) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
        QFile::remove(to + QLatin1String(suffix));
        if (QFileInfo::exists(from + QLatin1String(suffix)) &&
            !QFile::copy(from + QLatin1String(suffix), to + QLatin1String(suffix)))
            return false;
    }
    return true;
}
} // namespace

// A tester's store restored from a backup and a store lost or damaged, repaired from the lab database:
// afterwards every result is once in the store and once on the server, and both trails verify.
class StoreRestoreTest : public QObject {
    Q_OBJECT
    PostgresCluster m_server;
    QString m_uri;

    int onServer(const QString& sql) { return m_server.sql(sql).toInt(); }

private slots:
    void initTestCase() {
        STAVELY_START_POSTGRES(m_server);
        QCOMPARE(
            runProgram({QStringLiteral("--db-init"), QStringLiteral("--db"), m_server.adminUri()}).exitCode,
            0);
        m_uri = m_server.testerUri(QStringLiteral("tester1"), QStringLiteral("pw"));
        QVERIFY(!m_uri.isEmpty());
    }

    // Import 20, back the store up, import 10 more, put the backup back, import 5 more: the restore
    // takes the 10 from the server's copy of the trail, chains the store's own after them, and the
    // next sync sends the 5.
    void storeRestoredFromBackupCatchesUp() {
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("STAVELY.ini"));
        const QString store = dir.filePath(QStringLiteral("STAVELY-results.sqlite"));
        const QString day = dir.filePath(QStringLiteral("c1.dat"));
        const QString backup = dir.filePath(QStringLiteral("backup.sqlite"));
        const QStringList local = {QStringLiteral("--settings"), settings};
        const QStringList lab = local + QStringList{QStringLiteral("--db"), m_uri};
        writeDay(day, 20, 4700);
        QCOMPARE(runProgram(lab + QStringList{QStringLiteral("--db-import"), day}).exitCode, 0);
        QVERIFY(copyStore(store, backup));
        writeDay(day, 30, 4700);
        QCOMPARE(runProgram(lab + QStringList{QStringLiteral("--db-import"), day}).exitCode, 0);
        QVERIFY(copyStore(backup, store));
        writeDay(day, 35, 4700);
        ProgramRun run = runProgram(local + QStringList{QStringLiteral("--db-import"), day});
        QCOMPARE(run.exitCode, 0);

        run = runProgram(lab + QStringList{QStringLiteral("--db-restore")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
        QVERIFY2(
            run.out.contains(QStringLiteral("10 entries taken in, 5 entries of its own chained after them "
                                            "(10 results it had filed again were the lab database's)")),
            qPrintable(run.out));
        run = runProgram(lab + QStringList{QStringLiteral("--db-sync")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("sent\t5\nentries sent\t5\nwaiting\t0\n"));

        const QString mine = QStringLiteral(" FROM stavely.results WHERE data_file LIKE '%c1.dat'");
        QCOMPARE(onServer(QStringLiteral("SELECT count(*)") + mine), 35);
        QCOMPARE(onServer(QStringLiteral("SELECT count(DISTINCT line)") + mine), 35);
        run = runProgram(local + QStringList{QStringLiteral("--audit-verify")});
        QCOMPARE(run.out, QStringLiteral("Audit trail intact: 35 entries, 35 results\n"));
        run = runProgram(lab + QStringList{QStringLiteral("--audit-verify")});
        QCOMPARE(run.exitCode, 0);
        // A second restore finds nothing to take.
        run = runProgram(lab + QStringList{QStringLiteral("--db-restore")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("0 entries taken in")), qPrintable(run.out));
    }

    // A store damaged beyond use, then one lost: rebuilt from the lab database, the damaged file kept
    // aside; the data file taken in again adds nothing, and the old repair (a new store and an
    // import) doubles nothing on the server either.
    void lostOrDamagedStoreIsRebuilt() {
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("STAVELY.ini"));
        const QString store = dir.filePath(QStringLiteral("STAVELY-results.sqlite"));
        const QString day = dir.filePath(QStringLiteral("d1.dat"));
        const QStringList local = {QStringLiteral("--settings"), settings};
        const QStringList lab = local + QStringList{QStringLiteral("--db"), m_uri};
        writeDay(day, 40, 5200);
        QCOMPARE(runProgram(lab + QStringList{QStringLiteral("--db-import"), day}).exitCode, 0);
        QString instrument;
        {
            ResultsDatabase db;
            QVERIFY(db.openReadOnly(store));
            instrument = db.instrumentId();
        }
        const QString mine = QStringLiteral(" FROM stavely.results WHERE data_file LIKE '%d1.dat'");
        QCOMPARE(onServer(QStringLiteral("SELECT count(*)") + mine), 40);

        // Damaged: the table of tables overwritten.
        {
            QFile file(store);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.seek(1000);
            file.write(QByteArray(3000, '\x5a'));
        }
        ProgramRun run = runProgram(lab + QStringList{QStringLiteral("--db-restore")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("--instrument")), qPrintable(run.err));
        run = runProgram(
            lab + QStringList{QStringLiteral("--db-restore"), QStringLiteral("--instrument"), instrument});
        QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
        QVERIFY2(run.out.contains(QStringLiteral("rebuilt from the lab database: 40 entries, 40 results")) &&
                     run.out.contains(QStringLiteral(".damaged-")),
                 qPrintable(run.out));
        QCOMPARE(QDir(dir.path())
                     .entryList({QStringLiteral("STAVELY-results.sqlite.damaged-????????T??????")})
                     .size(),
                 1);
        run = runProgram(local + QStringList{QStringLiteral("--audit-verify")});
        QCOMPARE(run.out, QStringLiteral("Audit trail intact: 40 entries, 40 results\n"));
        run = runProgram(lab + QStringList{QStringLiteral("--db-import"), day});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("40 rows, 0 added")) &&
                     run.out.endsWith(QStringLiteral("sent\t0\nentries sent\t0\nwaiting\t0\n")),
                 qPrintable(run.out));

        // Lost, and taken in again from the data file the old way: the same results by name.
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(store + QLatin1String(suffix));
        run = runProgram(lab + QStringList{QStringLiteral("--db-import"), day});
        QCOMPARE(run.exitCode, 0);
        // The new store's trail keeps its own copies; each specimen is still one.
        QCOMPARE(onServer(QStringLiteral("SELECT count(DISTINCT specimen)") + mine), 40);
        QCOMPARE(onServer(QStringLiteral("SELECT count(DISTINCT uuid)") + mine), 40);
    }
};

STAVELY_TEST(StoreRestoreTest)
#include "StoreRestoreTest.moc"
