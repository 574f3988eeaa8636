// Runs a break-run pull (60 s unless a number of seconds is given) against the paced simulator twice,
// with the moving window's live curve and without it, and prints how evenly the poll loop asks for the
// status ("L") and how much of one core the program spent in each. Not run by ctest.

#include "instrument/BreakRunHooks.h"
#include "instrument/ControllerLink.h"
#include "instrument/LiveCurveView.h"
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

// A servo that only names a rising target, so the curve has both lines to draw.
struct RampHooks : BreakRunHooks {
    int polls = 0;
    void LtSample() override {}
    void svoCheck() override { ++polls; }
    std::optional<double> TargetLoad() const override { return 0.01 * polls; }
};

// The moving window without its live curve, as the loop was before it.
class PlainMoving : public frmMoving {
public:
    using frmMoving::frmMoving;
    void showLivePoint(double, double, std::optional<double>) override {}
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(2.0, QString::fromLocal8Bit(argv[1]).toDouble()) : 60.0;

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
    if (!link.openPort(path)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }
    motion.InitMotor();
    link.SetLoadSampling(0, 128, -1, 4090);
    RampHooks hooks;
    motion.setBreakRunHooks(&hooks);
    run.RecordPeriod = 0.1f; // a break run polls at its record period

    frmMoving withCurve(motion);
    PlainMoving withoutCurve(motion);
    for (frmMoving* window : {static_cast<frmMoving*>(&withoutCurve), &withCurve}) {
        motion.setView(window);
        sim.clearCommandLog();
        run.BreakRunActive = 1;
        const double rate = 1000; // steps/s
        const auto steps = qint32(rate * seconds);
        const double cpuBefore = cpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        const int result =
            motion.MoveTo(motion.Position() + steps, rate, 0, 0, QStringLiteral("LIVE CURVE BENCHMARK"));
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        const double cpu = cpuSeconds() - cpuBefore;
        run.BreakRunActive = 0;

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
        std::printf("%s: move result %d, %.2f s wall, %zu polls\n",
                    window == &withCurve ? "with the live curve" : "without the curve", result, wall,
                    polls.size());
        std::printf("  poll period: median %.3f s, 99th percentile %.3f s, max %.3f s (target %.3f s)\n",
                    percentile(periods, 0.5), percentile(periods, 0.99),
                    *std::max_element(periods.begin(), periods.end()), double(run.RecordPeriod));
        std::printf("  CPU: %.2f s over %.2f s wall = %.1f %% of one core (program and simulator together)\n",
                    cpu, wall, 100.0 * cpu / wall);
    }
    return 0;
}
