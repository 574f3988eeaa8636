#include "tests/support/FlowHelpers.h"
#include "tests/support/TestRegistry.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {
// Two stress-rate groups with a row marked "ignore" and one without a stress, and a speed group of
// one specimen (too few for Weibull figures).
const char SmallBatch[] =
    "N,Lt (N),Lf (N),s (MPa),e (%),nom rate,v (\xb5"
    "m/s),\xb1"
    ",e. (%/min),\xb1"
    ",s. (MPa/s),\xb1"
    ",t (s),date,time,comments,df GL EA Eo Ea Preload start\r\n"
    "; batch 7\r\n"
    "1,61.1,61.1,4980.5,6.45,60 MPa/s,101,1,3.1,0.1,60.1,0.2,12.1,26/12/07,10:00:01,,125 500 0 72 3 0.5N/100 "
    "26/12/07 10:00:00 30.1mm/1.00\r\n"
    "2,62.3,62.3,5075.2,6.55,60 MPa/s,101,1,3.1,0.1,60.1,0.2,12.1,26/12/07,10:01:01,,125 500 0 72 3 0.5N/100 "
    "26/12/07 10:01:00 30.1mm/1.00\r\n"
    "3,60.2,60.2,4901.7,6.37,60 MPa/s,101,1,3.1,0.1,60.1,0.2,12.1,26/12/07,10:02:01,\"ignore, slipped\",125 "
    "500 0 72 3 0.5N/100 26/12/07 10:02:00 30.1mm/1.00\r\n"
    "4,63.0,63.0,5133.9,6.61,60 MPa/s,101,1,3.1,0.1,60.1,0.2,12.1,26/12/07,10:03:01,,125 500 0 72 3 0.5N/100 "
    "26/12/07 10:03:00 30.1mm/1.00\r\n"
    "5,56.4,56.4,4595.0,5.98,0.6 MPa/s,10,1,0.3,0.1,0.6,0.01,900,26/12/07,10:20:01,,125 500 0 72 3 0.5N/100 "
    "26/12/07 10:05:00 28.1mm/1.00\r\n"
    "6,55.1,55.1,4490.3,5.86,0.6 MPa/s,10,1,0.3,0.1,0.6,0.01,900,26/12/07,10:40:01,,125 500 0 72 3 0.5N/100 "
    "26/12/07 10:25:00 28.1mm/1.00\r\n"
    "7,,,,,0.6 MPa/s,,,,,,,,26/12/07,10:41:01,,125 500 0 72 3 0.5N/100 26/12/07 10:41:00 0.1mm/0.00\r\n"
    "8,57.0,57.0,4644.8,6.03,0.6 MPa/s,10,1,0.3,0.1,0.6,0.01,900,26/12/07,11:00:01,,125 500 0 72 3 0.5N/100 "
    "26/12/07 10:45:00 28.1mm/1.00\r\n"
    "9,61.7,61.7,5027.0,6.50,100 \xb5"
    "m/s,100,1,1.2,0.1,20.1,0.2,30,26/12/07,11:01:01,,125 500 0 72 3 0.5N/100 26/12/07 11:00:30 "
    "30.1mm/1.00\r\n";

// Mean, deviation, median, the estimates and n checked against an independent computation; the
// bounds and the unbiased modulus pin the table of the estimators' distributions.
const char SmallBatchStatistics[] = "specimens\t7\n"
                                    "skipped\t1\n"
                                    "ignored\t1\n"
                                    "impossible\t0\n"
                                    "mean_MPa\t4849.52857142857\n"
                                    "sd_MPa\t263.371750663618\n"
                                    "median_MPa\t4980.5\n"
                                    "min_MPa\t4490.3\n"
                                    "max_MPa\t5133.9\n"
                                    "weibull_m\t25.0764150310867\n"
                                    "weibull_m_unbiased\t19.7568450009035\n"
                                    "weibull_m_low\t11.4408263351303\n"
                                    "weibull_m_high\t35.3792833585761\n"
                                    "weibull_sigma0_MPa\t4962.32394464514\n"
                                    "weibull_m_regression\t18.7030889812729\n"
                                    "weibull_sigma0_regression_MPa\t4976.70593884298\n"
                                    "all_pooled\t1\n"
                                    "fatigue_n\t45.3309956602365\n"
                                    "fatigue_n_se\t6.98998387286795\n"
                                    "fatigue_groups\t2\n"
                                    "fatigue_small_groups\t0\n"
                                    "fatigue_determined\t0\n"
                                    "0.6_MPa/s:specimens\t3\n"
                                    "0.6_MPa/s:skipped\t1\n"
                                    "0.6_MPa/s:ignored\t0\n"
                                    "0.6_MPa/s:impossible\t0\n"
                                    "0.6_MPa/s:mean_MPa\t4576.7\n"
                                    "0.6_MPa/s:sd_MPa\t78.8589246693106\n"
                                    "0.6_MPa/s:median_MPa\t4595\n"
                                    "0.6_MPa/s:min_MPa\t4490.3\n"
                                    "0.6_MPa/s:max_MPa\t4644.8\n"
                                    "0.6_MPa/s:weibull_m\t91.3471542966817\n"
                                    "0.6_MPa/s:weibull_m_unbiased\t40.1711534852724\n"
                                    "0.6_MPa/s:weibull_m_low\t15.7157584154928\n"
                                    "0.6_MPa/s:weibull_m_high\t140.224317230109\n"
                                    "0.6_MPa/s:weibull_sigma0_MPa\t4606.88974305534\n"
                                    "0.6_MPa/s:weibull_m_regression\t55.4641291349045\n"
                                    "0.6_MPa/s:weibull_sigma0_regression_MPa\t4614.25166384591\n"
                                    "60_MPa/s:specimens\t3\n"
                                    "60_MPa/s:skipped\t0\n"
                                    "60_MPa/s:ignored\t1\n"
                                    "60_MPa/s:impossible\t0\n"
                                    "60_MPa/s:mean_MPa\t5063.2\n"
                                    "60_MPa/s:sd_MPa\t77.4008397887256\n"
                                    "60_MPa/s:median_MPa\t5075.2\n"
                                    "60_MPa/s:min_MPa\t4980.5\n"
                                    "60_MPa/s:max_MPa\t5133.9\n"
                                    "60_MPa/s:weibull_m\t98.6309494917329\n"
                                    "60_MPa/s:weibull_m_unbiased\t43.3743014868552\n"
                                    "60_MPa/s:weibull_m_low\t16.9688939566567\n"
                                    "60_MPa/s:weibull_m_high\t151.405455996105\n"
                                    "60_MPa/s:weibull_sigma0_MPa\t5093.33355789801\n"
                                    "60_MPa/s:weibull_m_regression\t62.9687499193966\n"
                                    "60_MPa/s:weibull_sigma0_regression_MPa\t5099.82246881643\n"
                                    "100_\u00b5m/s:specimens\t1\n"
                                    "100_\u00b5m/s:skipped\t0\n"
                                    "100_\u00b5m/s:ignored\t0\n"
                                    "100_\u00b5m/s:impossible\t0\n"
                                    "100_\u00b5m/s:mean_MPa\t5027\n"
                                    "100_\u00b5m/s:median_MPa\t5027\n"
                                    "100_\u00b5m/s:min_MPa\t5027\n"
                                    "100_\u00b5m/s:max_MPa\t5027\n";
} // namespace

// The headless commands of the real executable, without a display.
class HeadlessCommandsTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

    struct Run {
        int exitCode = -1;
        QByteArray out, err;
    };
    // discFull: the disc is full for the program beyond that many bytes of any file it writes.
    void prepare(QProcess& p, const QStringList& arguments, qint64 discFull = 0) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        p.setProcessEnvironment(env);
#ifdef Q_OS_UNIX
        if (discFull > 0)
            p.setChildProcessModifier([discFull] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{rlim_t(discFull), rlim_t(discFull)};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
#else
        Q_UNUSED(discFull);
#endif
        p.setProgram(programPath());
        p.setArguments(arguments);
    }
    Run run(const QStringList& arguments, qint64 discFull = 0) {
        QProcess p;
        prepare(p, arguments, discFull);
        p.start();
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
        QFile file(m_dir.filePath(QStringLiteral("batch7.dat")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(SmallBatch);
    }

    void statsPrintsKeyValueLinesByteForByte() {
        const Run r = run({QStringLiteral("--stats"), m_dir.filePath(QStringLiteral("batch7.dat"))});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(QString::fromUtf8(r.out), QString::fromUtf8(SmallBatchStatistics));
    }

    // The reference sets shipped inside the program agree with their independent figures.
    void verifyStatisticsPrintsEachFigureBesideItsReference() {
        const Run r = run({QStringLiteral("--verify-statistics")});
        QCOMPARE(r.exitCode, 0);
        const QString out = QString::fromUtf8(r.out);
        QVERIFY2(out.endsWith(QStringLiteral("\nAll 21 figures agree.\n")), qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("Source: R. L. Smith and J. C. Naylor")));
        QVERIFY(out.contains(QRegularExpression(QStringLiteral(
            "\n  weibull_m +5\\.78070099415 +5\\.78070099415 +[-+]\\d\\.\\d\\de-\\d\\d  agrees\n"))));
    }

    void unreadableFilesEndWithTwoAndTheReason() {
        const QString missing = m_dir.filePath(QStringLiteral("missing.dat"));
        Run r = run({QStringLiteral("--stats"), missing});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.contains(
            QStringLiteral("Cannot read data file \"%1\": No such file or directory").arg(missing).toUtf8()));
        r = run({QStringLiteral("--report"), m_dir.filePath(QStringLiteral("r.pdf")), m_dir.path()});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("It is a directory, not a file"));
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("r.pdf"))));
        r = run({QStringLiteral("--report"), m_dir.filePath(QStringLiteral("r.pdf"))});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("--report needs a PDF file name and a data file name."));
    }

    // --history names the store it reads, takes a whole file or row 0 (the option changes), and
    // says where the simulator's results are when this store has none of the file's.
    void historyNamesItsStoreAndItsRows() {
        const QString data = m_dir.filePath(QStringLiteral("batch7.dat"));
        const QString settings = m_dir.filePath(QStringLiteral("lab/STAVELY.ini"));
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("lab"))));
        const QString store = m_dir.filePath(QStringLiteral("lab/STAVELY-results.sqlite"));
        QCOMPARE(run({QStringLiteral("--settings"), settings, QStringLiteral("--db-import"), data}).exitCode,
                 0);
        struct Case {
            QStringList arguments;
            int lines; // after the store's line
            QString second;
        };
        const QList<Case> cases{
            {{data, QStringLiteral("2")}, 1, QStringLiteral("\tresult added\trow 2\t")},
            {{data}, 9, QStringLiteral("\tresult added\trow 1\t")},
            {{data, QStringLiteral("0")},
             2,
             QStringLiteral(
                 "Row 0 is no result: these are the option and calibration changes, which belong to "
                 "no row of any data file.")},
        };
        for (const Case& c : cases) {
            const Run r =
                run(QStringList{QStringLiteral("--settings"), settings, QStringLiteral("--history")} +
                    c.arguments);
            QCOMPARE(r.exitCode, 0);
            const QStringList lines = QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QCOMPARE(lines.value(0), QStringLiteral("Results store: ") + store);
            QCOMPARE(lines.size() - 1, c.lines);
            QVERIFY2(lines.value(1).contains(c.second), qPrintable(lines.value(1)));
        }
        const Run negative = run({QStringLiteral("--history"), data, QStringLiteral("-1")});
        QCOMPARE(negative.exitCode, 2);
        QVERIFY(negative.err.contains("--history needs a data file name and may have a row number"));

        // The instrument's store lacks the simulator's rows: it says where they are.
        const QString simulator =
            m_dir.filePath(QStringLiteral("data/Corvane/STAVELY-simulator-results.sqlite"));
        QCOMPARE(run({QStringLiteral("--simulate"), QStringLiteral("--db-import"), data}).exitCode, 0);
        QVERIFY(QFileInfo::exists(simulator));
        const Run there =
            run({QStringLiteral("--simulate"), QStringLiteral("--history"), data, QStringLiteral("3")});
        QCOMPARE(there.out.count('\n'), 2);
        QVERIFY(there.out.startsWith(("Results store: " + simulator + "\n").toUtf8()));
        const Run missing = run({QStringLiteral("--history"), data, QStringLiteral("3")});
        QCOMPARE(missing.exitCode, 2);
        QCOMPARE(QString::fromUtf8(missing.err),
                 QStringLiteral(
                     "No results store at \"%1\" yet. The simulator's results are in %2 (--simulate).\n")
                     .arg(m_dir.filePath(QStringLiteral("data/Corvane/STAVELY-results.sqlite")), simulator));
        const QString other = m_dir.filePath(QStringLiteral("other.dat"));
        QVERIFY(QFile::copy(data, other));
        QCOMPARE(run({QStringLiteral("--db-import"), other}).exitCode, 0);
        const Run elsewhere = run({QStringLiteral("--history"), data, QStringLiteral("3")});
        QCOMPARE(elsewhere.exitCode, 0);
        QCOMPARE(
            QString::fromUtf8(elsewhere.out),
            QStringLiteral(
                "Results store: %1\nNo entries for row 3 of %2 in this store. The simulator's results "
                "are in %3 (--simulate).\n")
                .arg(m_dir.filePath(QStringLiteral("data/Corvane/STAVELY-results.sqlite")), data, simulator));
    }

    void statsPerSample() {
        QFile file(m_dir.filePath(QStringLiteral("samples.dat")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray bytes = SmallBatch;
        int n = 0;
        // Rows 1, 2 and 4 of 60 MPa/s name B7, row 8 of 0.6 MPa/s names C1; the others none.
        QList<QByteArray> lines = bytes.split('\n');
        for (QByteArray& line : lines) {
            if (line.isEmpty() || !std::isdigit(static_cast<unsigned char>(line[0])))
                continue;
            ++n;
            if (n == 1 || n == 2 || n == 4)
                line.replace("\r", " sample:B7_preform_12\r");
            else if (n == 8)
                line.replace("\r", " sample:C1\r");
        }
        file.write(lines.join('\n'));
        file.close();
        const Run plain = run({QStringLiteral("--stats"), file.fileName()});
        const Run r = run({QStringLiteral("--stats"), file.fileName(), QStringLiteral("--per-sample")});
        QCOMPARE(r.exitCode, 0);
        // The batch's lines stay first and as they were.
        QVERIFY(r.out.startsWith(plain.out));
        const QString extra = QString::fromUtf8(r.out.mid(plain.out.size()));
        QVERIFY2(extra.startsWith(QStringLiteral("sample:B7_preform_12:60_MPa/s:specimens\t3\n")),
                 qPrintable(extra));
        QVERIFY(extra.contains(QStringLiteral("sample:B7_preform_12:60_MPa/s:median_MPa\t5075.2\n")));
        QVERIFY(extra.contains(QStringLiteral("sample:C1:0.6_MPa/s:specimens\t1\n")));
        QVERIFY(extra.contains(QStringLiteral("sample:no_sample:0.6_MPa/s:specimens\t2\n")));
        const Run alone = run({QStringLiteral("--per-sample")});
        QCOMPARE(alone.exitCode, 2);
    }

    void reportIsWrittenWithoutADisplay() {
        const QString pdf = m_dir.filePath(QStringLiteral("batch7.pdf"));
        const Run r = run({QStringLiteral("--report"), pdf, m_dir.filePath(QStringLiteral("batch7.dat"))});
        QCOMPARE(r.exitCode, 0);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("%PDF-"));
    }

    // A new report replaces an older one only once it is whole: a full disc ends with 2 and the
    // reason, a kill half-way through a long report leaves the older one, and neither leaves a
    // temporary behind for long (the next report clears what a kill left).
    void anOlderReportSurvivesAFullDiscAndAKill() {
        QByteArray large = QByteArray(SmallBatch).left(QByteArray(SmallBatch).indexOf("; batch 7"));
        const QByteArray row = QByteArray(SmallBatch).mid(QByteArray(SmallBatch).indexOf("\r\n1,") + 2);
        const QByteArray first = row.left(row.indexOf("\r\n") + 2);
        for (int n = 0; n < 20000; ++n)
            large += first;
        QFile data(m_dir.filePath(QStringLiteral("large.dat")));
        QVERIFY(data.open(QIODevice::WriteOnly));
        data.write(large);
        data.close();
        const QString pdf = m_dir.filePath(QStringLiteral("older.pdf"));
        QCOMPARE(
            run({QStringLiteral("--report"), pdf, m_dir.filePath(QStringLiteral("batch7.dat"))}).exitCode, 0);
        auto contents = [](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray older = contents(pdf);
        QVERIFY(older.trimmed().endsWith("%%EOF"));
        auto temporaries = [this] {
            return QDir(m_dir.path()).entryList({QStringLiteral(".older.pdf.*")}, QDir::Files | QDir::Hidden);
        };

#ifdef Q_OS_UNIX
        const Run full = run({QStringLiteral("--report"), pdf, data.fileName()}, 16 * 1024);
        QCOMPARE(full.exitCode, 2);
        QVERIFY2(full.err.startsWith("Cannot write report \"" + pdf.toUtf8() + "\": "), full.err.constData());
        QCOMPARE(contents(pdf), older);
        QCOMPARE(temporaries(), QStringList());
#endif

        // Killed while it draws: the temporary is there, the older report whole beside it.
        QProcess p;
        prepare(p, {QStringLiteral("--report"), pdf, data.fileName()});
        p.start();
        QVERIFY(p.waitForStarted());
        QDeadlineTimer deadline(60000);
        while (temporaries().isEmpty() && p.state() == QProcess::Running && !deadline.hasExpired())
            QThread::msleep(2);
        QVERIFY2(!temporaries().isEmpty(), "the report was not drawn beside the older one");
        p.kill();
        p.waitForFinished();
        QCOMPARE(contents(pdf), older);
        QCOMPARE(
            run({QStringLiteral("--report"), pdf, m_dir.filePath(QStringLiteral("batch7.dat"))}).exitCode, 0);
        QCOMPARE(temporaries(), QStringList());
    }

    void helpAndVersionWithoutADisplay() {
        struct Case {
            QStringList arguments;
            QByteArray start;
        };
        const QList<Case> cases{
            {{QStringLiteral("--help")}, "Usage: stavely [--settings FILE] [--simulate]\n"},
            {{QStringLiteral("-h")}, "Usage: stavely [--settings FILE] [--simulate]\n"},
            {{QStringLiteral("--version")}, "STAVELY 1.05\n"},
            {{QStringLiteral("--simulate"), QStringLiteral("--version")}, "STAVELY 1.05\n"},
        };
        for (const Case& c : cases) {
            const Run r = run(c.arguments);
            QCOMPARE(r.exitCode, 0);
            QVERIFY2(r.out.startsWith(c.start), r.out.constData());
            QVERIFY2(r.err.isEmpty(), r.err.constData());
        }
        const Run help = run({QStringLiteral("--help")});
        for (const char* option :
             {"--settings FILE", "--simulate", "--stats DATAFILE", "--report FILE.pdf DATAFILE", "--version"})
            QVERIFY2(help.out.contains(option), option);
    }
};

STAVELY_TEST(HeadlessCommandsTest)
#include "HeadlessCommandsTest.moc"
