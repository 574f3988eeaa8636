#pragma once

#include <QString>

// The program writes file filters as "Description (*.ini)|*.ini|All files (*.*)|*.*"; the file
// dialog wants "Description (*.ini);;All files (*)".
namespace FileDialogFilter {
QString toQt(const QString& filter);
// The extension a save dialog adds to a name typed without one: that of the chosen entry's first
// pattern ("Comma separated values (*.csv)" -> "csv"); none for an entry of every file.
QString suffix(const QString& qtEntry);
} // namespace FileDialogFilter
