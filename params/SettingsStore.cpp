#include "params/SettingsStore.h"

#include "params/OptionsTexts.h"
#include "params/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

namespace {
// No settings file comes near this.
constexpr qint64 MaxSettingsBytes = qint64(16) * 1024 * 1024;

bool binary(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.contains('\0'))
        return true;
    qsizetype controls = 0;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7F)
            ++controls;
    }
    return controls > 0 && controls * 50 > bytes.size();
}

// Whether a line leaves a double quote open at its end, read as the settings read it: a backslash
// escapes the next character and ";" outside quotes starts a comment. The settings would take the
// lines after it into its value up to the next quote.
bool quoteLeftOpen(const QByteArray& line) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c == '\\')
            ++i;
        else if (c == '"')
            quoted = !quoted;
        else if (c == ';' && !quoted)
            break;
    }
    return quoted;
}
} // namespace

SettingsStore::SettingsStore(const QString& filePath) {
    m_settings = std::make_unique<QSettings>(vet(filePath), QSettings::IniFormat);
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::vet(const QString& filePath) {
    namespace T = OptionsTexts;
    const QFileInfo info(filePath);
    if (!info.exists())
        return filePath;
    if (!info.isFile() && !info.isDir()) {
        // Reading a pipe would wait forever and writing would feed it: the settings live in a
        // file of their own for this run.
        m_standIn = std::make_unique<QTemporaryDir>();
        m_problems << T::SettingsFileSpecial(filePath);
        return m_standIn->filePath(QStringLiteral("settings.ini"));
    }
    QString error;
    const std::optional<QByteArray> bytes = RegularFile::ReadAll(filePath, MaxSettingsBytes, &error);
    if (!bytes)
        return filePath;
    if (binary(*bytes)) {
        // Kept aside for whoever wants to look at it; the settings start afresh.
        const QString aside = filePath + QStringLiteral(".unreadable");
        QFile::remove(aside);
        if (!QFile::rename(filePath, aside)) {
            m_standIn = std::make_unique<QTemporaryDir>();
            m_problems << T::SettingsFileUnreadable(filePath, QString());
            return m_standIn->filePath(QStringLiteral("settings.ini"));
        }
        m_problems << T::SettingsFileUnreadable(filePath, aside);
        return filePath;
    }
    // Lines whose quote is never closed are dropped, each value reset to its default.
    const QList<QByteArray> lines = bytes->split('\n');
    QByteArray kept;
    QStringList dropped;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        if (quoteLeftOpen(line)) {
            dropped << QStringLiteral("line %1 (%2)")
                           .arg(i + 1)
                           .arg(QString::fromUtf8(line.left(line.indexOf('=')).trimmed()).left(60));
            continue;
        }
        kept += line;
        if (i + 1 < lines.size())
            kept += '\n';
    }
    if (dropped.isEmpty())
        return filePath;
    QSaveFile repaired(filePath);
    if (!repaired.open(QIODevice::WriteOnly) || repaired.write(kept) != kept.size() || !repaired.commit()) {
        // The file stays as it was; this run reads the lines that are sound.
        m_standIn = std::make_unique<QTemporaryDir>();
        const QString copy = m_standIn->filePath(QStringLiteral("settings.ini"));
        QFile file(copy);
        if (file.open(QIODevice::WriteOnly))
            file.write(kept);
        m_problems << T::SettingsQuoteOpen(filePath, dropped);
        return copy;
    }
    m_problems << T::SettingsQuoteOpen(filePath, dropped);
    return filePath;
}

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
