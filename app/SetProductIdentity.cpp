#include "app/SetProductIdentity.h"

#include "app/StartupTexts.h"
#include "base/Operator.h"
#include "instrument/ApTimer.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"

// The pictures are compiled into the program's static library; a library's resources must be
// registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(resources);
}

QString VersionText(int major, int minor) {
    return QString::number(major) + QLatin1Char('.') +
           QStringLiteral("%1").arg(minor, 2, 10, QLatin1Char('0'));
}

bool StoredTextIsTrue(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
        return true;
    bool isNumber = false;
    const double number = t.toDouble(&isNumber);
    return isNumber && number != 0;
}

AppIdentity SetProductIdentity(Parameters& parameters, const SettingsStore& settings, Operator& op,
                               const QString& programFolder, int versionMajor, int versionMinor) {
    initResources();
    AppIdentity id;
    id.title = ProductIdentity::AppTitle;
    id.caption = ProductIdentity::Caption;
    id.description = ProductIdentity::AppDescription;
    id.helpFile = programFolder + QStringLiteral("/docs/") + id.title + QStringLiteral(".html");
    id.iconFile = QStringLiteral(":/") + id.title + QStringLiteral(".png");

    parameters.DataFileName.clear();

    id.version = VersionText(versionMajor, versionMinor);
    if (id.version != ProductIdentity::PredefinedVersion)
        op.msgBox(StartupTexts::VersionsDiffer + id.version + QStringLiteral(" and ") +
                      ProductIdentity::PredefinedVersion,
                  MsgStyle::OkOnly);

    parameters.DebugMode = false;
    if (StoredTextIsTrue(settings.getText(id.title, QStringLiteral("ForceDebug"), QStringLiteral("False")))) {
        parameters.DebugMode = true;
        ApTimer::InitTimer();
        op.beep();
        ApTimer::Delay(0.2);
        op.beep();
        ApTimer::Delay(0.2);
        op.beep();
    }
    return id;
}
