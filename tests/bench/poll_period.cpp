// Runs one 20 s move against the paced simulator and prints how evenly the poll loop asks for the
// status ("L") and how much of one core the program spent meanwhile. Not run by ctest.

#include "instrument/ControllerLink.h"
#include "instrument/LoadCell.h"
#include "instrument/Motion.h"
#include "instrument/RunState.h"
#include "instrument/frmMoving.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "sim/SimServer.h"
#include "tests/instrument/LinkRig.h"

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

// CPU seconds used by the whole process so far.
double cpuSeconds() {
#ifdef Q_OS_UNIX
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
#else
    return double(std::clock()) / CLOCKS_PER_SEC;
#endif
}

double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto at =
        size_t(std::clamp(share * double(values.size() - 1) + 0.5, 0.0, double(values.size() - 1)));
    return values[at];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    SimConfig config;
    config.fiberPresent = false;
    config.instant = false; // 19200 baud, as the real line
    SimServer sim(config);
    const QString path = dir.filePath(QStringLiteral("COM1"));
    if (!dir.isValid() || !sim.startInThread(path)) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return 1;
    }

    StrictOperator op;
    op.failOnUnexpected = false;
    ThrowingEnd end;
    Parameters params;
    SettingsStore store(dir.filePath(QStringLiteral("settings.ini")));
    ControllerLink link(op, end, params);
    LoadCell loadCell(params, store);
    RunState run;
    Motion motion(link, loadCell, params, run, op);
    frmMoving window(motion);
    motion.setView(&window);
    if (!link.openPort(path)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }
    motion.InitMotor();
    link.SetLoadSampling(0, 128, -1, 4090);
    sim.clearCommandLog();

    constexpr qint32 Steps = 20000;
    constexpr double Rate = 1000; // steps/s: a 20 s move
    const double cpuBefore = cpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    const int result = motion.MoveTo(Steps, Rate, 0, 0, QStringLiteral("POLL PERIOD BENCHMARK"));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const double cpu = cpuSeconds() - cpuBefore;

    std::vector<double> polls;
    for (const SimCommand& command : sim.timedCommandLog())
        if (command.text == "L")
            polls.push_back(command.timeMs / 1000.0);
    std::vector<double> periods;
    for (size_t i = 1; i < polls.size(); ++i)
        periods.push_back(polls[i] - polls[i - 1]);
    if (periods.empty()) {
        std::fprintf(stderr, "no polls seen (move result %d)\n", result);
        return 1;
    }

    std::printf("move result %d, position %d, %.2f s wall, %zu polls\n", result, motion.Position(), wall,
                polls.size());
    std::printf("poll period: median %.3f s, 99th percentile %.3f s, max %.3f s (target 0.300 s)\n",
                percentile(periods, 0.5), percentile(periods, 0.99),
                *std::max_element(periods.begin(), periods.end()));
    std::printf("CPU: %.2f s over %.2f s wall = %.1f %% of one core (program and simulator together)\n", cpu,
                wall, 100.0 * cpu / wall);
    return 0;
}
