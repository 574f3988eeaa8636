#include "app/ProgramOptions.h"

#include "app/StartupTexts.h"
#include "params/SettingsStore.h"

std::optional<ProgramOptions> ProgramOptions::parse(const QStringList& arguments, QString* error) {
    ProgramOptions options;
    options.unattended = qEnvironmentVariableIntValue("STAVELY_UNATTENDED") != 0;
    const QString settingsEq = QStringLiteral("--settings=");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QStringLiteral("--simulate")) {
            options.simulate = true;
        } else if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
            options.help = true;
        } else if (arg == QStringLiteral("--version")) {
            options.version = true;
        } else if (arg == QStringLiteral("--verify-statistics")) {
            options.verifyStatistics = true;
        } else if (arg == QStringLiteral("--settings")) {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("--settings needs a file name. ") + StartupTexts::Usage;
                return std::nullopt;
            }
            options.settingsFile = arguments[++i];
        } else if (arg == QStringLiteral("--stats")) {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("--stats needs a data file name. ") + StartupTexts::Usage;
                return std::nullopt;
            }
            options.statsFile = arguments[++i];
        } else if (arg == QStringLiteral("--report")) {
            if (i + 2 >= arguments.size()) {
                *error = QStringLiteral("--report needs a PDF file name and a data file name. ") +
                         StartupTexts::Usage;
                return std::nullopt;
            }
            options.reportFile = arguments[++i];
            options.reportDataFile = arguments[++i];
        } else if (arg.startsWith(settingsEq) && arg.size() > settingsEq.size()) {
            options.settingsFile = arg.mid(settingsEq.size());
        } else {
            *error =
                QStringLiteral("Unknown argument \"") + arg + QStringLiteral("\". ") + StartupTexts::Usage;
            return std::nullopt;
        }
    }
    return options;
}

bool ProgramOptions::asksHeadless(const QStringList& arguments) {
    for (const char* flag : {"--stats", "--report", "--help", "-h", "--version", "--verify-statistics"})
        if (arguments.contains(QLatin1String(flag)))
            return true;
    return false;
}

QString ProgramOptions::settingsPath() const {
    return settingsFile.isEmpty() ? SettingsStore::defaultFilePath(simulate) : settingsFile;
}

bool ProgramOptions::displayAvailable(const std::function<QString(const char*)>& environment,
                                      const QStringList& arguments) {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    Q_UNUSED(environment);
    Q_UNUSED(arguments);
    return true;
#else
    if (arguments.contains(QStringLiteral("-platform")))
        return true;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (!environment(name).isEmpty())
            return true;
    return false;
#endif
}
