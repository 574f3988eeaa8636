// The static hold, measured two ways. First on a virtual clock: the preload to 80 % of the drawn
// fiber's strength and a 10-minute hold against the simulated instrument with its noise; the load's
// deviation from the target (mean, standard deviation, worst) as the program reads it and as it
// really is on the fiber. Then in real time (30 s unless a number of seconds is given): the program's
// own static run with its moving window against the paced simulator over a pseudo-terminal, and the
// CPU of the program's thread. Not run by ctest.

#include "base/ProgramEnd.h"
#include "experiments/BreakRun.h"
#include "experiments/Fiber.h"
#include "experiments/HoldControl.h"
#include "instrument/BreakSound.h"
#include "results/ResultAppender.h"
#include "tests/bench/ThreadCpu.h"
#include "tests/e2e/MotionRig.h"
#include "tests/support/VirtualHold.h"

#include <QApplication>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

struct Deviation {
    double sum = 0, squares = 0, worst = 0;
    int n = 0;
    void add(double relative) {
        sum += relative;
        squares += relative * relative;
        worst = std::max(worst, std::abs(relative));
        ++n;
    }
    void print(const char* what) const {
        const double mean = sum / n;
        const double sd = std::sqrt(std::max(0.0, squares / n - mean * mean));
        std::printf("  %-28s mean %+.4f %%, sd %.4f %%, worst %.4f %% (%d polls)\n", what, 100 * mean,
                    100 * sd, 100 * worst, n);
    }
};

class Rows : public ResultAppender {
public:
    bool AppendResult(const QStringList& fields) override {
        rows << fields;
        return true;
    }
    QList<QStringList> rows;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double realSeconds = argc > 1 ? std::max(5.0, QString::fromLocal8Bit(argv[1]).toDouble()) : 30.0;

    // 1. Ten minutes at 80 % of the strength on the virtual clock.
    {
        SimConfig config;
        config.seed = 3;
        config.fatigueTimeScale = 10; // the fiber outlives the ten minutes
        VirtualHold hold(config);
        const double area = M_PI * std::pow(config.diameterUm / 2e6, 2);
        const double target = 0.8 * hold.sim.fiber().strengthGpa() * 1e9 * area;
        if (!hold.preload(target, 5000)) {
            std::fprintf(stderr, "the preload did not reach its threshold\n");
            return 1;
        }
        Deviation measured, truth;
        bool broke = false;
        hold.hold(target, 600, [&](const VirtualHold::Poll& p) {
            measured.add(p.measured / target - 1);
            truth.add(p.truth / target - 1);
            broke = broke || p.broken;
        });
        std::printf("10-minute hold at 80 %% of the strength (%.2f N, band +-%.3f N = %.2f %%), %s:\n",
                    target, HoldControl::Tolerance(target), 100 * HoldControl::Tolerance(target) / target,
                    broke ? "the fiber broke" : "no break");
        measured.print("as the program reads it:");
        truth.print("on the fiber:");
        std::printf("  %d corrections, stiffness %.5f N/step\n", hold.control->corrections(),
                    hold.control->stiffness());
    }

    // 2. The program's static run in real time, its CPU.
    {
        SimConfig config = SimTest::quietConfig(5);
        config.noiseAu = 2;
        config.instant = false;
        config.takeUpSteps = 200;
        config.gaugeMm = 100;
        MotionRig rig(config);
        Fiber fiber(rig.params, rig.op);
        BreakSound sound(rig.params, rig.op);
        sound.setPlayer([](const QString&) { return true; });
        Rows rows;
        BreakRun breakRun(rig.params, fiber, rig.link, rig.loadCell, rig.motion, rig.run, sound, rig.op,
                          rig.end, rows);
        if (!rig.start()) {
            std::fprintf(stderr, "cannot start the simulator\n");
            return 1;
        }
        LoadCalibration& cal = rig.loadCell.record(0);
        cal.Slope = CalField::number(51);
        cal.SlopeError = CalField::number(0.1);
        cal.Intercept = CalField::number(100);
        cal.ZeroOffset = CalField::number(0);
        rig.params.GaugeLength = 100;
        rig.params.ExptType = 3;
        rig.params.PreloadType = 2;
        rig.params.PreloadStress = 4000;
        rig.params.StaticMaxHold = realSeconds / 3600;
        rig.op.failOnUnexpected = false;
        rig.op.answer(MsgResult::No); // no run-out row
        const double cpuBefore = threadCpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        breakRun.stavelyRunToBreak();
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        const double cpu = threadCpuSeconds() - cpuBefore;
        int polls = 0;
        for (const QByteArray& c : rig.commands())
            polls += c == "L" ? 1 : 0;
        std::printf("real-time static run (preload, %.0f s hold, unload): %.2f s wall, %d polls\n",
                    realSeconds, wall, polls);
        std::printf("  CPU of the program's thread: %.3f s = %.2f %% of one core\n", cpu, 100 * cpu / wall);
    }
    return 0;
}
