#include "experiments/CalibrationFile.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
#ifdef Q_OS_UNIX
// A named pipe, with a writer that turns up after a while and goes again: a reader that waits on
// the pipe is set free then (and reads nothing), so a fault shows as slowness, not as a hung test.
class Pipe {
public:
    explicit Pipe(const QString& path) : m_path(QFile::encodeName(path)) {
        ::mkfifo(m_path.constData(), 0600);
        m_writer = std::thread([this] {
            for (int i = 0; i < 30 && !m_done; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        });
    }
    ~Pipe() {
        m_done = true;
        m_writer.join();
    }
    bool stillAPipe() const {
        struct stat st {};
        return ::stat(m_path.constData(), &st) == 0 && S_ISFIFO(st.st_mode);
    }

private:
    QByteArray m_path;
    std::atomic<bool> m_done{false};
    std::thread m_writer;
};
#endif

const QByteArray Settings = "[STAVELY]\r\nFiberDiameter=80\r\nBreakSound=\"ding.wav\r\nGaugeLength=300\r\n"
                            "Modulus=70\r\n";

QByteArray utf16(const QByteArray& text) {
    QByteArray bytes("\xFF\xFE");
    for (const char c : text)
        bytes += QByteArray(1, c) + QByteArray(1, '\0');
    return bytes;
}
} // namespace

// Settings and configuration files that must not be trusted as they are: pipes and devices are
// never waited on, binary or UTF-16 settings are said to be unreadable and reset, a quotation mark
// left open does not swallow the lines after it.
class UntrustedFilesTest : public QObject {
    Q_OBJECT
private slots:
    void settingsFilesThatCannotBeReadAsTheyAre_data() {
        QTest::addColumn<QByteArray>("bytes"); // empty: a named pipe
        QTest::addColumn<QString>("said");     // the start of what the operator is told
        QTest::addColumn<double>("fiber");     // FiberDiameter after loading
        QTest::addColumn<double>("gauge");     // GaugeLength after loading
        QTest::newRow("quote left open") << Settings << "In the settings file\r\n" << 80.0 << 300.0;
        QTest::newRow("UTF-16") << utf16(Settings) << "The settings file\r\n" << 125.0 << 500.0;
        QTest::newRow("binary") << QByteArray("[STAVELY]\r\nFiber\0\x01\x02\x03"
                                              "Diameter=80\r\n",
                                              33)
                                << "The settings file\r\n"
                                << 125.0 << 500.0;
        QTest::newRow("named pipe") << QByteArray() << "The settings file\r\n" << 125.0 << 500.0;
    }
    void settingsFilesThatCannotBeReadAsTheyAre() {
#ifndef Q_OS_UNIX
        QSKIP("named pipes are made with POSIX calls");
#else
        QFETCH(QByteArray, bytes);
        QFETCH(QString, said);
        QFETCH(double, fiber);
        QFETCH(double, gauge);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Corvane.ini"));
        std::unique_ptr<Pipe> pipe;
        if (bytes.isEmpty()) {
            pipe = std::make_unique<Pipe>(file);
        } else {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes);
        }
        QElapsedTimer clock;
        clock.start();
        Parameters p;
        ScriptedOperator op;
        {
            SettingsStore store(file);
            ParameterTable table(p, store, op);
            table.LoadParameters();
            op.answer(MsgResult::Ok);
            table.ReportLoadResets();
            table.SaveParameters();
        }
        QVERIFY2(clock.elapsed() < 2000, "waited on the settings file");
        QCOMPARE(p.FiberDiameter, fiber);
        QCOMPARE(p.GaugeLength, gauge);
        QCOMPARE(p.BreakSound, QStringLiteral("Beep"));
        QCOMPARE(op.prompts.size(), 1);
        QCOMPARE(op.last().title, QStringLiteral("SETTINGS RESET"));
        QVERIFY2(op.last().text.startsWith(said + file), qPrintable(op.last().text));
        if (pipe) {
            QVERIFY(pipe->stillAPipe());
            return;
        }
        if (QTest::currentDataTag() == QByteArrayLiteral("quote left open")) {
            QVERIFY2(op.last().text.contains(QStringLiteral("line 3 (BreakSound)")),
                     qPrintable(op.last().text));
            return;
        }
        // The unreadable file is kept aside, untouched; the settings file is a sound one again.
        QFile aside(file + QStringLiteral(".unreadable"));
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), bytes);
        QVERIFY(op.last().text.endsWith(aside.fileName()));
        SettingsStore again(file);
        QVERIFY(again.problems().isEmpty());
        QCOMPARE(again.getText(QStringLiteral("STAVELY"), QStringLiteral("GaugeLength"), {}),
                 QStringLiteral("500"));
#endif
    }

    // A configuration or calibration file named by the operator that is a pipe is refused at once.
    void filesNamedByTheOperatorThatAreNoFiles() {
#ifndef Q_OS_UNIX
        QSKIP("named pipes are made with POSIX calls");
#else
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("lab.cfg"));
        const Pipe pipe(file);
        Parameters p;
        ScriptedOperator op;
        SettingsStore store(dir.filePath(QStringLiteral("Corvane.ini")));
        ParameterTable table(p, store, op);
        QElapsedTimer clock;
        clock.start();
        op.answer(MsgResult::Ok);
        table.ReadConfigFile(file);
        QCOMPARE(op.last().text, QStringLiteral("Cannot read configuration file:\r\n") + file +
                                     QStringLiteral("\r\nIt is a device or other special file, not a file"));
        op.answer(file);
        op.answer(MsgResult::Ok);
        table.WriteConfigFile(false);
        QCOMPARE(op.last().text, QStringLiteral("Cannot write configuration file:\r\n") + file +
                                     QStringLiteral("\r\nIt is a device or other special file, not a file"));
        const QString cal = dir.filePath(QStringLiteral("cell0.cal"));
        const Pipe calPipe(cal);
        QString error;
        QVERIFY(!CalibrationFile::read(cal, &error));
        QCOMPARE(error, QStringLiteral("It is a device or other special file, not a file"));
        QVERIFY2(clock.elapsed() < 2000, "waited on a pipe");
        QVERIFY(pipe.stillAPipe());
#endif
    }
};

STAVELY_TEST(UntrustedFilesTest)
#include "UntrustedFilesTest.moc"
