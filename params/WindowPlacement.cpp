#include "params/WindowPlacement.h"

#include "base/Twips.h"
#include "params/NumberFormat.h"
#include "params/SettingText.h"

#include <QWidget>
#include <cmath>

namespace {
QString valueName(const QWidget& window, const char* property) {
    return window.objectName() + QLatin1Char('_') + QLatin1String(property);
}

// Far beyond any screen, and small enough that the pixels fit an int.
constexpr double MaxTwips = 1e6;

// The stored twips, or the current pixels when the value is missing, not a number or out of range.
int restored(const SettingsStore& store, const QWidget& window, const char* property, int current) {
    const QString fallback = numberText(float(pixelsToTwips(current)));
    const auto twips = toNumber(GetSettingText(store, true, valueName(window, property), fallback));
    if (!twips || !(std::abs(*twips) <= MaxTwips))
        return current;
    return twipsToPixels(float(*twips));
}

void save(SettingsStore& store, const QWidget& window, const char* property, int pixels) {
    SaveSettingText(store, true, valueName(window, property), numberText(float(pixelsToTwips(pixels))));
}
} // namespace

void RestoreWindowPlacement(const SettingsStore& store, QWidget& window) {
    // Position of the frame, size of the client area: the same pair SaveWindowPlacement writes.
    const int top = restored(store, window, "Top", window.y());
    window.move(window.x(), top);
    const int left = restored(store, window, "Left", window.x());
    window.move(left, window.y());
    const int width = restored(store, window, "Width", window.width());
    window.resize(width, window.height());
    const int height = restored(store, window, "Height", window.height());
    window.resize(window.width(), height);
}

void SaveWindowPlacement(SettingsStore& store, const QWidget& window) {
    save(store, window, "Top", window.y());
    save(store, window, "Left", window.x());
    save(store, window, "Width", window.width());
    save(store, window, "Height", window.height());
}
