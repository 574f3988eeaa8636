#include "params/WindowPlacement.h"

#include "base/Twips.h"
#include "params/NumberFormat.h"
#include "params/SettingText.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
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
    FitOnScreen(window);
}

QRect PlaceOnScreen(const QRect& client, const QMargins& frame, const QRect& available) {
    const int width = std::min(client.width(), available.width() - frame.left() - frame.right());
    const int height = std::min(client.height(), available.height() - frame.top() - frame.bottom());
    QRect outer(client.left() - frame.left(), client.top() - frame.top(),
                width + frame.left() + frame.right(), height + frame.top() + frame.bottom());
    outer.moveLeft(std::clamp(outer.left(), available.left(), available.right() + 1 - outer.width()));
    outer.moveTop(std::clamp(outer.top(), available.top(), available.bottom() + 1 - outer.height()));
    return outer.marginsRemoved(frame);
}

void FitOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    // Before the first show the window system has drawn no frame yet: room is left for a usual one,
    // or a window placed at the screen's top edge gets its title bar drawn above the screen.
    QMargins frame(window.geometry().left() - window.frameGeometry().left(),
                   window.geometry().top() - window.frameGeometry().top(),
                   window.frameGeometry().right() - window.geometry().right(),
                   window.frameGeometry().bottom() - window.geometry().bottom());
    // A child widget is placed inside its parent, not on the screen.
    if (!window.isWindow())
        return;
    const QRect available = screen->availableGeometry();
    const bool frameKnown = !frame.isNull();
    if (!frameKnown && !window.windowFlags().testFlag(Qt::FramelessWindowHint))
        frame = QMargins(4, 30, 4, 4);
    const QRect place = PlaceOnScreen(window.geometry(), frame, available);
    if (place.size() != window.size())
        window.resize(place.size());
    // move() places the frame where there is one: shift by what the client area has to move. A
    // window not shown yet is placed by its frame when the window manager draws it; one shown
    // before its frame came is placed by its client area.
    const QPoint shift = place.topLeft() - window.geometry().topLeft();
    if (shift.isNull())
        return;
    if (!frameKnown && !window.testAttribute(Qt::WA_WState_Created))
        window.move(place.topLeft() - QPoint(frame.left(), frame.top()));
    else
        window.move(window.pos() + shift);
}

void SaveWindowPlacement(SettingsStore& store, const QWidget& window) {
    save(store, window, "Top", window.y());
    save(store, window, "Left", window.x());
    save(store, window, "Width", window.width());
    save(store, window, "Height", window.height());
}
