// Sends 1,000 results with their load/time records from a results store to a PostgreSQL server of its
// own and prints how long they take (the figure to keep at or below 10 s), then the delay from a
// result's row on disc to its arrival on the server while the server is up (at or below 1 s).
// Not run by ctest.

#include "store/LabDatabase.h"
#include "store/LabSender.h"
#include "store/LabTexts.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/LabTestStore.h"
#include "tests/support/PostgresCluster.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
LabAddress address(const QString& text) {
    QString error;
    return *LabAddress::parse(text, &error);
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
        return q.exec(QStringLiteral("SELECT count(*) FROM results")) && q.next() ? q.value(0).toInt() : -1;
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
    return 0;
}
