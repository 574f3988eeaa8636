#pragma once

#include <QString>

class SettingsStore;

// COM 1 to 16 are the program's port numbers; this turns one into the device to open.
// Windows: COMn. Elsewhere a fixed table (see defaultPath). Each number can be pointed elsewhere
// without recompiling: the environment variable STAVELY_COM<n> wins over the settings value
// "PortCOM<n>" in section "STAVELY", which wins over the table.
class PortMap {
public:
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 16;

    explicit PortMap(const SettingsStore* store = nullptr) : m_store(store) {}

    // Empty for a number outside 1 to 16.
    QString devicePath(int n) const;
    // Whether the mapped device is there at all (a path that does not exist is an absent port).
    bool deviceExists(int n) const;

    static QString defaultPath(int n);
    static QString environmentName(int n);
    static QString settingsKey(int n);

private:
    const SettingsStore* m_store;
};
