#include "app/LabCommands.h"

#include "app/ProgramOptions.h"
#include "base/ProductIdentity.h"
#include "base/ProgramFolder.h"
#include "params/SettingsStore.h"
#include "results/BatchStatistics.h"
#include "results/DataLine.h"
#include "store/LabAddress.h"
#include "store/LabDatabase.h"
#include "store/LabTexts.h"

#include <QFile>
#include <QFileInfo>

namespace {
void printLine(std::FILE* stream, const QString& text) {
    std::fprintf(stream, "%s\n", text.toUtf8().constData());
    std::fflush(stream);
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
    LabFilter filter;
    filter.sample = options.filterSample;
    filter.operatorName = options.filterOperator;
    filter.instrument = options.filterInstrument;
    filter.since = options.filterSince;
    filter.until = options.filterUntil;
    LabDatabase lab(*address, QStringLiteral("stavely-lab-stats"));
    LabError labError;
    std::vector<LabResult> results;
    if (lab.open(&labError))
        results = lab.results(filter, &labError);
    if (labError.fault != LabFault::None) {
        printLine(err, labError.message);
        return LabRefused;
    }
    std::vector<DataRow> rows;
    rows.reserve(results.size());
    for (const LabResult& result : results) {
        DataRow row;
        DataLine::ParseDataLine(result.line, row);
        row.setNumber(int(rows.size()) + 1);
        rows.push_back(std::move(row));
    }
    const QByteArray text = BatchStatistics(rows).KeyValueText().toUtf8();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), out);
    std::fflush(out);
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
