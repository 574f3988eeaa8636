#include "params/RegularFile.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool RegularFile::Is(const QString& path) {
    return QFileInfo(path).isFile();
}

bool RegularFile::IsSpecial(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
}

std::optional<QByteArray> RegularFile::ReadAll(const QString& path, qint64 maxBytes, QString* error) {
    auto fail = [error](const QString& why) -> std::optional<QByteArray> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QFile file;
#ifdef Q_OS_WIN
    if (IsSpecial(path))
        return fail(NotRegularText);
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
#else
    // Opened without waiting (a pipe without a writer would block the open itself), then looked at
    // through the descriptor, so that nothing can be put in its place in between.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(st.st_mode) ? QStringLiteral("It is a directory, not a file") : NotRegularText);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
#endif
    if (file.size() > maxBytes)
        return fail(QStringLiteral("The file is too large (%1 bytes)").arg(file.size()));
    QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    if (bytes.size() > maxBytes)
        return fail(QStringLiteral("The file is too large"));
    return bytes;
}
