// The results store's figures on a data file of 100,000 realistic rows: a result into the store
// (median), opening the data file with and without the comparison with the store, --db-export
// to CSV and JSON, --audit-verify of the whole trail, and the store's size with load/time records;
// first --db-import of the data file into a new store beside sqlite3's own .import of the same rows.
// Not run by ctest.
//   bench_results_store [ROWS] [FOLDER] [import]   (import: that figure alone)

#include "experiments/BreakAnalysis.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "results/DataFile.h"
#include "results/DataFileRows.h"
#include "results/DataLine.h"
#include "results/Datasheet.h"
#include "store/ResultsDatabase.h"
#include "store/ResultsStore.h"
#include "store/StoreExport.h"
#include "tests/bench/RealisticRow.h"
#include "tests/bench/ThreadCpu.h"
#include "tests/support/ScriptedOperator.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

QStringList realisticRow(int n, QRandomGenerator& random) {
    const char* samples[] = {"B1", "B2", "B3", "B4"};
    return RealisticRow(n, random, n % 9 == 0 ? QStringLiteral("ignore, slipped") : QString(),
                        QStringLiteral("125 500 0 72 3 0 0 operator:Ann sample:") +
                            QLatin1String(samples[n % 4]));
}

// A load/time record as a break at 60 MPa/s leaves it: 1000 samples of six columns.
QString realisticRecord(QRandomGenerator& random) {
    QString text =
        QStringLiteral("Position\tTime (s)\tLoad (N)\tStress (MPa)\tStrain (%)\tSpeed (steps/s)\r\n");
    for (int k = 0; k < 1000; ++k) {
        const double t = k * 0.08;
        const double load = t * 0.7 + random.generateDouble() * 0.05;
        text += QString::number(k * 65) + QLatin1Char('\t') + QString::number(t, 'g', 6) + QLatin1Char('\t') +
                QString::number(load, 'g', 6) + QLatin1Char('\t') +
                QString::number(load / 0.0122718, 'g', 6) + QLatin1Char('\t') +
                QString::number(load / 8.5, 'g', 6) + QLatin1Char('\t') +
                QString::number(812 + random.generateDouble(), 'g', 6) + QStringLiteral("\r\n");
    }
    return text;
}

void report(const char* what, double seconds, const char* limit) {
    std::printf("%-52s %9.3f s   (%s)\n", what, seconds, limit);
}

double fileSizeMB(const QString& path) {
    double size = 0;
    for (const QString& suffix : {QString(), QStringLiteral("-wal")})
        size += double(QFileInfo(path + suffix).size());
    return size / 1e6;
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/bench-XXXXXX")
                               : QString());
    const QString path = dir.filePath(QStringLiteral("bench.dat"));
    const QString storePath = dir.filePath(QStringLiteral("store.sqlite"));
    QRandomGenerator random(7);
    {
        const qint64 size = WriteDataFile(path, rows, [&random](int n) { return realisticRow(n, random); });
        if (size < 0)
            return 1;
        std::printf("data file: %d rows, %.1f MB in %s\n", rows, double(size) / 1e6, qPrintable(dir.path()));
    }

    // 0. --db-import of every row into a new store, as the command does it (the rows read, compared
    // with the store and filed), beside sqlite3's own .import of the same file into a table.
    {
        const QString importStore = dir.filePath(QStringLiteral("import.sqlite"));
        auto start = Clock::now();
        const double cpuStart = threadCpuSeconds();
        QString error;
        const std::optional<std::vector<DataRow>> fileRows = ReadDataFileRows(path, &error);
        const double read = since(start);
        ResultsDatabase db;
        if (!fileRows || !db.open(importStore))
            return 5;
        db.setRecordPath(&BreakAnalysis::RowDataFile);
        const std::optional<ReconcileReport> imported =
            db.reconcile(path, *fileRows, QStringLiteral("import"), false);
        const double ours = since(start);
        const double cpu = threadCpuSeconds() - cpuStart;
        db.close();
        QProcess sqlite;
        start = Clock::now();
        sqlite.start(QStringLiteral("sqlite3"),
                     {dir.filePath(QStringLiteral("plain.sqlite")), QStringLiteral(".mode csv"),
                      QStringLiteral(".import '%1' results").arg(path)});
        const bool plainRan = sqlite.waitForFinished(120000) && sqlite.exitCode() == 0;
        const double plain = since(start);
        std::printf("%-52s %9.3f s   (CPU %.3f s; %d added, the file read in %.3f s; sqlite3 .import "
                    "%.3f s%s; %.1f x; aim 1.2 s)\n",
                    "--db-import into a new store", ours, cpu, imported ? imported->added : -1, read, plain,
                    plainRan ? "" : " FAILED", ours / plain);
    }
    // 0b. The program ended right after opening the data file the store has not seen: the store's
    // thread gives the comparison up and the end waits for nothing more.
    {
        QString error;
        const std::optional<std::vector<DataRow>> fileRows = ReadDataFileRows(path, &error);
        ResultsStore store(dir.filePath(QStringLiteral("ending.sqlite")));
        store.start();
        if (fileRows)
            store.dataFileOpened(path, *fileRows);
        QEventLoop settle;
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
        const auto start = Clock::now();
        store.finish(2000);
        report("the program's end during a first comparison", since(start), "aim 1 s");
    }
    if (argc > 3 && qstrcmp(argv[3], "import") == 0)
        return 0;

    // 1. One result into the store, as the store's thread writes it: record, result and entry.
    {
        const QString small = dir.filePath(QStringLiteral("single.sqlite"));
        ResultsDatabase db;
        if (!db.open(small))
            return 2;
        std::vector<double> times;
        for (int n = 1; n <= 300; ++n) {
            StoredResult r;
            r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
            r.dataFile = path;
            r.rowNumber = n;
            r.fields = realisticRow(n, random);
            r.record = realisticRecord(random);
            r.origin = QStringLiteral("test");
            const auto start = Clock::now();
            if (!db.addResult(r))
                return 3;
            times.push_back(since(start));
        }
        std::sort(times.begin(), times.end());
        std::printf("%-52s %9.2f ms  (limit 5 ms median; 95th %.2f ms; synced to disc)\n",
                    "a result with its 1000-sample record into the store", times[times.size() / 2] * 1e3,
                    times[times.size() * 95 / 100] * 1e3);
        std::printf("%-52s %9.1f kB per result with its record\n", "store size",
                    fileSizeMB(small) * 1e3 / 300);
        std::printf("%-52s %9.2f GB (extrapolated)\n", "store of 100,000 results with their records",
                    fileSizeMB(small) * 100000 / 300 / 1e3);
    }

    ScriptedOperator op;
    op.failOnUnexpected = false;
    Parameters params;
    SettingsStore settings(dir.filePath(QStringLiteral("Corvane.ini")));
    ParameterTable table(params, settings, op);
    Datasheet sheet(op, params, table, settings);
    sheet.SetupDatasheet();

    // 2. Opening the data file: today's load, then with the store (first sight: every row taken
    // in; then the usual case, a file the store knows).
    sheet.file2grd(path); // warm the page cache
    auto start = Clock::now();
    sheet.file2grd(path);
    const double load = since(start);
    report("open the data file (load alone, today)", load, "yardstick");
    {
        ResultsStore store(storePath);
        store.start();
        QObject::connect(&sheet, &Datasheet::dataFileLoaded, &sheet,
                         [&](const QString& file) { store.dataFileOpened(file, sheet.model().allRows()); });
        for (const char* what :
             {"open with the comparison, first sight (import)", "open with the comparison, store knows it"}) {
            QEventLoop wait;
            QObject::connect(&store, &ResultsStore::drained, &wait, &QEventLoop::quit);
            start = Clock::now();
            sheet.file2grd(path);
            const double onScreen = since(start);
            wait.exec();
            const double total = since(start);
            std::printf(
                "%-52s %9.3f s   (on screen after %.3f s = %.2f x; compared after %.2f x; limit 1.5 x)\n",
                what, total, onScreen, onScreen / load, total / load);
        }
        store.finish();
    }

    // 3. --db-export of every result, 4. --audit-verify of the whole trail.
    ResultsDatabase db;
    if (!db.open(storePath))
        return 4;
    for (const char* name : {"export.csv", "export.json"}) {
        QString error;
        start = Clock::now();
        const auto count = StoreExport::Write(db, {}, dir.filePath(QLatin1String(name)), &error);
        const double t = since(start);
        std::printf("%-52s %9.3f s   (limit 2 s; %lld results)\n",
                    qPrintable(QStringLiteral("--db-export ") + QLatin1String(name)), t, count.value_or(-1));
    }
    start = Clock::now();
    const VerifyOutcome outcome = db.verify();
    std::printf("%-52s %9.3f s   (limit 2 s; %lld entries, %s)\n", "--audit-verify", since(start),
                outcome.events, outcome.intact ? "intact" : qPrintable(outcome.broken));
    std::printf("%-52s %9.1f MB\n", "store of these results without records", fileSizeMB(storePath));
    return 0;
}
