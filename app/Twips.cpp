#include "app/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {
constexpr double kTwipsPerInch = 1440.0;
constexpr double kDefaultDpi = 96.0;
} // namespace

double screenLogicalDpi() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const double dpi = screen->logicalDotsPerInch();
            if (dpi > 0)
                return dpi;
        }
    }
    return kDefaultDpi;
}

int twipsToPixels(double twips) {
    return int(std::lround(twips * screenLogicalDpi() / kTwipsPerInch));
}

double pixelsToTwips(int px) {
    return double(px) * kTwipsPerInch / screenLogicalDpi();
}
