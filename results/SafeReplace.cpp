#include "results/SafeReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryFile>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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
    else if (code == ENOSPC || code == EDQUOT || code == EFBIG)
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

// A new file gets what the user's mask allows, as any file the user creates; a replaced one keeps
// its own mode.
mode_t modeFor(const QString& target) {
    struct stat st {};
    if (::stat(QFile::encodeName(target).constData(), &st) == 0)
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
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

// Passes writes on to a file and remembers any that the file did not take whole: a streaming writer
// (a PDF, a picture) does not look at what each write returned.
class CheckedWrites : public QIODevice {
public:
    explicit CheckedWrites(QFile& file) : m_file(file) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    bool failed() const { return m_failed; }
    qint64 size() const override { return m_file.size(); }
    bool seek(qint64 pos) override { return QIODevice::seek(pos) && m_file.seek(pos); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override {
        const qint64 written = m_file.write(data, length);
        if (written != length)
            m_failed = true;
        return written;
    }

private:
    QFile& m_file;
    bool m_failed = false;
};

// The new contents in a temporary file beside the target, on the disc; its name, or a fault. `fill`
// writes them: false when a write fell short, with `why` set when the writer itself gave up.
std::optional<FileFault> writeTemporary(const QString& target,
                                        const std::function<bool(QFile&, QString& why)>& fill,
                                        QString& tempName) {
    const QFileInfo info(target);
    QTemporaryFile temp(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                        QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(false);
    if (!temp.open())
        return FileFault::of(temp);
    tempName = temp.fileName();
#ifdef Q_OS_WIN
    if (info.exists())
        temp.setPermissions(info.permissions());
#else
    ::fchmod(temp.handle(), modeFor(target));
#endif
    QString why;
    if (!fill(temp, why) || !syncToDisc(temp)) {
        FileFault fault = why.isEmpty() ? FileFault::of(temp) : FileFault{57, why};
        // A write cut short by a full disc often leaves no error of its own.
        if (why.isEmpty() && (temp.error() == QFileDevice::NoError || fault.description.isEmpty()))
            fault = {61, QStringLiteral("Disk full")};
        temp.close();
        QFile::remove(tempName);
        return fault;
    }
    temp.close();
    return std::nullopt;
}

std::optional<FileFault> writeTemporary(const QString& target, const QByteArray& contents,
                                        QString& tempName) {
    return writeTemporary(
        target, [&contents](QFile& file, QString&) { return file.write(contents) == contents.size(); },
        tempName);
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

#ifdef Q_OS_WIN
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
#else
// A name beside `file` that nothing holds yet, of the same form as the rewrite's temporaries.
QString freeNameBeside(const QString& file) {
    static const QString chars =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
    const QFileInfo info(file);
    QString name;
    do {
        QString suffix;
        for (int i = 0; i < 6; ++i)
            suffix += chars.at(int(QRandomGenerator::global()->bounded(chars.size())));
        name = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') + suffix;
    } while (QFileInfo::exists(name) || QFileInfo(name).isSymLink());
    return name;
}

// A second name for the old contents beside the backup: a hard link, or a copy on the disc where the
// folder cannot hold links. It takes the backup's name only once the new contents are in place.
std::optional<FileFault> holdOldContents(const QString& target, const QString& backup, QString& held) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        held = freeNameBeside(backup);
        if (::link(QFile::encodeName(target).constData(), QFile::encodeName(held).constData()) == 0)
            return std::nullopt;
        const int code = errno;
        if (code == EEXIST)
            continue;
        QFile copy(target);
        bool copied = copy.copy(held);
        if (copied) {
            QFile bak(held);
            copied = bak.open(QIODevice::ReadWrite) && syncToDisc(bak);
        }
        if (!copied) {
            QFile::remove(held);
            held.clear();
            return errnoFault(code);
        }
        return std::nullopt;
    }
    held.clear();
    return errnoFault(EEXIST);
}
#endif
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
    QString tempName;
#ifdef Q_OS_WIN
    // The new contents first: a full disc leaves the older backup alone.
    if (const auto fault = writeTemporary(target, contents, tempName)) {
        outcome.failed = Stage::Write;
        outcome.fault = *fault;
        outcome.oldContentsWhole = QFileInfo::exists(target);
        return outcome;
    }
    // Without a data file the older backup stays: it may be all that is left.
    if (!QFileInfo::exists(target)) {
        if (auto fault = moveOver(tempName, target)) {
            outcome.failed = Stage::Write;
            outcome.fault = *fault;
        }
        return outcome;
    }
    if (const auto fault = deleteBackup(backup)) {
        QFile::remove(tempName);
        outcome.failed = Stage::DeleteBackup;
        outcome.fault = *fault;
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
    // The older backup is kept until the new contents have the data file's name: a rewrite that
    // fails at any step leaves both files as they were.
    const QFileInfo backupInfo(backup);
    if (backupInfo.isDir()) {
        outcome.failed = Stage::DeleteBackup;
        outcome.fault = FileFault{75, QString::fromLocal8Bit(std::strerror(EISDIR))};
        return outcome;
    }
    // Until the rename the file itself is never touched.
    outcome.oldContentsWhole = QFileInfo::exists(target);
    if (auto fault = writeTemporary(target, contents, tempName)) {
        outcome.failed = Stage::Write;
        outcome.fault = *fault;
        return outcome;
    }
    // Without a data file the older backup stays: it may be all that is left.
    QString held;
    if (QFileInfo::exists(target)) {
        if (auto fault = holdOldContents(target, backup, held)) {
            QFile::remove(tempName);
            outcome.failed = Stage::SaveBackup;
            outcome.fault = *fault;
            return outcome;
        }
    }
    if (auto fault = moveOver(tempName, target)) {
        if (!held.isEmpty())
            QFile::remove(held);
        outcome.failed = Stage::Write;
        outcome.fault = *fault;
        return outcome;
    }
    // The old contents become the backup in one step; should that fail, the older backup stays and
    // the data file is already whole.
    if (!held.isEmpty() &&
        ::rename(QFile::encodeName(held).constData(), QFile::encodeName(backup).constData()) != 0)
        QFile::remove(held);
    else if (!held.isEmpty())
        syncFolder(backup);
    return outcome;
#endif
}

std::optional<FileFault> SafeReplace::WriteWhole(const QString& path, const QByteArray& contents) {
    const QString target = Target(path);
    // Replacing by a rename would get past the file's own protection.
    if (ReadOnly(target))
        return FileFault{70, QStringLiteral("Permission denied")};
    QString tempName;
    if (auto fault = writeTemporary(target, contents, tempName))
        return fault;
    return moveOver(tempName, target);
}

std::optional<FileFault> SafeReplace::WriteThrough(const QString& path,
                                                   const std::function<QString(QIODevice&)>& write) {
    const QString target = Target(path);
    if (ReadOnly(target))
        return FileFault{70, QStringLiteral("Permission denied")};
    QString tempName;
    auto fill = [&write](QFile& file, QString& why) {
        CheckedWrites device(file);
        why = write(device);
        // A write that fell short is the reason, whatever the writer made of it.
        if (device.failed())
            why.clear();
        return why.isEmpty() && !device.failed() && file.error() == QFileDevice::NoError;
    };
    if (auto fault = writeTemporary(target, fill, tempName))
        return fault;
    return moveOver(tempName, target);
}

std::optional<FileFault> SafeReplace::AppendSynced(const QString& path, const QByteArray& bytes,
                                                   bool* tailLeft) {
    if (tailLeft)
        *tailLeft = false;
    // Append to what is there; never create a file that has gone (the caller decides what then).
    if (!QFileInfo::exists(path))
        return FileFault{53, QStringLiteral("File not found")};
#ifdef Q_OS_WIN
    QFile file(path);
    // Unbuffered: a failed write leaves nothing behind in a buffer to be flushed later.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        return FileFault::of(file);
    const qint64 before = file.size();
    QByteArray line = bytes;
    if (before > 0 && file.seek(before - 1) && file.peek(1) != "\n")
        line.prepend("\r\n");
    file.seek(before);
    if (file.write(line) != line.size() || !syncToDisc(file)) {
        FileFault fault = FileFault::of(file);
        if (fault.description.isEmpty())
            fault = {61, QStringLiteral("Disk full")};
        // No half line stays behind to be read as a damaged result.
        if (_chsize_s(file.handle(), before) != 0 || !syncToDisc(file)) {
            if (tailLeft)
                *tailLeft = true;
        }
        return fault;
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        return FileFault::of(file);
    return std::nullopt;
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return errnoFault(errno);
    struct stat st {};
    const qint64 before = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? qint64(st.st_size) : -1;
    QByteArray line;
    char last = '\n';
    if (before > 0 && ::pread(fd, &last, 1, off_t(before - 1)) == 1 && last != '\n')
        line = "\r\n";
    line += bytes;

    int code = 0;
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.constData() + done, size_t(line.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            code = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    if (code == 0 && ::fsync(fd) != 0)
        code = errno;
    if (code != 0) {
        // No half line stays behind to be read as a damaged result: cut the file back to where it
        // ended, on the descriptor itself (nothing is buffered that could fail again first).
        if (before >= 0 && (::ftruncate(fd, off_t(before)) != 0 || ::fsync(fd) != 0) && tailLeft)
            *tailLeft = true;
        ::close(fd);
        return errnoFault(code);
    }
    if (::close(fd) != 0)
        return errnoFault(errno);
    return std::nullopt;
#endif
}

bool SafeReplace::ReadOnly(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return false;
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(native(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return true;
#else
    // The read-only attribute of other systems: nobody may write it, whoever asks.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & 0222) == 0 &&
        S_ISREG(st.st_mode))
        return true;
#endif
    return !info.isWritable();
}

bool SafeReplace::SameFile(const QString& a, const QString& b) {
#ifdef Q_OS_WIN
    auto identity = [](const QString& path, BY_HANDLE_FILE_INFORMATION& info) {
        const HANDLE handle =
            CreateFileW(native(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        const bool ok = GetFileInformationByHandle(handle, &info) != 0;
        CloseHandle(handle);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    if (identity(a, x) && identity(b, y))
        return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
               x.nFileIndexLow == y.nFileIndexLow;
    return QFileInfo(a).absoluteFilePath().compare(QFileInfo(b).absoluteFilePath(), Qt::CaseInsensitive) == 0;
#else
    struct stat x {
    }, y{};
    if (::stat(QFile::encodeName(a).constData(), &x) == 0 &&
        ::stat(QFile::encodeName(b).constData(), &y) == 0)
        return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
    // A file that is not there yet is the same only by its name.
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
#endif
}

int SafeReplace::RemoveStaleTemporaries(const QString& path) {
    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    const QRegularExpression own(QStringLiteral("^\\.") + QRegularExpression::escape(info.fileName()) +
                                 QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    int removed = 0;
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString& name : names)
        if (own.match(name).hasMatch() && QFile::remove(folder.filePath(name)))
            ++removed;
    return removed;
}
