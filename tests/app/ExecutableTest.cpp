#include "tests/support/FlowHelpers.h"
#include "tests/support/TestRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>

namespace {
// Whether a running instance answers on the per-user name inside this temporary folder.
bool instanceAnswers(const QString& tempDir) {
    QLocalSocket socket;
    socket.connectToServer(tempDir + QStringLiteral("/Corvane-STAVELY-") + QString::number(::getuid()));
    return socket.waitForConnected(500);
}
} // namespace

// The real program, twice, in child processes: the second start ends, the first keeps running.
class ExecutableTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QList<QProcess*> m_started;

    QProcess* launch(const QProcessEnvironment& env) {
        auto* process = new QProcess(this);
        process->setProcessEnvironment(env);
        // On the built-in instrument, so that what start-up finds does not depend on this machine's ports.
        process->start(programPath(), {QStringLiteral("--simulate")});
        m_started << process;
        return process;
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("TMPDIR"), m_dir.path()); // keeps the instance name away from real runs
        env.insert(QStringLiteral("STAVELY_UNATTENDED"), QStringLiteral("1"));
        return env;
    }

private slots:
    void initTestCase() {
        if (!QFileInfo::exists(programPath()))
            QSKIP("the stavely executable is not built");
        QVERIFY(m_dir.isValid());
    }

    void cleanup() {
        for (QProcess* p : std::as_const(m_started)) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        qDeleteAll(m_started);
        m_started.clear();
    }

    void secondStartEndsFirstRunsOn() {
        QProcess* first = launch(environment());
        QVERIFY(first->waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(instanceAnswers(m_dir.path()), 20000);

        QProcess* second = launch(environment());
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 1);
        const QString said = QString::fromLocal8Bit(second->readAllStandardError());
        QVERIFY2(said.contains(
                     QStringLiteral("msgBox [THIS INSTANCE OF STAVELY IS CLOSING] Only one instance of "
                                    "STAVELY is permitted\\r\\n at a time. This instance is terminating.")),
                 qPrintable(said));

        QTest::qWait(300);
        QCOMPARE(first->state(), QProcess::Running);
        QVERIFY(instanceAnswers(m_dir.path()));
        QVERIFY(!QString::fromLocal8Bit(first->readAllStandardError()).contains(QStringLiteral("CLOSING")));
    }

    // A killed instance leaves its name behind; the next start must not be blocked by it.
    void startAfterACrashedInstance() {
        QProcess* crashed = launch(environment());
        QTRY_VERIFY_WITH_TIMEOUT(instanceAnswers(m_dir.path()), 20000);
        crashed->kill();
        QVERIFY(crashed->waitForFinished(5000));
        QVERIFY(!instanceAnswers(m_dir.path()));

        QProcess* next = launch(environment());
        QTRY_VERIFY_WITH_TIMEOUT(instanceAnswers(m_dir.path()), 20000);
        QCOMPARE(next->state(), QProcess::Running);
    }

    // A shutdown, a logout or Ctrl+C ends the program the orderly way: exit status 0, the simulated
    // instrument's position kept for the next start, no port link left in the temporary folder.
    void terminationSignalsEndInOrder_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void terminationSignalsEndInOrder() {
        QFETCH(int, signal);
        // Runs killed earlier in this class left theirs: only this run's link counts.
        const auto links = [this] {
            return QDir(m_dir.path()).entryList({QStringLiteral("stavely-sim-*")}, QDir::Dirs);
        };
        const QStringList before = links();
        QProcess* process = launch(environment());
        QTRY_VERIFY_WITH_TIMEOUT(instanceAnswers(m_dir.path()), 20000);
        QCOMPARE(links().size(), before.size() + 1);
        ::kill(pid_t(process->processId()), signal);
        QVERIFY(process->waitForFinished(10000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);
        QCOMPARE(links(), before);
        QVERIFY(!instanceAnswers(m_dir.path()));
        bool kept = false;
        QDirIterator files(m_dir.filePath(QStringLiteral("config")), {QStringLiteral("*.ini")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            kept = kept || (file.open(QIODevice::ReadOnly) && file.readAll().contains("[Simulator]"));
        }
        QVERIFY(kept);
    }

    void noDisplayIsOneClearLine() {
        QProcessEnvironment env = environment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        QProcess* process = launch(env);
        QVERIFY(process->waitForFinished(10000));
        QCOMPARE(process->exitCode(), 1);
        const QString said = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
        QVERIFY2(said.startsWith(QStringLiteral("STAVELY needs a graphical display")), qPrintable(said));
        QVERIFY(!said.contains(QLatin1Char('\n')));
    }
};

STAVELY_TEST(ExecutableTest)
#endif
#include "ExecutableTest.moc"
