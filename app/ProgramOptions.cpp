#include "app/ProgramOptions.h"

#include "app/HistoryCommand.h"
#include "app/StartupTexts.h"
#include "params/SettingsStore.h"

#include <QDate>

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
        } else if (arg == QStringLiteral("--per-sample")) {
            options.perSample = true;
        } else if (arg == QStringLiteral("--verify-statistics")) {
            options.verifyStatistics = true;
        } else if (arg == QStringLiteral("--lifetime")) {
            options.lifetime = true;
            options.lifetimeArguments = arguments.mid(i + 1);
            break;
        } else if (arg == QStringLiteral("--settings")) {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("--settings needs a file name. ") + StartupTexts::Usage;
                return std::nullopt;
            }
            options.settingsFile = arguments[++i];
        } else if (arg == QStringLiteral("--stats") &&
                   (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--")))) {
            // Without a data file: the lab database's results (--db or the option).
            options.labStats = true;
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
        } else if (arg == QStringLiteral("--db")) {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("--db needs a lab database URI. ") + StartupTexts::Usage;
                return std::nullopt;
            }
            options.labDatabase = arguments[++i];
        } else if (arg == QStringLiteral("--db-init")) {
            options.dbInit = true;
        } else if (arg == QStringLiteral("--db-sync")) {
            options.dbSync = true;
        } else if (arg == QStringLiteral("--db-register-tester")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--"))) {
                *error = QStringLiteral("--db-register-tester needs a login. ") + StartupTexts::Usage;
                return std::nullopt;
            }
            options.registerTester = arguments[++i];
        } else if (arg == QStringLiteral("--db-path")) {
            options.dbPath = true;
        } else if (arg == QStringLiteral("--db-restore")) {
            options.dbRestore = true;
        } else if (arg == QStringLiteral("--audit-verify")) {
            options.auditVerify = true;
        } else if (arg == QStringLiteral("--db-import")) {
            while (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QStringLiteral("--")))
                options.dbImport << arguments[++i];
            if (options.dbImport.isEmpty()) {
                *error =
                    QStringLiteral("--db-import needs one or more data file names. ") + StartupTexts::Usage;
                return std::nullopt;
            }
        } else if (arg == QStringLiteral("--db-export") || arg == QStringLiteral("--sample") ||
                   arg == QStringLiteral("--operator") || arg == QStringLiteral("--since") ||
                   arg == QStringLiteral("--until") || arg == QStringLiteral("--instrument")) {
            if (i + 1 >= arguments.size()) {
                *error = arg + QStringLiteral(" needs a value. ") + StartupTexts::Usage;
                return std::nullopt;
            }
            const QString value = arguments[++i];
            if (arg == QStringLiteral("--db-export"))
                options.dbExport = value;
            else if (arg == QStringLiteral("--sample"))
                options.filterSample = value;
            else if (arg == QStringLiteral("--operator"))
                options.filterOperator = value;
            else if (arg == QStringLiteral("--instrument"))
                options.filterInstrument = value;
            else if (!QDate::fromString(value, Qt::ISODate).isValid()) {
                *error = arg + QStringLiteral(" needs a date as yyyy-mm-dd. ") + StartupTexts::Usage;
                return std::nullopt;
            } else if (arg == QStringLiteral("--since"))
                options.filterSince = value;
            else
                options.filterUntil = value;
        } else if (arg == QStringLiteral("--history")) {
            // Without a row: the whole file's trail; row 0: the option and calibration changes.
            bool ok = false;
            options.historyRow = HistoryCommand::WholeFile;
            if (i + 2 < arguments.size() && !arguments[i + 2].startsWith(QLatin1String("--")))
                options.historyRow = arguments[i + 2].toInt(&ok);
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--")) ||
                (i + 2 < arguments.size() && !arguments[i + 2].startsWith(QLatin1String("--")) &&
                 (!ok || options.historyRow < 0))) {
                *error = QStringLiteral("--history needs a data file name and may have a row number "
                                        "(0 for the option and calibration changes). ") +
                         StartupTexts::Usage;
                return std::nullopt;
            }
            options.historyFile = arguments[i + 1];
            i += ok ? 2 : 1;
        } else if (const int taken = TraceabilityOptions::Take(arguments, i, options.trace, error);
                   taken != 0) {
            if (taken < 0) {
                *error += QLatin1Char(' ') + StartupTexts::Usage;
                return std::nullopt;
            }
        } else if (arg.startsWith(settingsEq) && arg.size() > settingsEq.size()) {
            options.settingsFile = arg.mid(settingsEq.size());
        } else {
            *error =
                QStringLiteral("Unknown argument \"") + arg + QStringLiteral("\". ") + StartupTexts::Usage;
            return std::nullopt;
        }
    }
    if (!options.trace.complete(error)) {
        *error += QLatin1Char(' ') + StartupTexts::Usage;
        return std::nullopt;
    }
    if ((!options.filterSample.isEmpty() || !options.filterOperator.isEmpty() ||
         !options.filterSince.isEmpty() || !options.filterUntil.isEmpty() ||
         !options.filterInstrument.isEmpty()) &&
        options.dbExport.isEmpty() && !options.labStats && options.registerTester.isEmpty() &&
        !(options.dbRestore && options.filterSample.isEmpty() && options.filterOperator.isEmpty() &&
          options.filterSince.isEmpty() && options.filterUntil.isEmpty()) &&
        !(options.auditVerify && !options.labDatabase.isEmpty())) {
        *error =
            QStringLiteral("--sample, --operator, --since, --until and --instrument go with --db-export or "
                           "--stats --db. ") +
            StartupTexts::Usage;
        return std::nullopt;
    }
    if (options.perSample && options.statsFile.isEmpty()) {
        *error = QStringLiteral("--per-sample goes with --stats DATAFILE. ") + StartupTexts::Usage;
        return std::nullopt;
    }
    return options;
}

bool ProgramOptions::asksHeadless(const QStringList& arguments) {
    for (const char* flag :
         {"--stats", "--report", "--help", "-h", "--version", "--db-path", "--db-import", "--db-export",
          "--audit-verify", "--history", "--db-init", "--db-sync", "--db-register-tester", "--db-restore",
          "--verify-statistics", "--lifetime", "--per-sample"})
        if (arguments.contains(QLatin1String(flag)))
            return true;
    return TraceabilityOptions::Asks(arguments);
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
