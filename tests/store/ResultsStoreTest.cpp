#include "store/ResultsStore.h"
#include "store/DatasheetStoreLink.h"
#include "store/StoreAppender.h"
#include "store/StoreTexts.h"
#include "tests/store/StoreRig.h"
#include "tests/support/TestRegistry.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <functional>

class ResultsStoreTest : public QObject {
    Q_OBJECT
private slots:
    // A datasheet followed into the store, its file read whole or only in part (reading stops in
    // row 64 and 12 rows stay unread, kept in the file behind the rows read): a new result, an
    // edit, a deletion, the file opened again and saved under a new name. Every row of the file is
    // in the store once at its place, each change is one entry, and nothing is taken as changed
    // outside the program.
    void aDataFileIsFollowedRowForRow_data() {
        QTest::addColumn<bool>("inPart");
        QTest::newRow("read whole") << false;
        QTest::newRow("read in part") << true;
    }
    void aDataFileIsFollowedRowForRow() {
        QFETCH(bool, inPart);
        StoreRig rig;
        SheetRig sheet;
        QByteArray bytes = SheetRig::header();
        for (int n = 1; n <= 76; ++n) {
            QStringList fields = SheetRig::result(n);
            if (inPart && n > 38)
                for (int c = 1; c <= 4; ++c)
                    fields[c] = QStringLiteral("x%1").arg(c);
            bytes += SheetRig::line(fields);
        }
        const QString file = sheet.write(QStringLiteral("run.dat"), bytes);
        ResultsStore store(rig.storePath);
        store.start(40);
        DatasheetStoreLink link(sheet.sheet, store, [] { return QStringLiteral("Ann"); });
        QSignalSpy outside(&store, &ResultsStore::changedOutside);
        StoreAppender appender(sheet.sheet, store, [&] {
            StoredResult r;
            r.dataFile = link.dataFile();
            r.rowNumber = link.lastRowPlace();
            return r;
        });
        auto open = [&] {
            if (inPart)
                sheet.op.answer(MsgResult::No); // CORRUPTED DATA? No: the rows read are used
            return sheet.sheet.file2grd(file);
        };
        QVERIFY(open());
        QCOMPARE(sheet.sheet.readInPart(), inPart);
        QVERIFY(appender.AppendResult(SheetRig::result(77)));
        sheet.sheet.SetComment(1, QStringLiteral("ignore: slipped"), QString());
        sheet.op.answer(1);
        sheet.op.answer(2);
        sheet.commands.DeleteRow(3);
        QVERIFY(open());
        sheet.op.answer(sheet.path(QStringLiteral("copy.dat")));
        sheet.op.answer(MsgResult::Ok);
        sheet.commands.SaveAs();
        QTRY_COMPARE(store.waiting(), 0);
        store.finish();

        QCOMPARE(outside.size(), 0);
        ResultsDatabase db;
        QVERIFY(db.open(rig.storePath));
        QCOMPARE(db.count(QStringLiteral("results")), 77);
        QCOMPARE(StoreRig::rowsOnce(db, file), QString());
        // The copy holds the same results: comparing it with the store finds nothing to take in or tell.
        const QString copy = sheet.path(QStringLiteral("copy.dat"));
        const auto again = db.reconcile(DatasheetStoreLink::FileKey(copy), StoreRig::rows(copy),
                                        QStringLiteral("reconcile"), false);
        QVERIFY(again && again->added == 0);
        QCOMPARE(again->changes, QStringList());
        const VerifyOutcome outcome = db.verify();
        QVERIFY2(outcome.intact, qPrintable(outcome.broken));
        QMap<QString, int> kinds;
        {
            QSqlDatabase read = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("kinds"));
            read.setDatabaseName(rig.storePath);
            QVERIFY(read.open());
            QSqlQuery q(QStringLiteral("SELECT kind, count(*) FROM events GROUP BY kind"), read);
            while (q.next())
                kinds.insert(q.value(0).toString(), q.value(1).toInt());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("kinds"));
        QCOMPARE(kinds, (QMap<QString, int>{{StoreTexts::EventAdded, 77},
                                            {StoreTexts::EventIgnore, 1},
                                            {StoreTexts::EventDeleted, 1},
                                            {StoreTexts::EventOpened, 2},
                                            {StoreTexts::EventSavedAs, 1}}));
        // The edited row and the new result, each at its place in the file.
        const auto edited = db.history(link.dataFile(), 2);
        QVERIFY(edited && edited->size() == 2);
        QCOMPARE(edited->at(1).kind, StoreTexts::EventIgnore);
        QCOMPARE(edited->at(1).operatorName, QStringLiteral("Ann"));
        const auto added = db.history(DatasheetStoreLink::FileKey(file), 76);
        QVERIFY(added && !added->isEmpty());
        QCOMPARE(added->at(0).after, QStringLiteral("test"));
    }

    // Every open that finds rows changed outside the program tells the operator once, naming them:
    // a stress changed, a row deleted, both, a row put in, one open with nothing changed, twice each.
    void everyOutsideChangeIsTold() {
        StoreRig rig;
        SheetRig sheet;
        QList<QStringList> rows;
        for (int n = 1; n <= 12; ++n)
            rows << SheetRig::result(n);
        auto write = [&] {
            QByteArray bytes = SheetRig::header();
            for (const QStringList& fields : rows)
                bytes += SheetRig::line(fields);
            return sheet.write(QStringLiteral("run.dat"), bytes);
        };
        const QString file = write();
        ResultsStore store(rig.storePath);
        store.start(40);
        DatasheetStoreLink link(sheet.sheet, store);
        QSignalSpy outside(&store, &ResultsStore::changedOutside);
        QVERIFY(sheet.sheet.file2grd(file));
        QTRY_COMPARE(store.waiting(), 0);
        int stress = 5000;
        // Each edit, and whether it changes a row the store knows.
        const std::vector<std::pair<std::function<void()>, bool>> edits = {
            {[&] { rows[1][3] = QString::number(++stress); }, true},
            {[&] { rows.removeAt(4); }, true},
            {[&] {
                 rows[2][3] = QString::number(++stress);
                 rows.removeAt(6);
             },
             true},
            {[&] { rows.insert(3, SheetRig::result(40 + stress % 10)); }, true},
            {[] {}, false},
        };
        int told = 0;
        for (int round = 0; round < 2; ++round)
            for (const auto& [edit, changes] : edits) {
                edit();
                write();
                QVERIFY(sheet.sheet.file2grd(file));
                QTRY_COMPARE(store.waiting(), 0);
                if (changes) {
                    ++told;
                    QTRY_COMPARE(outside.size(), told);
                    QVERIFY(!outside.back().at(1).toStringList().isEmpty());
                } else {
                    QTest::qWait(100);
                    QCOMPARE(outside.size(), told);
                }
            }
        store.finish();
    }

    // The program ends right after opening a long data file the store has not seen: the comparison is
    // abandoned whole, nothing half taken in, and the next opening takes every row once.
    void endingAbandonsAFirstComparison() {
        StoreRig rig;
        const QString file = rig.dataFile(QStringLiteral("long.dat"), 20000);
        const std::vector<DataRow> rows = StoreRig::rows(file);
        QCOMPARE(rows.size(), size_t(20000));
        {
            ResultsStore store(rig.storePath);
            store.start(40);
            store.dataFileOpened(file, rows);
            QTest::qWait(20);
            store.finish(2000);
        }
        {
            ResultsDatabase db;
            QVERIFY(db.open(rig.storePath));
            QCOMPARE(db.count(QStringLiteral("results")), 0);
        }
        ResultsStore store(rig.storePath);
        store.start(40);
        store.dataFileOpened(file, rows);
        QTRY_COMPARE_WITH_TIMEOUT(store.waiting(), 0, 60000);
        store.finish();
        ResultsDatabase db;
        QVERIFY(db.open(rig.storePath));
        QCOMPARE(StoreRig::rowsOnce(db, file), QString());
        const VerifyOutcome outcome = db.verify();
        QVERIFY2(outcome.intact && outcome.results == 20000, qPrintable(outcome.broken));
    }

    // A store that cannot be written is told once on the status bar; the rows wait and are written,
    // each once, when the store can be used again.
    void failureIsToldOnceAndRetried() {
        StoreRig rig;
        QFile notStore(rig.storePath);
        QVERIFY(notStore.open(QIODevice::WriteOnly));
        notStore.write("N,Lt (N)\r\n");
        notStore.close();
        SheetRig sheet;
        const QString file = sheet.write(QStringLiteral("run.dat"), SheetRig::file(0));
        QVERIFY(sheet.sheet.file2grd(file));
        ResultsStore store(rig.storePath);
        QSignalSpy status(&store, &ResultsStore::statusMessage);
        store.start(40);
        StoreAppender appender(sheet.sheet, store, [&] {
            StoredResult r;
            r.dataFile = file;
            r.rowNumber = sheet.sheet.resultRows();
            return r;
        });
        for (int n = 1; n <= 3; ++n)
            QVERIFY(appender.AppendResult(SheetRig::result(n)));
        QTRY_COMPARE(status.size(), 1);
        QVERIFY(status.at(0).at(0).toString().contains(QStringLiteral("not a results store")));
        QTest::qWait(300); // several retries, no further word
        QCOMPARE(status.size(), 1);
        QCOMPARE(store.waiting(), 3);

        QVERIFY(QFile::remove(rig.storePath));
        QSignalSpy drained(&store, &ResultsStore::drained);
        QTRY_VERIFY2(drained.size() > 0,
                     qPrintable(QString::number(store.waiting()) + status.last().at(0).toString()));
        QCOMPARE(status.size(), 2);
        QCOMPARE(status.at(1).at(0).toString(), StoreTexts::StatusRecovered.arg(3));
        store.finish();
        ResultsDatabase db;
        QVERIFY(db.open(rig.storePath));
        QCOMPARE(StoreRig::rowsOnce(db, file), QString());
        QVERIFY(db.verify().intact);
    }

    // The result goes to the data file and back to the test at once, even while another program
    // holds the store locked; the store catches up when the lock goes.
    void appendsNeverWaitForTheStore() {
        StoreRig rig;
        SheetRig sheet;
        const QString file = sheet.write(QStringLiteral("run.dat"), SheetRig::file(0));
        QVERIFY(sheet.sheet.file2grd(file));
        {
            ResultsDatabase create;
            QVERIFY(create.open(rig.storePath));
        }
        QSqlDatabase lock = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lock"));
        lock.setDatabaseName(rig.storePath);
        QVERIFY(lock.open());
        QSqlQuery hold(lock);
        QVERIFY(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));

        ResultsStore store(rig.storePath);
        store.start(40);
        StoreAppender appender(sheet.sheet, store, [&] {
            StoredResult r;
            r.dataFile = file;
            r.rowNumber = sheet.sheet.resultRows();
            return r;
        });
        QElapsedTimer slowest;
        qint64 worst = 0;
        for (int n = 1; n <= 20; ++n) {
            slowest.start();
            QVERIFY(appender.AppendResult(SheetRig::result(n)));
            worst = std::max(worst, slowest.elapsed());
        }
        QVERIFY2(worst < 200, qPrintable(QString::number(worst)));
        QCOMPARE(StoreRig::rows(file).size(), size_t(20));
        QTest::qWait(200);
        QVERIFY(store.waiting() > 0);
        QVERIFY(hold.exec(QStringLiteral("ROLLBACK")));
        hold = QSqlQuery();
        lock.close();
        lock = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("lock"));
        QTRY_VERIFY_WITH_TIMEOUT(store.waiting() == 0, 30000);
        store.finish();
        ResultsDatabase db;
        QVERIFY(db.open(rig.storePath));
        QCOMPARE(StoreRig::rowsOnce(db, file), QString());
    }
};

STAVELY_TEST(ResultsStoreTest)
#include "ResultsStoreTest.moc"
