#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Files read from outside are read only when they are ordinary files: a pipe would block the
// program until someone writes to it, a device may never end.
namespace RegularFile {
// What the operator is told about a path that names a device, a pipe or a socket.
inline const QString NotRegularText = QStringLiteral("It is a device or other special file, not a file");

// Whether the path names an ordinary file (links followed).
bool Is(const QString& path);
// Whether the path names something that is there but is no ordinary file (nor a folder).
bool IsSpecial(const QString& path);

// The whole file, read without ever waiting on a pipe; nullopt with *error set when it is no
// ordinary file, cannot be read or is larger than maxBytes.
std::optional<QByteArray> ReadAll(const QString& path, qint64 maxBytes, QString* error = nullptr);
} // namespace RegularFile
