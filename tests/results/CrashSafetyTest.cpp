#include "results/DataFile.h"
#include "results/DataLine.h"
#include "results/SafeReplace.h"
#include "tests/results/SheetRig.h"
#include "tests/support/TestRegistry.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <cstdio>
#include <cstdlib>

namespace {
const char* const LoopVariable = "STAVELY_TEST_REWRITE_LOOP";

// Two datasheets of different length and contents that the child writes in turn.
QByteArray contents(bool second) {
    QByteArray bytes = SheetRig::header();
    const int rows = second ? 1500 : 2000;
    for (int n = 1; n <= rows; ++n)
        bytes += SheetRig::line(
            SheetRig::result(n, second ? QStringLiteral("second, \"b\"") : QStringLiteral("first")));
    return bytes;
}

// The child: rewrites the data file over and over until it is killed; says "ready" after the first.
struct RewriteLoop {
    RewriteLoop() {
        const char* path = std::getenv(LoopVariable);
        if (path == nullptr)
            return;
        const QString file = QString::fromLocal8Bit(path);
        const std::array<QByteArray, 2> both{contents(false), contents(true)};
        for (unsigned i = 0;; ++i) {
            if (!SafeReplace::Rewrite(file, DataLine::BackupName(file), both[i % 2]).ok())
                std::_Exit(3);
            if (i == 0) {
                std::puts("ready");
                std::fflush(stdout);
            }
        }
    }
};
const RewriteLoop loop;
} // namespace

// A process killed at any moment while it rewrites the data file leaves the file whole: the old or
// the new contents, never a mixture or a truncated file, and the .BAK likewise.
class CrashSafetyTest : public QObject {
    Q_OBJECT
private slots:
    void killedRewritesLeaveAWholeFile() {
#ifndef Q_OS_UNIX
        QSKIP("killing a child process at random moments is done on POSIX systems");
#endif
        SheetRig rig;
        const QByteArray first = contents(false), second = contents(true);
        const QString file = rig.write(QStringLiteral("crash.dat"), first);
        QRandomGenerator random(20261207);
        int rounds = 0;
        for (; rounds < 25; ++rounds) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QLatin1String(LoopVariable), file);
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForStarted(10000));
            QVERIFY(child.waitForReadyRead(20000));
            QTest::qWait(int(random.bounded(1, 60)));
            child.kill(); // SIGKILL
            QVERIFY(child.waitForFinished(10000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);

            const QByteArray now = rig.read(QStringLiteral("crash.dat"));
            QVERIFY2(now == first || now == second,
                     qPrintable(QStringLiteral("round %1: %2 bytes").arg(rounds).arg(now.size())));
            const QByteArray backup = rig.read(QStringLiteral("crash.BAK"));
            QVERIFY(backup.isEmpty() || backup == first || backup == second);
            DataFileContents parsed;
            QVERIFY(!DataFile::Read(file, parsed));
            QCOMPARE(int(parsed.rows.size()), now == first ? 2000 : 1500);
            QCOMPARE(parsed.badItems, 0);
        }
        QCOMPARE(rounds, 25);
    }
};

STAVELY_TEST(CrashSafetyTest)
#include "CrashSafetyTest.moc"
