#include "results/DataFile.h"
#include "results/DataLine.h"
#include "results/SafeReplace.h"
#include "tests/results/SheetRig.h"
#include "tests/support/TestRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <cstdio>
#include <cstdlib>

namespace {
const char* const LoopVariable = "STAVELY_TEST_REWRITE_LOOP";
const char* const AppendVariable = "STAVELY_TEST_APPEND_LOOP";

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

// The child: appends the next results to the data file, one synced line at a time, until it is
// killed; says "ready" after the first.
struct AppendLoop {
    AppendLoop() {
        const char* path = std::getenv(AppendVariable);
        if (path == nullptr)
            return;
        const QString file = QString::fromLocal8Bit(path);
        DataFileContents now;
        if (DataFile::Read(file, now))
            std::_Exit(3);
        for (int n = int(now.rows.size()) + 1;; ++n) {
            if (SafeReplace::AppendSynced(file, SheetRig::line(SheetRig::result(n))))
                std::_Exit(4);
            if (n == int(now.rows.size()) + 1) {
                std::puts("ready");
                std::fflush(stdout);
            }
        }
    }
};
const AppendLoop appendLoop;

// Starts this test program as a child that runs one of the loops above on `file`.
bool startChild(QProcess& child, const char* variable, const QString& file) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(variable), file);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    return child.waitForStarted(10000) && child.waitForReadyRead(20000);
}
} // namespace

// A process killed at any moment while it rewrites the data file leaves the file whole: the old or
// the new contents, never a mixture or a truncated file, and a whole .BAK at every moment once
// there has been one. Appends killed at any moment leave whole rows only.
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
        for (; rounds < 40; ++rounds) {
            QProcess child;
            QVERIFY(startChild(child, LoopVariable, file));
            QTest::qWait(int(random.bounded(1, 60)));
            child.kill(); // SIGKILL
            QVERIFY(child.waitForFinished(10000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);

            const QByteArray now = rig.read(QStringLiteral("crash.dat"));
            QVERIFY2(now == first || now == second,
                     qPrintable(QStringLiteral("round %1: %2 bytes").arg(rounds).arg(now.size())));
            const QByteArray backup = rig.read(QStringLiteral("crash.BAK"));
            QVERIFY2(backup == first || backup == second,
                     qPrintable(QStringLiteral("round %1: .BAK of %2 bytes").arg(rounds).arg(backup.size())));
            DataFileContents parsed;
            QVERIFY(!DataFile::Read(file, parsed));
            QCOMPARE(int(parsed.rows.size()), now == first ? 2000 : 1500);
            QCOMPARE(parsed.badItems, 0);
        }
        QCOMPARE(rounds, 40);

        // What the kills left beside the file goes when it is opened as the data file.
        rig.sheet.file2grd(file);
        const QStringList left =
            QDir(rig.dir.path()).entryList({QStringLiteral(".crash.*")}, QDir::Files | QDir::Hidden);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    }

    void killedAppendsLeaveWholeRows() {
#ifndef Q_OS_UNIX
        QSKIP("killing a child process at random moments is done on POSIX systems");
#endif
        SheetRig rig;
        const QString file = rig.write(QStringLiteral("append.dat"), SheetRig::file(0));
        QRandomGenerator random(20261208);
        // A kill can cut the line being appended where it crosses a page of the file (the kernel
        // ends a write between pages when the process is killed). Nothing can make that write whole;
        // what must hold is that the fragment stays on its own (read as a row with bad items, never
        // joined to the next) and every whole row is intact and in order. `expected` is the file as
        // the kills so far must have left it; `rows` counts its lines, fragments included, as the
        // reader numbers them.
        QByteArray expected = SheetRig::file(0);
        int rows = 0, fragments = 0;
        auto nextWrite = [&] {
            const QByteArray separator = expected.endsWith('\n') ? QByteArray() : QByteArray("\r\n");
            return separator + SheetRig::line(SheetRig::result(rows + 1));
        };
        for (int round = 0; round < 200; ++round) {
            QProcess child;
            QVERIFY(startChild(child, AppendVariable, file));
            QTest::qWait(int(random.bounded(0, 12)));
            child.kill(); // SIGKILL
            QVERIFY(child.waitForFinished(10000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);

            const QString where = QStringLiteral("round %1, %2 rows").arg(round).arg(rows);
            const QByteArray now = rig.read(QStringLiteral("append.dat"));
            QVERIFY2(now.startsWith(expected), qPrintable(where));
            QByteArray rest = now.mid(expected.size());
            const int before = rows;
            for (QByteArray next = nextWrite(); rest.startsWith(next); next = nextWrite()) {
                expected += next;
                rest.remove(0, next.size());
                ++rows;
            }
            const QByteArray next = nextWrite();
            QVERIFY2(rest.size() < next.size() && next.startsWith(rest), qPrintable(where));
            if (!rest.isEmpty()) {
                const bool content =
                    rest.size() > next.size() - SheetRig::line(SheetRig::result(rows + 1)).size();
                expected += rest;
                if (content) {
                    ++rows;
                    ++fragments;
                }
            }
            QVERIFY2(rows > before || !rest.isEmpty(), qPrintable(where));

            DataFileContents parsed;
            QVERIFY(!DataFile::Read(file, parsed));
            QCOMPARE(int(parsed.rows.size()), rows);
            QVERIFY2(parsed.badItems <= fragments, qPrintable(where));
        }
        qInfo("%d rows appended, %d of them cut by the kill", rows - fragments, fragments);
    }
};

STAVELY_TEST_PARTS(CrashSafetyTest, {{"rewrites", {"killedRewritesLeaveAWholeFile"}},
                                     {"appends", {"killedAppendsLeaveWholeRows"}}})
#include "CrashSafetyTest.moc"
