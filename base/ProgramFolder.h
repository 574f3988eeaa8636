#pragma once

#include <QString>

// Where the program's own files are (the manual in "docs", the sounds in "Sounds", the distributed
// calibration file). In a build folder they sit beside the executable; an installed program keeps
// them in ../share/stavely relative to it.
namespace ProgramFolder {
// The first of the two places that holds the program's files; the executable's folder when neither does.
QString path();
// Decides between the executable's folder and the installed share folder (for tests).
QString choose(const QString& executableFolder);
} // namespace ProgramFolder
