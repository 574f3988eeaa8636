#include "app/HistoryCommand.h"

#include "app/ProgramOptions.h"
#include "store/AuditTrail.h"
#include "store/ResultsDatabase.h"
#include "store/ResultsStore.h"

#include <QDir>
#include <QFileInfo>

namespace {
void printHistory(std::FILE* to, const QString& text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to);
}
} // namespace

int HistoryCommand::Run(const ProgramOptions& options, ResultsDatabase& db, std::FILE* out, std::FILE* err) {
    using AuditTrail::Scope;
    const int row = options.historyRow;
    const Scope scope = row == WholeFile ? Scope::DataFile : row == 0 ? Scope::Settings : Scope::Row;
    const QString file = AuditTrail::FileKey(options.historyFile);
    // The simulator's results go to a store of their own: say which one this is.
    printHistory(out, QStringLiteral("Results store: ") + QDir::toNativeSeparators(db.path()));
    if (scope == Scope::Settings)
        printHistory(out, QStringLiteral("Row 0 is no result: these are the option and calibration changes, "
                                         "which belong to no row of any data file."));
    QString error;
    const std::optional<QList<AuditEvent>> events = AuditTrail::Read(db, scope, file, row, &error);
    if (!events) {
        printHistory(err, error);
        return 2;
    }
    if (events->isEmpty()) {
        QString what = scope == Scope::Settings ? QStringLiteral("No option or calibration changes recorded")
                       : scope == Scope::DataFile
                           ? QStringLiteral("No entries for %1").arg(options.historyFile)
                           : QStringLiteral("No entries for row %1 of %2").arg(row).arg(options.historyFile);
        // Results of --simulate runs are in the simulator's store and the other way round.
        if (scope != Scope::Settings)
            what += QStringLiteral(" in this store.") + OtherStore(options);
        printHistory(out, what);
    }
    for (const AuditEvent& e : *events)
        printHistory(out, AuditTrail::Line(e));
    return 0;
}

QString HistoryCommand::OtherStore(const ProgramOptions& options) {
    const QString other = ResultsStore::DefaultPath(!options.simulate);
    if (!options.settingsFile.isEmpty() || !QFileInfo::exists(other))
        return {};
    return QStringLiteral(" The %1 results are in %2 (%3--simulate).")
        .arg(options.simulate ? QStringLiteral("instrument's") : QStringLiteral("simulator's"),
             QDir::toNativeSeparators(other), options.simulate ? QStringLiteral("without ") : QString());
}
