#include "base/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
bool holdsProgramFiles(const QString& folder) {
    const QDir dir(folder);
    return QFileInfo(dir.filePath(QStringLiteral("docs"))).isDir() ||
           QFileInfo(dir.filePath(QStringLiteral("Sounds"))).isDir();
}
} // namespace

QString ProgramFolder::choose(const QString& executableFolder) {
    if (holdsProgramFiles(executableFolder))
        return executableFolder;
    const QString installed =
        QDir::cleanPath(executableFolder + QStringLiteral("/../share/") + QStringLiteral("stavely"));
    if (holdsProgramFiles(installed))
        return installed;
    return executableFolder;
}

QString ProgramFolder::path() {
    return choose(QCoreApplication::applicationDirPath());
}
