#include "app/SystemInfoTool.h"

#include <QFileInfo>
#include <QProcess>
#include <QSettings>

QString SystemInfoTool::findPath(const SettingReader& read, const FileExists& exists) {
    const QString path =
        read(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), QStringLiteral("PATH"));
    if (!path.isEmpty())
        return path;
    const QString folder =
        read(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"), QStringLiteral("MSINFO"));
    if (folder.isEmpty())
        return {};
    const QString tool = folder + QStringLiteral("\\MSINFO32.EXE");
    return exists(tool) ? tool : QString();
}

QString SystemInfoTool::findPathHere() {
#ifdef Q_OS_WIN
    const auto read = [](const QString& key, const QString& value) {
        QSettings machine(QStringLiteral("HKEY_LOCAL_MACHINE\\") + key, QSettings::NativeFormat);
        return machine.value(value).toString();
    };
    return findPath(read, [](const QString& path) { return QFileInfo::exists(path); });
#else
    return {};
#endif
}

bool SystemInfoTool::start(const QString& path) {
    return QProcess::startDetached(
        path, {QStringLiteral("/categories"), QStringLiteral("+ComponentsParallelPorts")});
}
