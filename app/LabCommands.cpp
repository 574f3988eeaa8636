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

// A date (2026-12-08, UTC midnight) or a moment (2026-12-08T10:42:00Z).
std::optional<QDateTime> filterTime(const QString& text, bool* ok) {
    *ok = true;
    if (text.isEmpty())
        return QDateTime();
    QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid()) {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (date.isValid())
            time = QDateTime(date, QTime(0, 0), Qt::UTC);
    }
    *ok = time.isValid();
    return time;
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
    bool sinceOk = false, untilOk = false;
    filter.since = filterTime(options.filterSince, &sinceOk).value_or(QDateTime());
    filter.until = filterTime(options.filterUntil, &untilOk).value_or(QDateTime());
    if (!sinceOk || !untilOk) {
        printLine(err, LabTexts::BadDate.arg(sinceOk ? options.filterUntil : options.filterSince));
        return 2;
    }
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
        DataLine::ParseDataLine(result.fields, row);
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
