#include "params/SettingsStore.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

SettingsStore::SettingsStore(const QString& filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::defaultFilePath(bool simulator) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return folder + (simulator ? QStringLiteral("/Corvane/Corvane-simulator.ini")
                               : QStringLiteral("/Corvane/Corvane.ini"));
}

QString SettingsStore::filePath() const {
    return m_settings->fileName();
}

bool SettingsStore::contains(const QString& section, const QString& name) const {
    return m_settings->contains(section + QLatin1Char('/') + name);
}

QString SettingsStore::getText(const QString& section, const QString& name, const QString& fallback) const {
    const QVariant value = m_settings->value(section + QLatin1Char('/') + name);
    if (!value.isValid())
        return fallback;
    // A hand-edited value with unquoted commas reads back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void SettingsStore::saveText(const QString& section, const QString& name, const QString& text) {
    m_settings->setValue(section + QLatin1Char('/') + name, text);
}

void SettingsStore::sync() {
    m_settings->sync();
}
