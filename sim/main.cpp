#include "sim/SimCommandLine.h"
#include "sim/SimServer.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

// SIGINT and SIGTERM end the event loop, so the link is removed on the way out.
void quitOnSignals(QCoreApplication& app) {
    if (::pipe(signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}
} // namespace
#endif

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("stavely-sim"));

    const SimCommandLine options = SimCommandLine::parse(app.arguments());
    if (options.help) {
        std::fputs(qPrintable(options.helpText), stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "stavely-sim: %s\nTry 'stavely-sim --help'.\n", qPrintable(options.error));
        return 2;
    }

    SimServer server(options.config);
    if (!server.start(options.link)) {
        std::fprintf(stderr, "stavely-sim: %s\n", qPrintable(server.errorString()));
        return 1;
    }
#ifdef Q_OS_UNIX
    quitOnSignals(app);
#endif
    QObject::connect(&server, &SimServer::vanished, &app, [&server, &options] {
        std::fputs("stavely-sim: the port has vanished\n", stdout);
        std::fflush(stdout);
        const int back = options.config.faults.returnAfterMs;
        if (back < 0)
            return;
        QTimer::singleShot(back, &server, [&server, &options] {
            const bool ok = server.start(options.link);
            std::fputs(ok ? "stavely-sim: the port is back\n" : "stavely-sim: the port could not come back\n",
                       stdout);
            std::fflush(stdout);
        });
    });
    std::printf("System Controller simulator serving %s at %s\n", qPrintable(server.devicePath()),
                qPrintable(server.linkPath()));
    std::fflush(stdout);
    const int rc = app.exec();
    server.stop();
    return rc;
}
