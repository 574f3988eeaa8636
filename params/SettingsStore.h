#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <utility>

class QSettings;
class QTemporaryDir;

// The per-user settings store: one INI file, sections by product, every value text. A file that
// cannot be trusted is not read: a device or pipe, binary or UTF-16 content; a line whose quote is
// never closed is dropped rather than let swallow the lines after it. problems() says what was done.
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

    // What opening the file found wrong and did about it, one text each; empty when nothing.
    QStringList problems() const { return m_problems; }
    // The same, once: whoever tells the operator takes them.
    QStringList takeProblems() { return std::exchange(m_problems, {}); }

private:
    // Looks at the file before the settings read it; the path the settings are then read from.
    QString vet(const QString& filePath);

    std::unique_ptr<QTemporaryDir> m_standIn;
    QStringList m_problems;
    std::unique_ptr<QSettings> m_settings;
};
