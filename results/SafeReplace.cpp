#include "results/SafeReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
FileFault systemFault(int number, const QString& what) {
    return {number, what};
}

#ifndef Q_OS_WIN
FileFault errnoFault(int code) {
    int number = 57;
    if (code == EACCES || code == EPERM || code == EROFS)
        number = 70;
    else if (code == ENOSPC || code == EDQUOT)
        number = 61;
    else if (code == ENOENT || code == ENOTDIR)
        number = 76;
    return systemFault(number, QString::fromLocal8Bit(std::strerror(code)));
}

void syncFolder(const QString& path) {
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
#else
FileFault lastErrorFault() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString description = text ? QString::fromWCharArray(text).trimmed() : QString::number(code);
    LocalFree(text);
    int number = 57;
    if (code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT || code == ERROR_SHARING_VIOLATION)
        number = 70;
    else if (code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL)
        number = 61;
    else if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
        number = 76;
    return systemFault(number, description);
}

std::wstring native(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}
#endif

// Flushes the file's bytes through every cache to the disc.
bool syncToDisc(QFile& file) {
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()))) != 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// The new contents in a temporary file beside the target, on the disc; its name, or a fault.
std::optional<FileFault> writeTemporary(const QString& target, const QByteArray& contents,
                                        QString& tempName) {
    const QFileInfo info(target);
    QTemporaryFile temp(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                        QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(false);
    if (!temp.open())
        return FileFault::of(temp);
    tempName = temp.fileName();
    if (info.exists())
        temp.setPermissions(info.permissions());
    else
        temp.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup |
                            QFile::ReadOther);
    if (temp.write(contents) != contents.size() || !syncToDisc(temp)) {
        const FileFault fault = FileFault::of(temp);
        temp.close();
        QFile::remove(tempName);
        return fault.description.isEmpty() ? FileFault{61, QStringLiteral("Disk full")} : fault;
    }
    temp.close();
    return std::nullopt;
}

// Moves the temporary file over the target in one step.
std::optional<FileFault> moveOver(const QString& tempName, const QString& target) {
#ifdef Q_OS_WIN
    if (!MoveFileExW(native(tempName).c_str(), native(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const FileFault fault = lastErrorFault();
        QFile::remove(tempName);
        return fault;
    }
#else
    if (::rename(QFile::encodeName(tempName).constData(), QFile::encodeName(target).constData()) != 0) {
        const FileFault fault = errnoFault(errno);
        QFile::remove(tempName);
        return fault;
    }
    syncFolder(target);
#endif
    return std::nullopt;
}

std::optional<FileFault> deleteBackup(const QString& backup) {
    const QFileInfo info(backup);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    // Even a read-only backup goes.
    QFile::setPermissions(backup, info.permissions() | QFile::WriteOwner | QFile::WriteUser);
    QFile file(backup);
    if (!file.remove())
        return FileFault::of(file);
    return std::nullopt;
}
} // namespace

QString SafeReplace::Target(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.symLinkTarget();
        if (!target.isEmpty())
            return target;
    }
    return info.absoluteFilePath();
}

SafeReplace::Outcome SafeReplace::Rewrite(const QString& path, const QString& backup,
                                          const QByteArray& contents) {
    const QString target = Target(path);
    Outcome outcome;
    if (const auto fault = deleteBackup(backup)) {
        outcome.failed = Stage::DeleteBackup;
        outcome.fault = *fault;
        return outcome;
    }
    QString tempName;
#ifdef Q_OS_WIN
    if (const auto fault = writeTemporary(target, contents, tempName)) {
        outcome.failed = Stage::Write;
        outcome.fault = *fault;
        return outcome;
    }
    if (!QFileInfo::exists(target)) {
        if (auto fault = moveOver(tempName, target)) {
            outcome.failed = Stage::Write;
            outcome.fault = *fault;
        }
        return outcome;
    }
    // The old file becomes the backup and the new one takes its name in one call.
    if (!ReplaceFileW(native(target).c_str(), native(tempName).c_str(), native(backup).c_str(),
                      REPLACEFILE_WRITE_THROUGH, nullptr, nullptr)) {
        const FileFault fault = lastErrorFault();
        QFile::remove(tempName);
        outcome.failed = QFileInfo::exists(backup) ? Stage::Write : Stage::SaveBackup;
        outcome.fault = fault;
    }
    return outcome;
#else
    // The old contents get the backup's name as well; the data file's name keeps pointing at them.
    if (QFileInfo::exists(target) &&
        ::link(QFile::encodeName(target).constData(), QFile::encodeName(backup).constData()) != 0) {
        const int code = errno;
        // Folders that cannot hold hard links get a copy, on the disc before the file is replaced.
        QFile copy(target);
        bool copied = copy.copy(backup);
        if (copied) {
            QFile bak(backup);
            copied = bak.open(QIODevice::ReadWrite) && syncToDisc(bak);
        }
        if (!copied) {
            outcome.failed = Stage::SaveBackup;
            outcome.fault = errnoFault(code);
            return outcome;
        }
    }
    if (auto fault = writeTemporary(target, contents, tempName)) {
        outcome.failed = Stage::Write;
        outcome.fault = *fault;
        return outcome;
    }
    if (auto fault = moveOver(tempName, target)) {
        outcome.failed = Stage::Write;
        outcome.fault = *fault;
    }
    return outcome;
#endif
}

std::optional<FileFault> SafeReplace::WriteWhole(const QString& path, const QByteArray& contents) {
    const QString target = Target(path);
    QString tempName;
    if (auto fault = writeTemporary(target, contents, tempName))
        return fault;
    return moveOver(tempName, target);
}

std::optional<FileFault> SafeReplace::AppendSynced(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    // Append to what is there; never create a file that has gone (the caller decides what then).
    if (!file.exists())
        return FileFault{53, QStringLiteral("File not found")};
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return FileFault::of(file);
    const qint64 before = file.isSequential() ? -1 : file.size();
    if (file.write(bytes) != bytes.size() || !syncToDisc(file)) {
        FileFault fault = FileFault::of(file);
        if (fault.description.isEmpty())
            fault = {61, QStringLiteral("Disk full")};
        // No half line stays behind to be read as a damaged result.
        if (before >= 0)
            file.resize(before);
        return fault;
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        return FileFault::of(file);
    return std::nullopt;
}
