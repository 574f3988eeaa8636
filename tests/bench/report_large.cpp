// Writes a data file of 343,000 result rows (about 50 MB) in five rate groups, runs
// "stavely --report" on it as the operator's scripts would, and prints the time it took and the
// peak memory of that process (aim: 10 s and 300 MB).
// Not run by ctest.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../stavely"));
    if (!QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "no program at %s\n", qPrintable(program));
        return 1;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.dat"));
    const int rows = argc > 1 ? std::atoi(argv[1]) : 343000;
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write("N,Lt (N),Lf (N),s (MPa),e (%),nom rate,v (\xb5m/s),\xb1,e. (%/min),\xb1,s. (MPa/s),\xb1,"
                   "t (s),date,time,comments,df GL EA Eo Ea Preload start\r\n");
        std::mt19937_64 random(1);
        std::uniform_real_distribution<double> uniform(1e-12, 1.0);
        const char* rates[] = {"0.6 MPa/s", "6 MPa/s", "60 MPa/s", "600 MPa/s", "2.5 %/min"};
        QByteArray chunk;
        for (int i = 1; i <= rows; ++i) {
            const double stress = 5000 * std::pow(-std::log(uniform(random)), 1 / 15.0);
            chunk +=
                QStringLiteral("%1,61.24,61.24,%2,6.5213,%3,105.12,0.21,3.0112,0.0112,60.212,0.312,20.1,"
                               "26/12/07,12:00:00,,125 500 0 72 3 0.5N/100 26/12/07 11:59:40 31.2mm/1.00\r\n")
                    .arg(i)
                    .arg(stress, 0, 'f', 1)
                    .arg(QLatin1String(rates[i % 5]))
                    .toLatin1();
            if (chunk.size() > (1 << 20)) {
                file.write(chunk);
                chunk.clear();
            }
        }
        file.write(chunk);
    }
    const double megabytes = double(QFileInfo(path).size()) / 1e6;

    // Reading the rows and their statistics alone, for comparison.
    {
        QProcess stats;
        const auto t0 = std::chrono::steady_clock::now();
        stats.start(program, {QStringLiteral("--stats"), path});
        stats.waitForFinished(-1);
        std::printf("--stats on the same file: %.2f s\n",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    const QString pdf = dir.filePath(QStringLiteral("large.pdf"));
    const auto start = std::chrono::steady_clock::now();
    process.start(program, {QStringLiteral("--report"), pdf, path});
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        std::fprintf(stderr, "report failed: %s\n", process.readAllStandardError().constData());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double peakMb = -1, cpu = -1;
#ifdef Q_OS_UNIX
    rusage usage{};
    if (getrusage(RUSAGE_CHILDREN, &usage) == 0) {
        peakMb = double(usage.ru_maxrss) / 1024; // kilobytes on Linux; the larger of the two children
        // Both children: on a busy machine the processor time says more than the wall clock.
        cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
#endif
    std::printf("--report on %d rows (%.1f MB): %.2f s, peak memory %.0f MB, PDF %.1f MB "
                "(aim 10 s, 300 MB); processor time of --stats and --report together %.2f s\n",
                rows, megabytes, seconds, peakMb, double(QFileInfo(pdf).size()) / 1e6, cpu);
    return 0;
}
