#include "params/SettingText.h"

#include "base/ProductIdentity.h"
#include "params/SettingsStore.h"

QString settingSection(bool own) {
    return own ? ProductIdentity::AppTitle : ProductIdentity::SharedSection;
}

QString GetSettingText(const SettingsStore& store, bool own, const QString& name, const QString& fallback) {
    return store.getText(settingSection(own), name, fallback);
}

void SaveSettingText(SettingsStore& store, bool own, const QString& name, const QString& text) {
    store.saveText(settingSection(own), name, text);
}
