#include "store/ResultsStore.h"
#include "store/StoreAppender.h"
#include "store/StoreTexts.h"
#include "tests/store/StoreRig.h"
#include "tests/support/TestRegistry.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

class ResultsStoreTest : public QObject {
    Q_OBJECT
private slots:
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
