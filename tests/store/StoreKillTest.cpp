#include "tests/store/StoreRig.h"
#include "tests/support/TestRegistry.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <csignal>

// A process killed at random moments while it records results, edits comments and imports: each
// time the store opens, every row of the data file is in it exactly once, and the chain verifies.
class StoreKillTest : public QObject {
    Q_OBJECT
private slots:
    void killedAtRandomMomentsLosesNothing_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("kills");
        QTest::newRow("results and edits") << "results" << 70;
        QTest::newRow("import") << "import" << 35;
    }
    void killedAtRandomMomentsLosesNothing() {
#ifndef Q_OS_UNIX
        QSKIP("kills a child process with SIGKILL");
#endif
        QFETCH(QString, mode);
        QFETCH(int, kills);
        StoreRig rig;
        const QString dataFile = rig.dataFile(QStringLiteral("run.dat"), 0);
        const QString archive = rig.dataFile(QStringLiteral("archive.dat"), 400);
        QRandomGenerator random(20261208);
        int killedBusy = 0;
        for (int k = 0; k < kills; ++k) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QStringLiteral(STORE_CHURN), {rig.dir.path(), mode});
            QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
            QTest::qWait(int(random.bounded(30, 250)));
            killedBusy += child.state() == QProcess::Running;
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());

            // What the program does when it starts: compare the data file with the store.
            ResultsDatabase db;
            QVERIFY2(db.open(rig.storePath), qPrintable(db.error()));
            const QString file = mode == QStringLiteral("import") ? archive : dataFile;
            QVERIFY(db.reconcile(file, StoreRig::rows(file), QStringLiteral("reconcile"), true));
            const QString rows = StoreRig::rowsOnce(db, file);
            QVERIFY2(rows.isEmpty(), qPrintable(QStringLiteral("after kill %1: %2").arg(k).arg(rows)));
            const VerifyOutcome outcome = db.verify();
            QVERIFY2(outcome.intact,
                     qPrintable(QStringLiteral("after kill %1: %2").arg(k).arg(outcome.broken)));
        }
        // The kills fell while it worked, not after it had given up.
        QCOMPARE(killedBusy, kills);
        if (mode == QStringLiteral("results"))
            QVERIFY(StoreRig::rows(dataFile).size() > size_t(kills));
    }
};

STAVELY_TEST_PARTS(StoreKillTest, {{"results", {"killedAtRandomMomentsLosesNothing:results and edits"}},
                                   {"import", {"killedAtRandomMomentsLosesNothing:import"}}})
#include "StoreKillTest.moc"
