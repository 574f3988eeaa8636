// A whole break run of about 60 s on the paced simulator (19200 baud), through the program's real
// serial link, motion and break run: the program's own CPU per status exchange beside the wire time of
// that exchange, and the share of one core the user-interface thread spent over the pull. The
// simulator runs on its own thread and is not counted. Not run by ctest.

#include "experiments/BreakRun.h"
#include "experiments/Fiber.h"
#include "instrument/BreakSound.h"
#include "results/ResultAppender.h"
#include "tests/bench/ThreadCpu.h"
#include "tests/e2e/MotionRig.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

class NoFile : public ResultAppender {
public:
    bool AppendResult(const QStringList&) override { return true; }
};

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    SimConfig config;
    config.instant = false;
    config.strengthGpa = 3;
    config.weibullShape = 0;
    MotionRig rig(config);
    rig.op.failOnUnexpected = false;
    if (!rig.start()) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return 1;
    }
    LoadCalibration& cal = rig.loadCell.record(0);
    cal.Slope = CalField::number(51);
    cal.SlopeError = CalField::number(0.1);
    cal.Intercept = CalField::number(100);
    cal.ZeroOffset = CalField::number(0);

    // The exchange alone: wall time against the time its 35 characters take on the line.
    const int exchanges = 100;
    double cpu0 = threadCpuSeconds();
    double wall0 = wallSeconds();
    for (int i = 0; i < exchanges; ++i)
        rig.link.GetLoadStatus();
    const double exchangeWall = (wallSeconds() - wall0) / exchanges;
    const double exchangeCpu = (threadCpuSeconds() - cpu0) / exchanges;
    const double wire = (2 + 33) * config.charMs / 1000; // "L" CR, then "L" + 30 hex digits + CR LF

    Fiber fiber(rig.params, rig.op);
    BreakSound sound(rig.params, rig.op);
    NoFile results;
    BreakRun breakRun(rig.params, fiber, rig.link, rig.loadCell, rig.motion, rig.run, sound, rig.op, rig.end,
                      results);
    rig.params.ExptType = 1;
    rig.params.MaxStepRate = 5000;
    std::printf(
        "status exchange alone: %.2f ms wall, wire time %.2f ms (19200 baud, 8N2), program CPU %.3f ms\n",
        exchangeWall * 1000, wire * 1000, exchangeCpu * 1000);

    // The pull with the moving window drawn at every poll, then without any window: what the poll
    // loop's own work costs, apart from painting.
    struct Pull {
        const char* what;
        float stressRate;
        bool window;
    };
    for (const Pull& pull :
         {Pull{"with the moving window", 50, true}, Pull{"without a window", 150, false}}) {
        rig.params.ExptStressRate = pull.stressRate; // 3 GPa in 60 s, then in 20 s
        rig.motion.setView(pull.window ? &rig.window : nullptr);
        rig.op.answerWith([](const Prompt&) { return QVariant(int(MsgResult::No)); });
        rig.link.SetLoadSampling(-1, 256);
        rig.motion.MoveTo(0, 5000, 0, 0, QStringLiteral("LOAD"));
        rig.sim.threadFiber();
        rig.sim.clearCommandLog();

        cpu0 = threadCpuSeconds();
        wall0 = wallSeconds();
        breakRun.stavelyRunToBreak();
        const double pullWall = wallSeconds() - wall0;
        const double pullCpu = threadCpuSeconds() - cpu0;
        const QList<QByteArray> log = rig.sim.commandLog();
        const auto polls = log.count("L");
        const auto corrections =
            std::count_if(log.begin(), log.end(), [](const QByteArray& c) { return c.startsWith('v'); });
        std::printf("break run %s: result %d, %.1f s, %lld status exchanges, %lld speed corrections\n",
                    pull.what, rig.motion.MoveResult(), pullWall, qint64(polls), qint64(corrections));
        std::printf("  program CPU per status exchange in the poll loop: %.3f ms (aim <= 0.2 ms)\n",
                    polls > 0 ? pullCpu * 1000 / double(polls) : 0.0);
        std::printf("  user-interface thread over the pull: %.2f s CPU in %.1f s = %.2f %% of one core (aim "
                    "<= 3 %%)\n",
                    pullCpu, pullWall, 100 * pullCpu / pullWall);
    }
    return 0;
}
