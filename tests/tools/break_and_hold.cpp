// Breaks the simulator's default fiber at 600 MPa/s, answers Yes, and holds the plot window open:
// "PLOTS <data file>" on stdout says it is showing. For tests that kill the program at that moment.
//   break_and_hold FOLDER
#include "tests/e2e/DefaultFiberRig.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: break_and_hold FOLDER\n");
        return 2;
    }
    DefaultFiberRig rig(QString::fromLocal8Bit(argv[1]));
    rig.onPlots = [&rig](frmLoadTimePlots&) {
        std::printf("PLOTS %s\n", qPrintable(rig.dataFile()));
        std::fflush(stdout);
    };
    if (!rig.start({{QStringLiteral("ExptType"), QStringLiteral("1")},
                    {QStringLiteral("ExptStressRate"), QStringLiteral("600")},
                    {QStringLiteral("PreloadType"), QStringLiteral("0")}})) {
        std::fprintf(stderr, "the program did not start\n");
        return 3;
    }
    rig.op->failOnUnexpected = false;
    // Nobody came to end it.
    QTimer::singleShot(300000, [] { std::_Exit(4); });
    rig.breakFiber();
    std::fprintf(stderr, "the plot window closed or never showed\n");
    return 5;
}
