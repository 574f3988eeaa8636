// Writes a data file of 100,000 result rows in five rate groups and prints how long reading it and
// computing its statistics take (the figure to keep at or below 1 s), then the report's PDF of the
// first 1,000 rows, then the statistics of 74 small rate groups.
// Not run by ctest.

#include "results/BatchReport.h"
#include "results/BatchStatistics.h"
#include "results/DataFile.h"
#include "results/DataFileRows.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.dat"));
    const int rows = 100000;
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray text =
            "N,Lt (N),Lf (N),s (MPa),e (%),nom rate,v (\xb5m/s),\xb1,e. (%/min),\xb1,s. (MPa/s),\xb1,"
            "t (s),date,time,comments,df GL EA Eo Ea Preload start\r\n";
        std::mt19937_64 random(1);
        std::uniform_real_distribution<double> uniform(1e-12, 1.0);
        const char* rates[] = {"0.6 MPa/s", "6 MPa/s", "60 MPa/s", "600 MPa/s", "2.5 %/min"};
        for (int i = 1; i <= rows; ++i) {
            const double stress = 5000 * std::pow(-std::log(uniform(random)), 1 / 15.0);
            text +=
                QStringLiteral("%1,61.2,61.2,%2,6.52,%3,105.1,0.2,3.01,0.01,60.2,0.3,20.1,26/12/07,12:00:00,,"
                               "125 500 0 72 3 0.5N/100 26/12/07 11:59:40 31.2mm/1.00\r\n")
                    .arg(i)
                    .arg(stress, 0, 'f', 1)
                    .arg(QLatin1String(rates[i % 5]))
                    .toLatin1();
        }
        file.write(text);
    }

    using Clock = std::chrono::steady_clock;
    {
        const auto t0 = Clock::now();
        DataFileContents contents;
        DataFile::Read(path, contents);
        std::printf("data file reader alone: %.3f s\n",
                    std::chrono::duration<double>(Clock::now() - t0).count());
    }
    const auto start = Clock::now();
    QString error;
    const auto data = ReadDataFileRows(path, &error);
    const auto read = Clock::now();
    const BatchStatistics stats(*data);
    const auto done = Clock::now();
    auto seconds = [](auto a, auto b) { return std::chrono::duration<double>(b - a).count(); };
    std::printf("rows %lld, groups %lld, m %.3f\n", static_cast<long long>(data->size()),
                static_cast<long long>(stats.groups().size()), stats.all().maximumLikelihood->estimate.m);
    std::printf("read %.3f s, statistics %.3f s, total %.3f s (limit 1 s)\n", seconds(start, read),
                seconds(read, done), seconds(start, done));

    const auto reportStart = Clock::now();
    QList<QStringList> first;
    for (std::size_t i = 0; i < 1000 && i < data->size(); ++i)
        first.append((*data)[i].fields());
    const BatchReport report(path, first);
    if (!report.Write(dir.filePath(QStringLiteral("large.pdf")), &error))
        return 1;
    std::printf("report of %d pages: %.3f s\n", report.PageCount(), seconds(reportStart, Clock::now()));

    // Many small groups: 74 rates of 2 to 75 specimens, each batch size needing its own bounds.
    QList<QStringList> small;
    std::mt19937_64 random(2);
    std::uniform_real_distribution<double> uniform(1e-12, 1.0);
    for (int g = 0; g < 74; ++g)
        for (int k = 0; k < g + 2; ++k) {
            QStringList fields(17);
            fields[BatchStatistics::StressField] =
                QString::number(5000 * std::pow(-std::log(uniform(random)), 0.1));
            fields[BatchStatistics::RateField] = QStringLiteral("%1 MPa/s").arg(g + 1);
            small.append(fields);
        }
    const auto smallStart = Clock::now();
    const BatchStatistics smallStats(small);
    std::printf("74 groups of 2 to 75 rows: statistics %.3f s\n", seconds(smallStart, Clock::now()));
    return 0;
}
