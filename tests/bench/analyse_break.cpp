// Times the analysis of a break over a full ring of 1000 samples: as a wrapped ring leaves them (two
// ordered runs) and in the worst order for the exchange sort (reversed). Not run by ctest.

#include "experiments/BreakAnalysis.h"
#include "experiments/Fiber.h"
#include "experiments/LoadTimeRecorder.h"
#include "params/Parameters.h"
#include "tests/support/ScriptedOperator.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

// Fills the ring with a loading curve and its break; "reversed" stores the samples newest first.
void fill(LoadTimeRecorder& rec, double& clock, bool reversed) {
    rec.LtStart(0.05f);
    const int n = 1100;
    for (int i = 0; i < n; ++i) {
        const int k = reversed ? n - 1 - i : i;
        const double t = 0.05 * k;
        const double load = k < n - 3 ? 0.04 * k : 1;
        clock = t;
        rec.setLtNextLoad(float(load) - 1);
        rec.LtSample(float(load), 300 + 40 * k, t, 800);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Parameters params;
    ScriptedOperator op;
    op.failOnUnexpected = false;
    Fiber fiber(params, op);
    BreakAnalysis analysis(params, fiber, op);

    for (const bool reversed : {false, true}) {
        std::vector<double> ms, display;
        for (int run = 0; run < 30; ++run) {
            double clock = 0;
            LoadTimeRecorder rec;
            rec.setClock([&clock] { return clock; });
            fill(rec, clock, reversed);
            const auto before = std::chrono::steady_clock::now();
            const BreakResult r = analysis.Analyse(rec);
            const auto analysed = std::chrono::steady_clock::now();
            const LoadTimePlotData plots = BreakAnalysis::Plots(rec, r, 1);
            ms.push_back(std::chrono::duration<double, std::milli>(analysed - before).count());
            display.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - analysed)
                    .count());
            if (r.LtCount != 1000 || plots.dataText.isEmpty()) {
                std::fprintf(stderr, "unexpected analysis: %d samples\n", r.LtCount);
                return 1;
            }
        }
        std::sort(ms.begin(), ms.end());
        std::sort(display.begin(), display.end());
        std::printf("1000 samples, %s: AnalyseBreak median %.3f ms, max %.3f ms (aim <= 5 ms); charts and "
                    "data text median %.3f ms\n",
                    reversed ? "reversed order (worst case)" : "wrapped ring", ms[ms.size() / 2], ms.back(),
                    display[display.size() / 2]);
    }
    return 0;
}
