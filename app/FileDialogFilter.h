#pragma once

#include <QString>

// The program writes file filters as "Description (*.ini)|*.ini|All files (*.*)|*.*"; the file
// dialog wants "Description (*.ini);;All files (*)".
namespace FileDialogFilter {
QString toQt(const QString& filter);
}
