#pragma once

#include <QString>

class SettingsStore;

// Settings-store values by product: own = true is this product's section, false the section
// shared by all products.
QString settingSection(bool own);
QString GetSettingText(const SettingsStore& store, bool own, const QString& name, const QString& fallback);
void SaveSettingText(SettingsStore& store, bool own, const QString& name, const QString& text);
