// Starts the whole program on its built-in, paced simulator and leaves the main window idle with its
// live load display for about 20 s; prints how often the load was read and how much of one core the
// program spent meanwhile. Not run by ctest.

#include "app/Program.h"
#include "app/SimulatedInstrument.h"
#include "app/frmMain.h"
#include "params/SettingsStore.h"
#include "sim/SimServer.h"
#include "tests/support/ScriptedOperator.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <chrono>
#include <cstdio>
#include <ctime>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

double seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// CPU seconds used so far by the whole process (program and simulator thread together).
double processCpu() {
#ifdef Q_OS_UNIX
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
#else
    return double(std::clock()) / CLOCKS_PER_SEC;
#endif
}

// CPU seconds used so far by the calling thread alone (the program's user-interface thread); -1 where
// the platform cannot tell.
double threadCpu() {
#ifdef RUSAGE_THREAD
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
#else
    return -1;
#endif
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double idleSeconds = argc > 1 ? std::atof(argv[1]) : 20.0;

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Corvane-simulator.ini"));
    {
        SettingsStore store(file);
        // Debug mode takes the simulator's position without the zero window; the calibration is the
        // simulator's channel 0, so the load is read on every tick.
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("ForceDebug"), QStringLiteral("True"));
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("DataFileName"),
                       dir.filePath(QStringLiteral("results.dat")));
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData0"),
                       QStringLiteral("\"SIM-2041\",0,51,0.1,100,0.5,------,------,------,"));
    }
    auto scripted = std::make_unique<ScriptedOperator>();
    scripted->failOnUnexpected = false;
    ScriptedOperator& op = *scripted;
    ProgramOptions options;
    options.settingsFile = file;
    options.simulate = true;
    options.instanceName =
        QStringLiteral("stavely-bench-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    Program program(options, std::move(scripted));
    if (program.start() != Program::Started::Running || !program.simulator()) {
        std::fprintf(stderr, "the program did not start on its simulator\n");
        return 1;
    }
    frmMain& window = *program.mainWindow();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) {
        std::fprintf(stderr, "the main window did not become active\n");
        return 1;
    }
    QTest::qWait(500); // let the start-up settle
    SimServer& sim = program.simulator()->server();
    sim.clearCommandLog();

    const double processBefore = processCpu();
    const double threadBefore = threadCpu();
    const auto wallBefore = std::chrono::steady_clock::now();
    QTest::qWait(int(idleSeconds * 1000));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const double process = processCpu() - processBefore;
    const double thread = threadCpu() - threadBefore;

    const QList<QByteArray> log = sim.commandLog();
    const auto reads = log.count("L");
    std::printf("idle main window for %.2f s: %lld load readings (%.1f per second), %lld other commands\n",
                wall, qlonglong(reads), double(reads) / wall, qlonglong(log.size() - reads));
    std::printf("last status panels: \"%s\" | %lld bar characters\n", qPrintable(window.statusPanel(1)),
                qlonglong(window.statusPanel(2).size()));
    if (thread >= 0)
        std::printf("CPU, program's user-interface thread: %.3f s = %.2f %% of one core (target < 2 %%)\n",
                    thread, 100.0 * thread / wall);
    std::printf("CPU, whole process with the simulator thread: %.3f s = %.2f %% of one core\n", process,
                100.0 * process / wall);
    std::printf("prompts: %lld\n", qlonglong(op.prompts.size()));
    return 0;
}
