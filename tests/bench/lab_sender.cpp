// Sends 1,000 results with their load/time records from a results store to a PostgreSQL server of its
// own and prints how long they take (the figure to keep at or below 10 s), then the delay from a
// result's row on disc to its arrival on the server while the server is up (at or below 1 s).
// Then, on 100,000 results of a data file taken into a store: the program's --db-sync (aim 2 s),
// --db-export --db to CSV (aim 1 s) and --stats --db with a 9 KB record beside each result on the
// server (aim 150 MB peak, 1.5 s), each beside psql's \copy of the same rows as a ratio.
// Not run by ctest.

#include "store/LabDatabase.h"
#include "store/LabSender.h"
#include "store/LabTexts.h"
#include "tests/bench/RealisticRow.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/LabTestStore.h"
#include "tests/support/PostgresCluster.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {
LabAddress address(const QString& text) {
    QString error;
    return *LabAddress::parse(text, &error);
}

struct Timed {
    double seconds = 0;
    int exitCode = -1;
    QString out;
};

// Runs a program to its end; its time.
Timed timed(const QString& program, const QStringList& arguments) {
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    process.waitForFinished(600000);
    Timed t;
    t.seconds = double(clock.nsecsElapsed()) / 1e9;
    t.exitCode = process.exitCode();
    t.out = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    return t;
}

// The largest resident size of the children so far, in MB (0 where it cannot be known).
double childrenPeakMb() {
#ifdef Q_OS_UNIX
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_maxrss) / 1024.0;
#else
    return 0;
#endif
}

void line(const char* what, double seconds, double plain, const char* plainWhat, double aim) {
    std::printf("%-44s %7.2f s   %-26s %6.2f s   ratio %5.1f   (aim %.1f s)\n", what, seconds, plainWhat,
                plain, plain > 0 ? seconds / plain : 0.0, aim);
    std::fflush(stdout);
}

constexpr int Rows = 100000;

void writeLargeDataFile(const QString& path) {
    QRandomGenerator random(4711);
    WriteDataFile(path, Rows, [&random](int n) {
        return RealisticRow(n, random, QString(),
                            QStringLiteral("125 500 0 72 3 0.5N/100 26/12/07 10:00:00"));
    });
}

// The 100,000-result figures.
void largeFigures(PostgresCluster& server, const QString& uri) {
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("big.csv"));
    writeLargeDataFile(data);
    const QString settings = dir.filePath(QStringLiteral("STAVELY.ini"));
    const Timed import =
        timed(programPath(), {QStringLiteral("--settings"), settings, QStringLiteral("--db-import"), data});
    std::printf("(store filled by --db-import of %d rows in %.2f s, exit %d)\n", Rows, import.seconds,
                import.exitCode);
    const QString psql = PostgresCluster::binDir() + QStringLiteral("/psql");
    const QStringList admin{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-d"),
                            server.adminUri()};
    auto psqlRun = [&](const QString& command) {
        return timed(psql, admin + QStringList{QStringLiteral("-c"), command});
    };

    const Timed sync = timed(programPath(), {QStringLiteral("--settings"), settings, QStringLiteral("--db"),
                                             uri, QStringLiteral("--db-sync")});
    if (sync.exitCode != 0)
        std::printf("--db-sync: exit %d: %s\n", sync.exitCode, qPrintable(sync.out));
    // The plain tool: the same rows (results and entries) out to files and in again by \copy.
    const QString results = dir.filePath(QStringLiteral("results.copy"));
    const QString events = dir.filePath(QStringLiteral("events.copy"));
    psqlRun(QStringLiteral("\\copy stavely.results to '%1'").arg(results));
    psqlRun(QStringLiteral("\\copy stavely.events to '%1'").arg(events));
    psqlRun(QStringLiteral("CREATE TABLE copy_results (LIKE stavely.results INCLUDING ALL); CREATE TABLE "
                           "copy_events (LIKE stavely.events INCLUDING ALL)"));
    const Timed copyIn =
        timed(psql, admin + QStringList{QStringLiteral("-c"),
                                        QStringLiteral("\\copy copy_results from '%1'").arg(results),
                                        QStringLiteral("-c"),
                                        QStringLiteral("\\copy copy_events from '%1'").arg(events)});
    line("--db-sync, 100,000 results", sync.seconds, copyIn.seconds, "psql \\copy in", 2.0);

    const QString csv = dir.filePath(QStringLiteral("lab.csv"));
    const Timed exported =
        timed(programPath(), {QStringLiteral("--db"), uri, QStringLiteral("--db-export"), csv});
    if (exported.exitCode != 0)
        std::printf("--db-export: %s\n", qPrintable(exported.out));
    const Timed copyOut =
        psqlRun(QStringLiteral("\\copy (SELECT uuid, instrument, content, data_file, row_number, "
                               "line, sample, operator, tested_at, nominal_rate, stress_mpa FROM "
                               "stavely.results) to '%1' csv")
                    .arg(dir.filePath(QStringLiteral("plain.csv"))));
    line("--db-export --db CSV, 100,000 results", exported.seconds, copyOut.seconds, "psql \\copy ... to",
         1.0);

    // Real records: 9 KB that do not compress, beside each result.
    psqlRun(QStringLiteral("UPDATE stavely.results SET record = (SELECT string_agg(sha512(int4send(i + "
                           "row_number * 100))::text, '')::bytea FROM generate_series(1, 70) i)"));
    // Measured through a copy of this program whose only child it is, so no earlier child's peak counts.
    const Timed stats = timed(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--peak-of"), programPath(), QStringLiteral("--db"), uri, QStringLiteral("--stats")});
    const QStringList outLines = stats.out.trimmed().split(QLatin1Char('\n'));
    if (!stats.out.startsWith(QStringLiteral("specimens\t100000")))
        std::printf("--stats --db: %s\n", qPrintable(stats.out.left(300)));
    std::printf("%-44s %7.2f s   peak %s MB   (aim 1.5 s, 150 MB)\n",
                "--stats --db, 100,000 results, 9 KB records", stats.seconds, qPrintable(outLines.last()));
}

// Lets the event loop run until `done` holds or the time is up; returns the elapsed milliseconds.
template <class F> double waitFor(F done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs)
        readFor(2);
    return double(clock.nsecsElapsed()) / 1e6;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("--write-data")) {
        // Only the data file of the large figures, for looking into one of them.
        writeLargeDataFile(app.arguments().value(2));
        return 0;
    }
    if (app.arguments().value(1) == QLatin1String("--peak-of")) {
        // Runs one program and prints its output, then its peak resident size in MB.
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.arguments().value(2), app.arguments().mid(3));
        child.waitForFinished(600000);
        std::printf("%.0f\n", childrenPeakMb());
        return child.exitCode();
    }
    PostgresCluster server;
    QString why;
    if (!server.start(&why)) {
        std::fprintf(stderr, "no server: %s\n", qPrintable(why));
        return 1;
    }
    QFile script(QFileInfo(programPath()).absolutePath() + QStringLiteral("/docs/lab-database.sql"));
    if (!script.open(QIODevice::ReadOnly))
        return 1;
    {
        LabDatabase admin(address(server.adminUri()), QStringLiteral("admin"));
        LabError error;
        if (!admin.initialise(QString::fromUtf8(script.readAll()), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error.message));
            return 1;
        }
    }
    server.createLogin(QStringLiteral("rig"), QStringLiteral("pw"));
    server.sql(QStringLiteral("GRANT stavely_tester TO rig"));
    const QString uri =
        server.uri(QStringLiteral("rig"), QStringLiteral("passfile=") +
                                              server.passFile(QStringLiteral("rig"), QStringLiteral("pw")));

    LabTestStore store;
    for (int row = 1; row <= 1000; ++row)
        store.add(row);
    LabSender sender(address(uri), [&store] { return store.source(); });
    auto upToDate = [&sender] {
        return sender.status().known && sender.status().text() == LabTexts::StatusUpToDate;
    };
    sender.start();
    const double backlogMs = waitFor(upToDate, 60000);
    std::printf("1000 waiting results with their records delivered in %.2f s\n", backlogMs / 1000);

    LabDatabase reader(address(uri), QStringLiteral("reader"));
    LabError error;
    reader.open(&error);
    auto onServer = [&reader] {
        QSqlQuery q(reader.db());
        return q.exec(QStringLiteral("SELECT count(*) FROM stavely.results")) && q.next() ? q.value(0).toInt()
                                                                                          : -1;
    };
    std::vector<double> delays;
    for (int i = 1; i <= 20; ++i) {
        const int before = onServer();
        QElapsedTimer clock;
        clock.start();
        store.add(1000 + i);
        waitFor([&] { return onServer() > before; }, 10000);
        delays.push_back(double(clock.nsecsElapsed()) / 1e6);
        readFor(int(37 * i % 300)); // rows come at any moment of the sender's cycle
    }
    std::sort(delays.begin(), delays.end());
    std::printf("delay from the row on disc to the server: median %.0f ms, longest %.0f ms (20 results)\n",
                delays[delays.size() / 2], delays.back());
    if (!app.arguments().contains(QStringLiteral("--small")))
        largeFigures(server, uri);
    return 0;
}
