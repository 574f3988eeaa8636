// Loads a data file of 100,000 realistic result rows into the datasheet grid, alone and with the
// results store's comparison, sorts a numeric column, rewrites the file and appends single rows;
// prints each time, what the load adds to the program's memory (against the file's size), and each
// time as a ratio to a plain C++ read-and-split of the same file. Not run by ctest.

#include "results/Datasheet.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "results/DataFile.h"
#include "results/DataLine.h"
#include "results/DatasheetCommands.h"
#include "results/grdResults.h"
#include "store/ResultsDatabase.h"
#include "store/ResultsStore.h"
#include "tests/bench/RealisticRow.h"
#include "tests/support/ScriptedOperator.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

QStringList realisticRow(int n, QRandomGenerator& random) {
    const QStringList comments{QString(),
                               QString(),
                               QString(),
                               QStringLiteral("slipped, re-wound"),
                               QStringLiteral("break at capstan"),
                               QStringLiteral("coating \"bubble\" at 120 mm")};
    const QString& comment = comments[int(random.bounded(comments.size()))];
    return RealisticRow(n, random, comment, QStringLiteral("125 500 0 72 3 0 0"));
}

// The yardstick: std::getline and a split on commas into strings, nothing else.
double plainReadAndSplit(const QString& path, std::size_t& rows) {
    const auto start = Clock::now();
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::string line;
    std::vector<std::vector<std::string>> table;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::size_t from = 0;
        for (;;) {
            const std::size_t comma = line.find(',', from);
            fields.emplace_back(line, from, comma == std::string::npos ? std::string::npos : comma - from);
            if (comma == std::string::npos)
                break;
            from = comma + 1;
        }
        table.push_back(std::move(fields));
    }
    rows = table.size();
    return since(start);
}

long statusKiB(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(std::strlen(key))).trimmed().split(' ').first().toLong();
    return -1;
}

long residentKiB() {
    return statusKiB("VmRSS:");
}

// The peak resident memory counts from here on (Linux resets it on this word).
void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Bytes the program holds on the heap (what the allocator has handed out and not got back).
double heapMB() {
#ifdef __GLIBC__
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / 1e6;
#else
    return 0;
#endif
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
    double fileMB = 0;
    {
        QRandomGenerator random(7);
        const qint64 size = WriteDataFile(path, rows, [&random](int n) { return realisticRow(n, random); });
        if (size < 0)
            return 1;
        fileMB = double(size) / 1e6;
        std::printf("data file: %d rows, %.1f MB in %s\n", rows, fileMB, qPrintable(dir.path()));
    }

    std::size_t plainRows = 0;
    plainReadAndSplit(path, plainRows); // warm the page cache for both
    // The best of three: the yardstick should not be the one figure a busy machine bends.
    double plain = plainReadAndSplit(path, plainRows);
    for (int i = 0; i < 2; ++i)
        plain = std::min(plain, plainReadAndSplit(path, plainRows));
    std::printf("plain C++ read-and-split: %.3f s (%zu lines, best of 3)\n", plain, plainRows);

    ScriptedOperator op;
    op.failOnUnexpected = false;
    Parameters params;
    SettingsStore store(dir.filePath(QStringLiteral("Corvane.ini")));
    ParameterTable table(params, store, op);
    Datasheet sheet(op, params, table, store);
    DatasheetCommands commands(sheet, op, params);
    grdResults grid(sheet, op);
    grid.resize(1400, 700);
    grid.show();
    sheet.SetupDatasheet();
    QCoreApplication::processEvents();

    auto report = [plain](const char* what, double seconds, double limit) {
        std::printf("%-34s %8.3f s  (limit %.3f s)  %6.1f x plain read-and-split\n", what, seconds, limit,
                    seconds / plain);
    };

#ifdef __GLIBC__
    // What building the file and the yardstick freed goes back, so that the figures are the program's.
    malloc_trim(0);
#endif
    const long before = residentKiB();
    const double heapBefore = heapMB();
    resetPeak();
    const long peakBefore = statusKiB("VmHWM:");
    auto start = Clock::now();
    const bool loaded = sheet.file2grd(path);
    QCoreApplication::processEvents();
    const double load = since(start);
    report("load into the grid:", load, 1.0);
    if (!loaded || sheet.resultRows() != rows) {
        std::printf("load failed: %d rows\n", sheet.resultRows());
        return 1;
    }
    const double added = double(residentKiB() - before) / 1024 * 1.048576;
    std::printf("resident memory before / after the load: %.1f / %.1f MB; added %.1f MB = %.2f x the "
                "file's %.1f MB (aim 3 x)\n",
                double(before) / 1024 * 1.048576, double(residentKiB()) / 1024 * 1.048576, added,
                added / fileMB, fileMB);
    std::printf("  heap held by the load %.1f MB = %.2f x the file; peak resident during it %.1f MB above "
                "before\n",
                heapMB() - heapBefore, (heapMB() - heapBefore) / fileMB,
                double(statusKiB("VmHWM:") - std::max(peakBefore, before)) / 1024 * 1.048576);
    // The best of three loads, as the yardstick is taken.
    double best = load;
    for (int i = 0; i < 3; ++i) {
        start = Clock::now();
        sheet.file2grd(path);
        QCoreApplication::processEvents();
        best = std::min(best, since(start));
    }
    report("load into the grid (best of 4):", best, 1.0);

    // With the results store, as the program opens a data file: the store's thread compares every
    // row with what it holds. The first opening takes every row in; the usual case is a file the
    // store knows already.
    {
        ResultsStore results(dir.filePath(QStringLiteral("store.sqlite")));
        results.start();
        QObject::connect(&sheet, &Datasheet::dataFileLoaded, &results,
                         [&](const QString& file) { results.dataFileOpened(file, sheet.model().allRows()); });
        auto open = [&] {
            QEventLoop wait;
            QObject::connect(&results, &ResultsStore::drained, &wait, &QEventLoop::quit);
            start = Clock::now();
            sheet.file2grd(path);
            QCoreApplication::processEvents();
            const double onScreen = since(start);
            wait.exec();
            return std::pair{onScreen, since(start)};
        };
        const auto [firstOnScreen, firstTotal] = open();
        // Once for a file: every row becomes a result on the store's thread, while the grid is usable.
        std::printf("load with the store, first sight:   %8.3f s  (once per file, on the store's thread)\n",
                    firstTotal);
        std::printf("  on screen after %.3f s (limit %.3f s); every row taken into the store\n",
                    firstOnScreen, 1.5 * best);
        auto known = open();
        for (int i = 0; i < 2; ++i)
            known = std::min(known, open(), [](auto a, auto b) { return a.second < b.second; });
        report("load with the store, known file:", known.second, 1.5 * best);
        std::printf(
            "  (best of 3) on screen after %.3f s; compared after %.2f x the load alone (limit 1.5 x)\n",
            known.first, known.second / best);
        results.finish();
    }
    {
        // The comparison alone, as the store's thread runs it: what it adds beyond the load.
        ResultsDatabase db;
        if (!db.open(dir.filePath(QStringLiteral("store.sqlite"))))
            return 1;
        double compare = 1e9;
        for (int i = 0; i < 3; ++i) {
            start = Clock::now();
            if (!db.reconcile(path, sheet.model().allRows(), QStringLiteral("reconcile"), true))
                return 1;
            compare = std::min(compare, since(start));
        }
        std::printf("%-34s %8.3f s  (the load alone %.3f s)  %6.1f x plain read-and-split\n",
                    "the store's comparison alone:", compare, best, compare / plain);
    }

    start = Clock::now();
    commands.SortDatasheet(2);
    QCoreApplication::processEvents();
    report("sort a numeric column:", since(start), 0.3);

    start = Clock::now();
    const bool rewritten = sheet.RewriteDataFile();
    report("rewrite (with .BAK, fsync):", since(start), 0.5);
    if (!rewritten)
        return 1;

    // The first fit after a load measures every cell once; later appends measure their own row. The
    // grid's repaint that follows shows the new last row and does not depend on the file's size.
    std::vector<double> appends, repaints;
    const int appendCount = argc > 3 ? std::atoi(argv[3]) : 50;
    for (int i = 0; i <= appendCount; ++i) {
        start = Clock::now();
        if (!sheet.AppendResult(realisticRow(rows + 1 + i, *QRandomGenerator::global())))
            return 1;
        const double appended = since(start);
        start = Clock::now();
        QCoreApplication::processEvents();
        if (i == 0) {
            report("append one row (first after load):", appended, 0.005);
            continue;
        }
        appends.push_back(appended);
        repaints.push_back(since(start));
    }
    std::sort(appends.begin(), appends.end());
    std::sort(repaints.begin(), repaints.end());
    report("append one row (median):", appends[appends.size() / 2], 0.005);
    report("append one row (slowest):", appends.back(), 0.005);
    std::printf("  the grid's repaint after an append: median %.4f s, slowest %.4f s\n",
                repaints[repaints.size() / 2], repaints.back());
    std::printf("resident memory of the program:    %8.1f MB (limit 150 MB)\n", double(residentKiB()) / 1024);
    return 0;
}
