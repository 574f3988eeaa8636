// From Yes to "REPORT RESULTS" to the "LOAD TIME PROFILES" window shown, for each rate type, on the
// simulator's default fiber (it breaks near 60-70 N) through the whole program: analysis, the row
// appended to the data file, and three charts laid out with their real ranges. Run it on a real
// display (xvfb-run) to count the drawing too. Not run by ctest.
//   bench_yes_to_plots [rounds]

#include "tests/e2e/DefaultFiberRig.h"

#include <QApplication>
#include <algorithm>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const struct {
        const char* name;
        const char* type;
        const char* key;
        const char* rate;
    } runs[] = {{"speed 5000 um/s", "0", "ExptSpeed", "5000"},
                {"stress rate 600 MPa/s", "1", "ExptStressRate", "600"},
                {"strain rate 50 %/min", "2", "ExptStrainRate", "50"}};
    std::printf("Yes to plot window shown, default fiber, %s platform\n", qPrintable(app.platformName()));
    int failures = 0;
    for (const auto& run : runs) {
        for (int round = 0; round < rounds; ++round) {
            DefaultFiberRig rig;
            rig.onPlots = [](frmLoadTimePlots& plots) { plots.cmdClose->click(); };
            if (!rig.start({{QStringLiteral("ExptType"), QLatin1String(run.type)},
                            {QLatin1String(run.key), QLatin1String(run.rate)},
                            {QStringLiteral("PreloadType"), QStringLiteral("0")}})) {
                std::printf("%-24s  the program did not start\n", run.name);
                ++failures;
                continue;
            }
            rig.op->failOnUnexpected = false;
            rig.breakFiber();
            const QStringList rows = rig.resultLines();
            if (!rig.plotsSeen || rows.size() != 1) {
                std::printf("%-24s  no plot window (%d rows)\n", run.name, int(rows.size()));
                ++failures;
                continue;
            }
            std::printf("%-24s  %6lld ms  (break load %s N)\n", run.name, rig.yesToPlotsMs,
                        qPrintable(rows[0].section(QLatin1Char(','), 2, 2)));
        }
    }
    return failures == 0 ? 0 : 1;
}
