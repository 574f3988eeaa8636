#include "app/StoreCommands.h"

#include "app/LabCommands.h"
#include "app/ProgramOptions.h"
#include "experiments/BreakAnalysis.h"
#include "results/DataFileRows.h"
#include "store/LabAddress.h"
#include "store/LabDatabase.h"
#include "store/ResultsDatabase.h"
#include "store/ResultsStore.h"
#include "store/StoreExport.h"
#include "store/StoreTexts.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
void print(std::FILE* to, const QString& text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to);
}

QString fileKey(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Reading commands never create or change a store: they open it read-only.
bool openStore(ResultsDatabase& db, const QString& path, bool create, std::FILE* err) {
    if (!create && !QFileInfo::exists(path)) {
        print(err, QStringLiteral("No results store at \"") + path + QStringLiteral("\" yet."));
        return false;
    }
    if (!(create ? db.open(path) : db.openReadOnly(path))) {
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
        // Rows changed outside the program are recorded; the exit code says so.
        if (!report->changes.isEmpty() && code == 0)
            code = StoreCommands::ChangedOutside;
    }
    return code;
}

bool moveAside(const QString& path, const QString& to) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const QString from = path + QLatin1String(suffix);
        if (QFileInfo::exists(from) && !QFile::rename(from, to + QLatin1String(suffix)))
            return false;
    }
    return true;
}

// --db-restore: the store brought up to date from the lab database's copy of its trail, or rebuilt
// from it when it is lost or damaged (the damaged file is kept beside it, never removed).
int restore(const ProgramOptions& options, const QString& path, std::FILE* out, std::FILE* err) {
    QString error;
    const QString address = LabCommands::Address(options);
    if (address.isEmpty()) {
        print(err, StoreTexts::RestoreNeedsLab);
        return 2;
    }
    const std::optional<LabAddress> lab = LabAddress::parse(address, &error);
    if (!lab) {
        print(err, error);
        return 2;
    }
    QString instrument = options.filterInstrument;
    bool intact = false;
    if (QFileInfo::exists(path)) {
        ResultsDatabase db;
        if (db.openReadOnly(path)) {
            if (instrument.isEmpty())
                instrument = db.instrumentId();
            intact = instrument == db.instrumentId() && db.verify().intact;
        }
    }
    if (instrument.isEmpty()) {
        print(err, StoreTexts::RestoreNeedsInstrument.arg(path));
        return 2;
    }
    TrailCopy copy;
    {
        LabDatabase server(*lab, QStringLiteral("stavely-restore"));
        LabError labError;
        if (!server.open(&labError)) {
            print(err, labError.message);
            return LabCommands::LabRefused;
        }
        for (LabEvent& e : server.events(instrument, &labError))
            copy.events << std::move(e.event);
        LabFilter filter;
        filter.instrument = instrument;
        if (labError.fault == LabFault::None)
            for (LabResult& r : server.results(filter, &labError))
                copy.results.insert(r.uuid, {r.content, r.record});
        if (labError.fault != LabFault::None) {
            print(err, labError.message);
            return LabCommands::LabRefused;
        }
    }
    if (copy.events.isEmpty()) {
        print(err, StoreTexts::RestoreNothing.arg(instrument));
        return 2;
    }
    ResultsDatabase db;
    if (intact && db.open(path)) {
        db.setWho(ResultsStore::SystemUser(), QString());
        const std::optional<AdoptReport> report = db.adoptTrail(copy);
        if (!report) {
            print(err, QStringLiteral("Cannot restore the results store: ") + db.error());
            return 2;
        }
        print(out,
              StoreTexts::RestoreUpToDate.arg(report->adopted).arg(report->rechained).arg(report->dropped));
        return 0;
    }
    db.close();
    // Rebuilt beside the store, then put in its place: an interrupted rebuild leaves the old file.
    const QString fresh = path + QStringLiteral(".restoring");
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(fresh + QLatin1String(suffix));
    std::optional<AdoptReport> report;
    if (db.open(fresh) && db.setInstrumentId(instrument)) {
        db.setWho(ResultsStore::SystemUser(), QString());
        report = db.adoptTrail(copy);
    }
    const QString failure = db.error();
    db.close();
    if (!report) {
        print(err, QStringLiteral("Cannot rebuild the results store: ") + failure);
        return 2;
    }
    const QString aside = path + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddThhmmss"));
    if (!moveAside(path, aside) || !moveAside(fresh, path)) {
        print(err, StoreTexts::RestoreNotMoved.arg(fresh, path));
        return 2;
    }
    print(out, StoreTexts::RestoreRebuilt.arg(report->adopted).arg(copy.results.size()).arg(instrument));
    if (QFileInfo::exists(aside))
        print(out, StoreTexts::RestoreKeptAside.arg(aside));
    return 0;
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
    if (options.dbRestore)
        return restore(options, path, out, err);
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
