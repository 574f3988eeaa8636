#include "params/SoundList.h"

#include "params/OptionsTexts.h"

#include <QDir>

QStringList SoundList::Entries(const QString& soundsFolder) {
    QStringList entries{OptionsTexts::BeepEntry};
    const QDir folder(soundsFolder);
    if (!soundsFolder.isEmpty() && folder.exists())
        entries += folder.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    return entries;
}

int SoundList::SelectedIndex(const QStringList& entries, const QString& breakSound) {
    if (breakSound == OptionsTexts::Beep)
        return 0;
    for (int i = 1; i < entries.size(); ++i)
        if (entries[i].compare(breakSound, Qt::CaseInsensitive) == 0)
            return i;
    return 0;
}

QString SoundList::BreakSoundFor(const QStringList& entries, int index) {
    if (index <= 0 || index >= entries.size())
        return OptionsTexts::Beep;
    return entries[index];
}
