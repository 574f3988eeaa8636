#include "instrument/PortMap.h"

#include "base/ProductIdentity.h"
#include "params/SettingsStore.h"

#include <QFileInfo>
#include <QtGlobal>

QString PortMap::environmentName(int n) {
    return QStringLiteral("STAVELY_COM") + QString::number(n);
}

QString PortMap::settingsKey(int n) {
    return QStringLiteral("PortCOM") + QString::number(n);
}

QString PortMap::defaultPath(int n) {
    if (n < FirstPort || n > LastPort)
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(n);
#else
    // COM1-4 built-in UARTs, COM5-8 USB serial adapters, COM9-12 USB modem-class devices,
    // COM13-16 further built-in UARTs.
    const int i = (n - 1) % 4;
    switch ((n - 1) / 4) {
    case 0:
        return QStringLiteral("/dev/ttyS") + QString::number(i);
    case 1:
        return QStringLiteral("/dev/ttyUSB") + QString::number(i);
    case 2:
        return QStringLiteral("/dev/ttyACM") + QString::number(i);
    default:
        return QStringLiteral("/dev/ttyS") + QString::number(i + 4);
    }
#endif
}

QString PortMap::devicePath(int n) const {
    if (n < FirstPort || n > LastPort)
        return {};
    const QString fromEnvironment = qEnvironmentVariable(qPrintable(environmentName(n)));
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    if (m_store) {
        const QString fromSettings = m_store->getText(ProductIdentity::AppTitle, settingsKey(n), QString());
        if (!fromSettings.isEmpty())
            return fromSettings;
    }
    return defaultPath(n);
}

bool PortMap::deviceExists(int n) const {
    const QString path = devicePath(n);
    if (path.isEmpty())
        return false;
#ifdef Q_OS_WIN
    // COM names are not files; opening the port tells.
    return true;
#else
    return QFileInfo::exists(path); // follows links: a dangling one is absent
#endif
}
