#include "app/StoreCommands.h"

#include "app/ProgramOptions.h"
#include "experiments/BreakAnalysis.h"
#include "results/DataFileRows.h"
#include "store/ResultsDatabase.h"
#include "store/ResultsStore.h"
#include "store/Signatures.h"
#include "store/StoreExport.h"
#include "store/StoreTexts.h"

#include <QDir>
#include <QFileInfo>

namespace {
void print(std::FILE* to, const QString& text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to);
}

QString fileKey(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Reading commands never create a store.
bool openStore(ResultsDatabase& db, const QString& path, bool create, std::FILE* err) {
    if (!create && !QFileInfo::exists(path)) {
        print(err, QStringLiteral("No results store at \"") + path + QStringLiteral("\" yet."));
        return false;
    }
    if (!db.open(path)) {
        print(err, QStringLiteral("Cannot use the results store: ") + db.error() + QStringLiteral(". ") +
                       StoreTexts::RebuildHint);
        return false;
    }
    db.setWho(ResultsStore::SystemUser(), QString());
    return true;
}

int import(const ProgramOptions& options, const QString& path, std::FILE* out, std::FILE* err) {
    ResultsDatabase db;
    if (!openStore(db, path, true, err))
        return 2;
    db.setRecordPath(&BreakAnalysis::RowDataFile);
    int code = 0;
    for (const QString& file : options.dbImport) {
        QString error;
        const std::optional<std::vector<DataRow>> rows = ReadDataFileRows(file, &error);
        if (!rows) {
            print(err, QStringLiteral("Cannot read \"") + file + QStringLiteral("\": ") + error);
            code = 2;
            continue;
        }
        const std::optional<ReconcileReport> report =
            db.reconcile(fileKey(file), *rows, QStringLiteral("import"), false);
        if (!report) {
            print(err, QStringLiteral("Cannot import \"") + file + QStringLiteral("\": ") + db.error());
            return 2;
        }
        print(out, QStringLiteral("%1: %2 rows, %3 added to the results store")
                       .arg(file)
                       .arg(rows->size())
                       .arg(report->added));
        for (const QString& change : report->changes)
            print(out, QStringLiteral("  ") + change);
    }
    return code;
}
} // namespace

QString StoreCommands::StorePath(const ProgramOptions& options) {
    // A run with a settings file of its own (a laboratory profile, a test) keeps its store beside it.
    if (!options.settingsFile.isEmpty())
        return QFileInfo(options.settingsFile)
            .absoluteDir()
            .filePath(QStringLiteral("STAVELY-results.sqlite"));
    return ResultsStore::DefaultPath(options.simulate);
}

int StoreCommands::Run(const ProgramOptions& options, std::FILE* out, std::FILE* err) {
    const QString path = StorePath(options);
    if (options.dbPath) {
        print(out, path);
        return 0;
    }
    if (!options.dbImport.isEmpty())
        return import(options, path, out, err);
    ResultsDatabase db;
    if (!openStore(db, path, false, err))
        return 2;
    if (!options.dbExport.isEmpty()) {
        ResultFilter filter;
        filter.sample = options.filterSample;
        filter.operatorName = options.filterOperator;
        filter.since = options.filterSince;
        QString error;
        const std::optional<qint64> count = StoreExport::Write(db, filter, options.dbExport, &error);
        if (!count) {
            print(err, QStringLiteral("Cannot write \"") + options.dbExport + QStringLiteral("\": ") + error);
            return 2;
        }
        print(out, QStringLiteral("%1 results written to %2").arg(*count).arg(options.dbExport));
        return 0;
    }
    if (options.auditVerify) {
        const VerifyOutcome outcome = db.verify();
        if (!outcome.intact) {
            print(out, QStringLiteral("Audit trail broken at ") + outcome.broken);
            return 4;
        }
        print(out, QStringLiteral("Audit trail intact: %1 entries, %2 results")
                       .arg(outcome.events)
                       .arg(outcome.results));
        // A signature a later change broke stands in the trail as it was made: told, not a fault.
        for (const Signature& s : Signatures(db).all().value_or(QList<Signature>()))
            if (!s.valid)
                print(out, QStringLiteral("Signature of %1 at %2 by %3 (%4): %5")
                               .arg(s.dataFile, s.utc, s.name, s.meaning, s.state));
        return 0;
    }
    if (!options.historyFile.isEmpty()) {
        const std::optional<QList<AuditEvent>> events =
            db.history(fileKey(options.historyFile), options.historyRow);
        if (!events) {
            print(err, db.error());
            return 2;
        }
        if (events->isEmpty())
            print(out, QStringLiteral("No entries for row %1 of %2")
                           .arg(options.historyRow)
                           .arg(options.historyFile));
        for (const AuditEvent& e : *events) {
            QString line = e.utc + QLatin1Char('\t') + e.kind + QStringLiteral("\trow ") +
                           QString::number(e.rowNumber) + QStringLiteral("\tuser ") + e.systemUser +
                           QStringLiteral("\toperator ") + e.operatorName;
            if (!e.before.isEmpty() || !e.after.isEmpty())
                line += QStringLiteral("\tbefore \"") + e.before + QStringLiteral("\"\tafter \"") + e.after +
                        QLatin1Char('"');
            print(out, line);
        }
        return 0;
    }
    return 2;
}
