#pragma once

#include <QMargins>
#include <QRect>

class QWidget;
class SettingsStore;

// A window's position and size, remembered in the product's settings section under the window's
// object name followed by "_Top", "_Left", "_Width" and "_Height", in twips.
void RestoreWindowPlacement(const SettingsStore& store, QWidget& window);
void SaveWindowPlacement(SettingsStore& store, const QWidget& window);

// Where a window whose client area is `client` goes on a screen's available area, given the frame
// the window system draws around it: no larger than the screen, and wholly on it (a placement
// remembered on a larger screen comes back into view).
QRect PlaceOnScreen(const QRect& client, const QMargins& frame, const QRect& available);
// The same for a window on its screen (the primary one before it is shown).
void FitOnScreen(QWidget& window);
