#include "instrument/BreakSound.h"

#include "base/Operator.h"
#include "base/ProgramFolder.h"
#include "instrument/MotionTexts.h"
#include "params/Parameters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

BreakSound::BreakSound(Parameters& params, Operator& op, const QString& soundsFolder, QObject* parent)
    : QObject(parent), m_params(params), m_op(op), m_folder(soundsFolder) {
    tmrSounds.setObjectName(QStringLiteral("tmrSounds"));
    connect(&tmrSounds, &QTimer::timeout, this, &BreakSound::PlaySound);
}

BreakSound::~BreakSound() = default;

QString BreakSound::DefaultSoundsFolder() {
    return QDir(ProgramFolder::path()).filePath(MotionTexts::SoundsFolder);
}

void BreakSound::StartBreakSound() {
    PlaySound();
    if (m_params.RepeatSounds >= 1) {
        tmrSounds.setInterval(int(m_params.RepeatSounds) * 1000);
        tmrSounds.start();
    }
}

void BreakSound::StopBreakSound() {
    tmrSounds.stop();
}

QString BreakSound::SoundFile() const {
    const QString name = m_params.BreakSound;
    if (name == MotionTexts::Beep || name.trimmed().isEmpty())
        return {};
    // Only a file inside the sounds folder is played, whatever the setting holds.
    const QString fileName = QFileInfo(name).fileName();
    const QDir folder(m_folder);
    if (fileName.isEmpty() || !folder.exists())
        return {};
    if (QFileInfo(folder.filePath(fileName)).isFile())
        return folder.filePath(fileName);
    // Names are chosen on systems where letter case does not matter.
    const QStringList files = folder.entryList(QDir::Files);
    for (const QString& file : files)
        if (file.compare(fileName, Qt::CaseInsensitive) == 0)
            return folder.filePath(file);
    return {};
}

void BreakSound::PlaySound() {
    const QString path = SoundFile();
    if (path.isEmpty() || !(m_player ? m_player(path) : playWave(path)))
        m_op.beep();
}

bool BreakSound::playWave(const QString& path) {
    if (!QFileInfo(path).isReadable())
        return false;
    if (m_effect == nullptr) {
        m_effect = new QSoundEffect(this);
        // A file that turns out not to be a playable wave still calls the operator.
        connect(m_effect, &QSoundEffect::statusChanged, this, [this] {
            if (m_effect->status() == QSoundEffect::Error)
                m_op.beep();
        });
    }
    const QUrl source = QUrl::fromLocalFile(path);
    if (m_effect->source() != source) {
        m_effect->setSource(source);
    } else {
        if (m_effect->status() == QSoundEffect::Error)
            return false;
        m_effect->stop();
    }
    m_effect->play();
    return true;
}
