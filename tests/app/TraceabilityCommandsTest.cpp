#include "store/TraceabilityTexts.h"
#include "tests/results/SheetRig.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/TestRegistry.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace Tr = TraceabilityTexts;

// Users and signatures through the real executable: passwords on standard input, the store beside a
// settings file of the test's own.
class TraceabilityCommandsTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

    struct Run {
        int exitCode = -1;
        QByteArray out, err;
    };
    Run run(QStringList arguments, const QByteArray& input = {}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        p.setProcessEnvironment(env);
        arguments << QStringLiteral("--settings") << m_dir.filePath(QStringLiteral("lab/STAVELY.ini"));
        p.start(programPath(), arguments);
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(60000))
            return {};
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
                p.readAllStandardError()};
    }

private slots:
    void initTestCase() {
        if (!QFileInfo::exists(programPath()))
            QSKIP("the stavely executable is not built");
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("lab"))));
    }

    // An administrator sets up a reviewer, who signs a batch; a wrong password is refused with 6 and
    // recorded; a comment changed afterwards breaks the signature, named by its row; and no password
    // is found in any file the program wrote.
    void signBatchThenBreakIt() {
        const QString dataFile = m_dir.filePath(QStringLiteral("batch7.dat"));
        {
            QFile f(dataFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(SheetRig::file(4));
        }
        const QByteArray admin = "Kestrel-4417", reviewer = "pale blue capstan";
        Run r = run({QStringLiteral("--users")});
        QCOMPARE(r.exitCode, 2); // no store yet: a listing creates none
        QCOMPARE(run({QStringLiteral("--db-import"), dataFile}).exitCode, 0);
        r = run({QStringLiteral("--users")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.startsWith("No users: sign-in is off"));

        struct Step {
            QStringList arguments;
            QByteArray input;
            int exitCode;
            QByteArray says; // on out for 0, else on err
        };
        const QList<Step> steps = {
            {{"--user-add", "ann", "--role", "operator"},
             admin + "\n" + admin + "\n",
             0,
             "User ann added (admin): the first user"},
            {{"--user-add", "rob", "--role", "reviewer"},
             reviewer + "\n" + reviewer + "\n",
             6,
             Tr::NeedsAdmin.toUtf8()},
            {{"--user-add", "rob", "--role", "reviewer", "--as", "ann"},
             admin + "\n" + reviewer + "\nx\n",
             2,
             Tr::PasswordsDiffer.toUtf8()},
            {{"--user-add", "rob", "--role", "reviewer", "--as", "ann"},
             admin + "\r\n" + reviewer + "\r\n" + reviewer + "\r\n",
             0,
             "User rob added (reviewer)"},
            {{"--user-add", "olga", "--role", "operator", "--as", "ann"},
             admin + "\nshort\nshort\n",
             2,
             Tr::ShortPassword.arg(8).toUtf8()},
            {{"--sign", dataFile, "--as", "rob", "--meaning", "approved"},
             "pale blue capstam\n",
             6,
             Tr::WrongPassword.arg(QStringLiteral("rob")).arg(4).toUtf8()},
            {{"--sign", dataFile, "--as", "ann", "--meaning", "signed"}, admin + "\n", 2, "--meaning is"},
            {{"--sign", dataFile, "--as", "rob", "--meaning", "approved", "--note", "batch 7 released"},
             reviewer + "\n",
             0,
             "Signed: "},
            {{"--signatures", dataFile}, {}, 0, "\tapproved\tby rob\t4 results\tsha256 "},
        };
        for (const Step& step : steps) {
            r = run(step.arguments, step.input);
            const QByteArray& said = step.exitCode == 0 ? r.out : r.err;
            QVERIFY2(r.exitCode == step.exitCode && said.contains(step.says),
                     qPrintable(step.arguments.join(QLatin1Char(' ')) + QStringLiteral(": ") +
                                QString::number(r.exitCode) + QLatin1Char(' ') +
                                QString::fromUtf8(r.out + r.err)));
            // Prompts name the user, never echo a password.
            QVERIFY(!r.err.contains(admin) && !r.err.contains(reviewer) && !r.out.contains(admin));
        }
        r = run({QStringLiteral("--users")});
        QVERIFY2(r.out.contains("ann\tadmin\t") && r.out.contains("rob\treviewer\t"), r.out.constData());

        // Row 3's comment edited in the file and taken in: the signature stands, broken by that change.
        {
            QFile f(dataFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QByteArray bytes = SheetRig::header();
            for (int n = 1; n <= 4; ++n)
                bytes += SheetRig::line(SheetRig::result(n, n == 3 ? QStringLiteral("ignore") : QString()));
            f.write(bytes);
        }
        // Taken in, and told as a change made outside the program.
        QCOMPARE(run({QStringLiteral("--db-import"), dataFile}).exitCode, 4);
        r = run({QStringLiteral("--signatures"), dataFile});
        QCOMPARE(r.exitCode, 4);
        QVERIFY2(r.out.contains("broken by the change of row 3 on ") &&
                     r.out.contains("row changed outside the program"),
                 r.out.constData());
        // The report's signature block says so too.
        const QString pdf = m_dir.filePath(QStringLiteral("batch7.pdf"));
        QCOMPARE(run({QStringLiteral("--report"), pdf, dataFile}).exitCode, 0);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        if (text.waitForFinished(30000) && text.exitCode() == 0) {
            const QString page = QString::fromUtf8(text.readAllStandardOutput()).simplified();
            QVERIFY2(page.contains(QStringLiteral("Signed electronically: approved by rob, ")) &&
                         page.contains(QStringLiteral("4 results: broken by the change of row 3 on ")),
                     qPrintable(page.right(400)));
        }
        // Signing what the store no longer matches is refused until the file is taken in.
        {
            QFile f(dataFile);
            QVERIFY(f.open(QIODevice::Append));
            f.write(SheetRig::line(SheetRig::result(5)));
        }
        r = run({QStringLiteral("--sign"), dataFile, QStringLiteral("--as"), QStringLiteral("rob"),
                 QStringLiteral("--meaning"), QStringLiteral("reviewed")},
                reviewer + "\n");
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("differs from the results store"));
        r = run({QStringLiteral("--audit-verify")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains("\nSignature of ") &&
                     r.out.contains(" by rob (approved): broken by the change of row 3 on "),
                 r.out.constData());

        QDirIterator it(m_dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        int files = 0;
        while (it.hasNext()) {
            QFile f(it.next());
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            ++files;
            for (const QByteArray& password : {admin, reviewer})
                QVERIFY2(!bytes.contains(password), qPrintable(f.fileName()));
        }
        QVERIFY(files >= 2);
    }
};

STAVELY_TEST(TraceabilityCommandsTest)
#include "TraceabilityCommandsTest.moc"
