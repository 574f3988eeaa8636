#pragma once

#include <QString>
#include <QStringList>

// The entries of the options window's break-sound list and how BreakSound maps onto them.
namespace SoundList {
// "Beep (default)" first, then every file in the sounds folder by name, as the folder lists them where letter
// case does not matter; a missing folder leaves the first entry alone.
QStringList Entries(const QString& soundsFolder);
// The entry BreakSound selects: the first file entry equal to it regardless of letter case, or 0
// ("Beep (default)") when it is "Beep" or names no file there.
int SelectedIndex(const QStringList& entries, const QString& breakSound);
// BreakSound for a selected entry: the entry's text, "Beep" for the first entry or none.
QString BreakSoundFor(const QStringList& entries, int index);
} // namespace SoundList
