#include "app/LabCommands.h"

#include "app/ProgramOptions.h"
#include "app/StoreCommands.h"
#include "base/ProductIdentity.h"
#include "base/ProgramFolder.h"
#include "params/SettingsStore.h"
#include "results/BatchStatistics.h"
#include "results/DataLine.h"
#include "store/LabAddress.h"
#include "store/LabAudit.h"
#include "store/LabDatabase.h"
#include "store/LabForwarder.h"
#include "store/LabStoreSource.h"
#include "store/LabTexts.h"
#include "store/StoreExport.h"

#include <QFile>
#include <QFileInfo>

namespace {
void printLine(std::FILE* stream, const QString& text) {
    std::fprintf(stream, "%s\n", text.toUtf8().constData());
    std::fflush(stream);
}

std::optional<LabAddress> addressOf(const ProgramOptions& options, std::FILE* err) {
    QString error;
    std::optional<LabAddress> address = LabAddress::parse(LabCommands::Address(options), &error);
    if (!address)
        printLine(err, error);
    return address;
}

LabFilter filterOf(const ProgramOptions& options) {
    LabFilter filter;
    filter.sample = options.filterSample;
    filter.operatorName = options.filterOperator;
    filter.instrument = options.filterInstrument;
    filter.since = options.filterSince;
    filter.until = options.filterUntil;
    return filter;
}

// A result of the lab as an export reads a stored one: its columns from its stored values.
ResultView viewOf(const LabResult& result) {
    ResultView view;
    // The store keeps these columns as numbers: an export reads them as numbers, converted once here.
    static const std::vector<bool> numeric = [] {
        static const QStringList integers = {QStringLiteral("row_number"), QStringLiteral("record_samples")};
        std::vector<bool> out;
        for (const QString& c : ResultsDatabase::ResultColumns())
            out.push_back(integers.contains(c) || c == QLatin1String("specimen") ||
                          c.endsWith(QLatin1String("_n")) || c.endsWith(QLatin1String("_mpa")) ||
                          c.endsWith(QLatin1String("_percent")) || c.endsWith(QLatin1String("_value")) ||
                          c.endsWith(QLatin1String("_um_s")) || c.endsWith(QLatin1String("_min")) ||
                          c.endsWith(QLatin1String("_mpa_s")) || c.endsWith(QLatin1String("_s")) ||
                          c == QLatin1String("calibration_slope"));
        return out;
    }();
    const QList<QByteArray> items = LabResult::Items(result.content).value_or(QList<QByteArray>());
    view.values.reserve(ResultsDatabase::ResultColumns().size());
    for (qsizetype i = 0; i < ResultsDatabase::ResultColumns().size(); ++i) {
        if (i >= items.size() || items[i] == "-") {
            view.values << QVariant();
            continue;
        }
        bool ok = false;
        const double number = numeric[size_t(i)] ? items[i].toDouble(&ok) : 0.0;
        view.values << (ok ? QVariant(number) : QVariant(QString::fromUtf8(items[i])));
    }
    DataLine::Fields parsed;
    DataLine::ParseDataLine(result.line, parsed);
    for (int c = 1; c < DataLine::Columns; ++c)
        view.currentFields << parsed[size_t(c)];
    return view;
}

QString schemaFile() {
    return ProgramFolder::path() + QStringLiteral("/docs/lab-database.sql");
}
} // namespace

QString LabCommands::Address(const ProgramOptions& options) {
    if (!options.labDatabase.isEmpty())
        return options.labDatabase;
    const SettingsStore settings(options.settingsPath());
    return settings.getText(ProductIdentity::AppTitle, QStringLiteral("LabDatabase"), QString()).trimmed();
}

int LabCommands::Stats(const ProgramOptions& options, std::FILE* out, std::FILE* err) {
    QString error;
    const std::optional<LabAddress> address = LabAddress::parse(Address(options), &error);
    if (!address) {
        printLine(err, error);
        return 2;
    }
    LabDatabase lab(*address, QStringLiteral("stavely-lab-stats"));
    LabError labError;
    std::vector<DataRow> rows;
    // Figures need the rows' lines only: never the records, each specimen once.
    if (lab.open(&labError))
        lab.forEachSpecimen(
            filterOf(options), false,
            [&rows](const LabResult& result) {
                DataRow row;
                DataLine::ParseDataLine(result.line, row);
                row.setNumber(int(rows.size()) + 1);
                rows.push_back(std::move(row));
                return true;
            },
            &labError);
    if (labError.fault != LabFault::None) {
        printLine(err, labError.message);
        return LabRefused;
    }
    const QByteArray text = BatchStatistics(rows).KeyValueText().toUtf8();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), out);
    std::fflush(out);
    return 0;
}

int LabCommands::Sync(const ProgramOptions& options, std::FILE* out, std::FILE* err) {
    const std::optional<LabAddress> address = addressOf(options, err);
    if (!address)
        return 2;
    const QString path = StoreCommands::StorePath(options);
    if (!QFileInfo::exists(path)) {
        // No store yet: nothing was ever recorded, so nothing waits; but a wrong address or a server
        // that refuses this login is told now, not at the first result.
        LabDatabase lab(*address, QStringLiteral("stavely-lab-sync"));
        LabError error;
        if (!lab.open(&error)) {
            printLine(err, error.message);
            return LabRefused;
        }
        std::fputs(LabTexts::SyncSummary.arg(0).arg(0).arg(0).toUtf8().constData(), out);
        return 0;
    }
    LabStoreSource source(path);
    LabForwarder forwarder(*address, source, QStringLiteral("stavely-lab-sync"));
    const LabForwarder::Pass pass = forwarder.pass();
    if (pass.error.fault == LabFault::StoreUnreadable) {
        // Nothing can be counted in a store that cannot be read.
        printLine(err, pass.error.message);
        return 2;
    }
    std::fputs(LabTexts::SyncSummary.arg(pass.sent).arg(pass.entries).arg(pass.waiting).toUtf8().constData(),
               out);
    std::fflush(out);
    if (pass.error.fault != LabFault::None)
        printLine(err, pass.error.message);
    if (pass.error.fault == LabFault::Diverged)
        return TrailsPart;
    return pass.waiting == 0 && pass.error.fault == LabFault::None ? 0 : ResultsWaiting;
}

int LabCommands::AuditVerify(const ProgramOptions& options, std::FILE* out, std::FILE* err) {
    const std::optional<LabAddress> address = addressOf(options, err);
    if (!address)
        return 2;
    LabDatabase lab(*address, QStringLiteral("stavely-lab-verify"));
    LabError error;
    std::vector<LabAudit::ChainReport> reports;
    if (lab.open(&error))
        reports = LabAudit::Verify(lab, options.filterInstrument, &error);
    // This computer's store and the server vouch for each other: each holds the head the other
    // acknowledged.
    const QString path = StoreCommands::StorePath(options);
    if (error.fault == LabFault::None && QFileInfo::exists(path)) {
        LabStoreSource source(path);
        QString why;
        if (source.open(&why))
            LabAudit::CompareHeads(lab, source, &reports, &error);
    }
    if (error.fault != LabFault::None) {
        printLine(err, error.message);
        return LabRefused;
    }
    std::fputs(LabAudit::Text(reports).toUtf8().constData(), out);
    std::fflush(out);
    for (const LabAudit::ChainReport& report : reports)
        if (!report.intact)
            return 4;
    return 0;
}

int LabCommands::Export(const ProgramOptions& options, std::FILE* out, std::FILE* err) {
    const std::optional<LabAddress> address = addressOf(options, err);
    if (!address)
        return 2;
    LabDatabase lab(*address, QStringLiteral("stavely-lab-export"));
    LabError error;
    if (!lab.open(&error)) {
        printLine(err, error.message);
        return LabRefused;
    }
    QString why;
    // Streamed from the server as the file is written; the records are never read.
    const std::optional<qint64> count = StoreExport::Write(
        [&](const std::function<bool(const ResultView&)>& take, QString* readError) {
            const bool read = lab.forEachSpecimen(
                filterOf(options), true, [&take](const LabResult& result) { return take(viewOf(result)); },
                &error);
            if (!read)
                *readError = error.message;
            return read;
        },
        options.dbExport, &why);
    if (error.fault != LabFault::None) {
        printLine(err, error.message);
        return LabRefused;
    }
    if (!count) {
        printLine(err, QStringLiteral("Cannot write \"") + options.dbExport + QStringLiteral("\": ") + why);
        return 2;
    }
    printLine(out, QStringLiteral("%1 results written to %2").arg(*count).arg(options.dbExport));
    return 0;
}

int LabCommands::Init(const ProgramOptions& options, std::FILE* out, std::FILE* err) {
    QString error;
    const std::optional<LabAddress> address = LabAddress::parse(Address(options), &error);
    if (!address) {
        printLine(err, error);
        return 2;
    }
    QFile file(schemaFile());
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) {
        printLine(err, LabTexts::SchemaFileMissing.arg(QFileInfo(file).absoluteFilePath()));
        return 2;
    }
    const QString script = QString::fromUtf8(file.readAll());
    LabDatabase lab(*address, QStringLiteral("stavely-lab-init"));
    LabError labError;
    if (!lab.initialise(script, &labError)) {
        printLine(err, labError.message);
        return LabRefused;
    }
    const int version = lab.schemaVersion(&labError);
    std::fputs(LabTexts::Initialised.arg(address->describe()).arg(version).toUtf8().constData(), out);
    std::fflush(out);
    return 0;
}

int LabCommands::RegisterTester(const ProgramOptions& options, std::FILE* out, std::FILE* err) {
    const std::optional<LabAddress> address = addressOf(options, err);
    if (!address)
        return 2;
    LabDatabase lab(*address, QStringLiteral("stavely-lab-register"));
    LabError error;
    if (!lab.open(&error) || !lab.registerTester(options.registerTester, options.filterInstrument, &error)) {
        printLine(err, error.message);
        return LabRefused;
    }
    const QString text = options.filterInstrument.isEmpty()
                             ? LabTexts::Registered.arg(address->describe(), options.registerTester)
                             : LabTexts::RegisteredInstrument.arg(address->describe(), options.registerTester,
                                                                  options.filterInstrument);
    std::fputs(text.toUtf8().constData(), out);
    std::fflush(out);
    return 0;
}
