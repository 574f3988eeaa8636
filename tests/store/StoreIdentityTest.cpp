#include "store/ResultIdentity.h"
#include "store/StoreTexts.h"
#include "tests/store/StoreRig.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/TestRegistry.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTest>
#include <QUuid>

namespace T = StoreTexts;

namespace {
QString metaValue(const QString& storePath, const QString& key) {
    QString value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("meta-read"));
        db.setDatabaseName(storePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("SELECT value FROM meta WHERE key = ?"));
            q.addBindValue(key);
            if (q.exec() && q.next())
                value = q.value(0).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("meta-read"));
    return value;
}

std::set<QString> storedUuids(ResultsDatabase& db) {
    std::set<QString> out;
    db.forEachResult({}, [&out](const ResultView& view) {
        out.insert(view.text(QStringLiteral("uuid")));
        return true;
    });
    return out;
}

QByteArray fileSha(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}
} // namespace

// A result is named by its row from the moment it is filed: whatever becomes of the store (a lost
// placement, a copy of its data file, a store rebuilt, an older store upgraded, a store copied to
// another computer), one specimen is one result.
class StoreIdentityTest : public QObject {
    Q_OBJECT
private slots:
    void identitySurvivesLostPlacementsCopiesAndRebuilds() {
        StoreRig rig;
        const QString file = rig.dataFile(QStringLiteral("c1.dat"), 5);
        std::set<QString> expected;
        for (const DataRow& row : StoreRig::rows(file))
            expected.insert(ResultIdentity::of(row));
        QCOMPARE(expected.size(), size_t(5));
        {
            ResultsDatabase db;
            QVERIFY2(db.open(rig.storePath), qPrintable(db.error()));
            QCOMPARE(db.reconcile(file, StoreRig::rows(file), QStringLiteral("import"), false)->added, 5);
            QCOMPARE(storedUuids(db), expected);
        }
        // A placement deleted outside the program: the row is placed again, not filed again, and the
        // operator is not told of a data file change nobody made.
        QVERIFY(rig.tamper(QStringLiteral("DELETE FROM placements WHERE row_number = 3")));
        {
            ResultsDatabase db;
            QVERIFY(db.open(rig.storePath));
            auto report = db.reconcile(file, StoreRig::rows(file), QStringLiteral("reconcile"), true);
            QVERIFY(report);
            QCOMPARE(report->added, 0);
            QCOMPARE(report->placedAgain, 1);
            QVERIFY(report->changes.isEmpty());
            QCOMPARE(db.count(QStringLiteral("results")), 5);
            QVERIFY(StoreRig::rowsOnce(db, file).isEmpty());
            const auto story = db.history(file, 3);
            QVERIFY(story && story->size() == 2);
            QCOMPARE(story->back().kind, T::EventPlacedAgain);

            // The data file copied under another name holds the same specimens.
            const QString copy = rig.dir.filePath(QStringLiteral("c1-copy.dat"));
            QVERIFY(QFile::copy(file, copy));
            report = db.reconcile(copy, StoreRig::rows(copy), QStringLiteral("reconcile"), true);
            QVERIFY(report && report->firstSeen);
            QCOMPARE(report->added, 0);
            QCOMPARE(report->placedAgain, 5);
            QCOMPARE(db.count(QStringLiteral("results")), 5);

            // A row deleted in the program and put back by hand is a change made outside it, told.
            const std::vector<DataRow> all = StoreRig::rows(file);
            QVERIFY(db.rowDeleted(file, 4, DataLine::FileLine(all[3])));
            report = db.reconcile(file, all, QStringLiteral("reconcile"), true);
            QVERIFY(report);
            QCOMPARE(report->added, 0);
            QCOMPARE(report->changes, QStringList{QStringLiteral("row 4: ") + T::EventAddedOutside});
            QVERIFY(StoreRig::rowsOnce(db, file).isEmpty());
            const VerifyOutcome outcome = db.verify();
            QVERIFY2(outcome.intact, qPrintable(outcome.broken));
        }
        // Moved aside and rebuilt from the data file: the same identities.
        QVERIFY(QFile::rename(rig.storePath, rig.storePath + QStringLiteral(".aside")));
        ResultsDatabase rebuilt;
        QVERIFY(rebuilt.open(rig.storePath));
        QCOMPARE(rebuilt.reconcile(file, StoreRig::rows(file), QStringLiteral("import"), false)->added, 5);
        QCOMPARE(storedUuids(rebuilt), expected);
    }

    // A store of the first version, its results named at random: upgraded in place when opened, its
    // trail verifies as before, and its results are found again by their rows.
    void olderStoreIsUpgradedInPlace() {
        StoreRig rig;
        const QString file = rig.dataFile(QStringLiteral("old.dat"), 4);
        {
            ResultsDatabase db;
            QVERIFY(db.open(rig.storePath));
            for (int n = 1; n <= 4; ++n) {
                StoredResult r;
                r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
                r.dataFile = file;
                r.rowNumber = n;
                r.fields = SheetRig::result(n);
                r.origin = QStringLiteral("test");
                QVERIFY(db.addResult(r));
            }
        }
        // As the first version left it: no identity column, no computer, version 1.
        QVERIFY(rig.tamper(
            QStringLiteral("DROP INDEX results_identity; ALTER TABLE results DROP COLUMN identity; "
                           "DELETE FROM meta WHERE key = 'machine'; "
                           "UPDATE meta SET value = '1' WHERE key = 'schema_version'; "
                           "DELETE FROM placements WHERE row_number = 2")));
        const std::set<QString> before = [&] {
            ResultsDatabase reader;
            return reader.openReadOnly(rig.storePath) ? storedUuids(reader) : std::set<QString>();
        }();
        QCOMPARE(before.size(), size_t(4));
        ResultsDatabase db;
        QVERIFY2(db.open(rig.storePath), qPrintable(db.error()));
        QCOMPARE(metaValue(rig.storePath, QStringLiteral("schema_version")), QStringLiteral("2"));
        QCOMPARE(metaValue(rig.storePath, QStringLiteral("machine")), ResultsDatabase::ThisMachine());
        VerifyOutcome outcome = db.verify();
        QVERIFY2(outcome.intact, qPrintable(outcome.broken));
        const auto report = db.reconcile(file, StoreRig::rows(file), QStringLiteral("reconcile"), true);
        QVERIFY(report);
        QCOMPARE(report->added, 0);
        QCOMPARE(report->placedAgain, 1);
        QCOMPARE(storedUuids(db), before);
        outcome = db.verify();
        QVERIFY2(outcome.intact && outcome.results == 4, qPrintable(outcome.broken));
    }

    // A store copied to a second computer (a cloned disc) is refused for writing there, saying what
    // to do; it can still be read.
    void copiedStoreIsRefusedOnAnotherComputer() {
        StoreRig rig;
        const QString file = rig.dataFile(QStringLiteral("run.dat"), 2);
        {
            ResultsDatabase db;
            QVERIFY(db.open(rig.storePath));
            QVERIFY(db.reconcile(file, StoreRig::rows(file), QStringLiteral("import"), false));
        }
        QCOMPARE(metaValue(rig.storePath, QStringLiteral("machine")), ResultsDatabase::ThisMachine());
        QVERIFY(
            rig.tamper(QStringLiteral("UPDATE meta SET value = '0f1e2d3c4b5a69788796a5b4c3d2e1f0|LAB-PC-2' "
                                      "WHERE key = 'machine'")));
        ResultsDatabase db;
        QVERIFY(!db.open(rig.storePath));
        QVERIFY2(db.error().contains(QStringLiteral("belongs to the computer \"LAB-PC-2\"")) &&
                     db.error().contains(QStringLiteral("--db-restore")),
                 qPrintable(db.error()));
        QVERIFY(db.openReadOnly(rig.storePath));
        const VerifyOutcome outcome = db.verify();
        QVERIFY2(outcome.intact && outcome.results == 2, qPrintable(outcome.broken));
        QVERIFY(!db.addEvent(T::EventOption, QStringLiteral("x"), {}, {}));
    }

    // Text the data file cannot hold is stored as the file holds it: the next comparison finds the
    // program's own row unchanged.
    void storeHoldsWhatTheFileHolds() {
        StoreRig rig;
        const QString file = rig.dataFile(QStringLiteral("cn.dat"), 0);
        QStringList fields = SheetRig::result(1);
        fields[16] += QStringLiteral(" operator:王芳 sample:中文");
        QFile out(file);
        QVERIFY(out.open(QIODevice::Append));
        out.write(SheetRig::line(fields));
        out.close();
        ResultsDatabase db;
        QVERIFY(db.open(rig.storePath));
        StoredResult r;
        r.uuid = ResultIdentity::of(fields);
        r.dataFile = file;
        r.rowNumber = 1;
        r.fields = fields;
        r.context.operatorName = QStringLiteral("王芳");
        r.context.sample = QStringLiteral("中文");
        r.origin = QStringLiteral("test");
        QVERIFY(db.addResult(r));
        const auto report = db.reconcile(file, StoreRig::rows(file), QStringLiteral("reconcile"), true);
        QVERIFY(report);
        QVERIFY2(report->changes.isEmpty(), qPrintable(report->changes.join(QLatin1Char('\n'))));
        QCOMPARE(report->added, 0);
        QString sample;
        db.forEachResult({}, [&sample](const ResultView& view) {
            sample = view.text(QStringLiteral("sample"));
            return true;
        });
        QCOMPARE(sample, QStringLiteral("??"));
        QCOMPARE(db.count(QStringLiteral("results")), 1);
    }

    // From the command line: the store is the account's alone, a read-only store is verified and
    // exported without a byte changed, and an import that finds rows changed outside says so in its
    // exit code.
    void commandsOnPrivateAndReadOnlyStores() {
        StoreRig rig;
        const QString settings = rig.dir.filePath(QStringLiteral("STAVELY.ini"));
        const QString store = rig.dir.filePath(QStringLiteral("STAVELY-results.sqlite"));
        const QString file = rig.dataFile(QStringLiteral("run.dat"), 6);
        ProgramRun run =
            runProgram({QStringLiteral("--settings"), settings, QStringLiteral("--db-import"), file});
        QCOMPARE(run.exitCode, 0);
#ifdef Q_OS_UNIX
        // Neither the group nor others may read it (0600).
        const QFileDevice::Permissions mode = QFileInfo(store).permissions();
        QVERIFY(mode.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(int(mode & 0x0077), 0);
#endif
        // Row 2's stress changed by another program.
        QByteArray bytes = SheetRig::header();
        for (int n = 1; n <= 6; ++n) {
            QStringList fields = SheetRig::result(n);
            if (n == 2)
                fields[3] = QStringLiteral("4999");
            bytes += SheetRig::line(fields);
        }
        QFile over(file);
        QVERIFY(over.open(QIODevice::WriteOnly));
        over.write(bytes);
        over.close();
        run = runProgram({QStringLiteral("--settings"), settings, QStringLiteral("--db-import"), file});
        QCOMPARE(run.exitCode, 4);
        QVERIFY2(run.out.contains(QStringLiteral("row 2: ") + T::EventChangedOutside), qPrintable(run.out));

        QVERIFY(QFile::setPermissions(store, QFileDevice::ReadOwner));
        const QByteArray was = fileSha(store);
        run = runProgram({QStringLiteral("--settings"), settings, QStringLiteral("--audit-verify")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("Audit trail intact: 7 entries, 6 results\n"));
        const QString csv = rig.dir.filePath(QStringLiteral("out.csv"));
        run = runProgram({QStringLiteral("--settings"), settings, QStringLiteral("--db-export"), csv});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(fileSha(store), was);
        // Writing is refused, with advice that keeps the trail.
        run = runProgram({QStringLiteral("--settings"), settings, QStringLiteral("--db-import"), file});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("--db-restore")) &&
                     !run.err.contains(QStringLiteral("--db-import DATAFILE")),
                 qPrintable(run.err));
        QFile::setPermissions(store, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
};

STAVELY_TEST(StoreIdentityTest)
#include "StoreIdentityTest.moc"
