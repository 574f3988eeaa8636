#include "base/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {
constexpr double TwipsPerInch = 1440;
constexpr double FallbackDpi = 96;
} // namespace

double logicalDotsPerInch() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            if (screen->logicalDotsPerInch() > 0)
                return screen->logicalDotsPerInch();
    return FallbackDpi;
}

int twipsToPixels(double twips) {
    return int(std::lround(twips * logicalDotsPerInch() / TwipsPerInch));
}

double pixelsToTwips(int pixels) {
    return pixels * TwipsPerInch / logicalDotsPerInch();
}
