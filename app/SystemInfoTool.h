#pragma once

#include <QString>
#include <functional>

// Where the operating system's system-information tool lives, for the About window.
namespace SystemInfoTool {
// Reads a machine-wide setting (key path under the local machine, value name); empty when missing.
using SettingReader = std::function<QString(const QString& key, const QString& value)>;
using FileExists = std::function<bool(const QString& path)>;

// The tool's path from the two places it is registered; empty when neither gives one.
QString findPath(const SettingReader& read, const FileExists& exists);

// findPath on this machine; always empty where the tool does not exist.
QString findPathHere();

// Starts the tool at the parallel-port page; false when it could not be started.
bool start(const QString& path);
} // namespace SystemInfoTool
