#pragma once

class QWidget;
class SettingsStore;

// A window's position and size, remembered in the product's settings section under the window's
// object name followed by "_Top", "_Left", "_Width" and "_Height", in twips.
void RestoreWindowPlacement(const SettingsStore& store, QWidget& window);
void SaveWindowPlacement(SettingsStore& store, const QWidget& window);
