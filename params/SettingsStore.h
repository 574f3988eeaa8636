#pragma once

#include <QString>
#include <memory>

class QSettings;

// The per-user settings store: one INI file, sections by product, every value text.
class SettingsStore {
public:
    explicit SettingsStore(const QString& filePath);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // <user config folder>/Corvane/Corvane.ini, or Corvane-simulator.ini for the simulated instrument.
    static QString defaultFilePath(bool simulator);

    QString filePath() const;
    bool contains(const QString& section, const QString& name) const;
    QString getText(const QString& section, const QString& name, const QString& fallback) const;
    void saveText(const QString& section, const QString& name, const QString& text);
    void sync();

private:
    std::unique_ptr<QSettings> m_settings;
};
