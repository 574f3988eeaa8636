#include "app/HeadlessCommands.h"

#include "app/LabCommands.h"
#include "app/LifetimeCommand.h"
#include "app/ProgramOptions.h"
#include "app/StartupTexts.h"
#include "app/StatisticsVerification.h"
#include "app/StoreCommands.h"
#include "app/TraceabilityCommands.h"
#include "base/ProductIdentity.h"
#include "experiments/BreakAnalysis.h"
#include "results/BatchCurves.h"
#include "results/BatchReport.h"
#include "results/BatchStatistics.h"
#include "results/DataFileRows.h"
#include "results/SampleStatistics.h"
#include "results/StatisticsTexts.h"
#include "store/Signatures.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace {
std::optional<std::vector<DataRow>> readRows(const QString& path, std::FILE* err) {
    QString error;
    std::optional<std::vector<DataRow>> rows = ReadDataFileRows(path, &error);
    if (!rows)
        std::fprintf(err, "%s\n", StatisticsTexts::CannotRead.arg(path, error).toUtf8().constData());
    return rows;
}
} // namespace

int HeadlessCommands::Stats(const ProgramOptions& options, std::FILE* out, std::FILE* err) {
    const std::optional<std::vector<DataRow>> rows = readRows(options.statsFile, err);
    if (!rows)
        return 2;
    QString stats = BatchStatistics(*rows).KeyValueText();
    if (options.perSample) {
        QList<QStringList> fields;
        fields.reserve(qsizetype(rows->size()));
        for (const DataRow& row : *rows)
            fields.append(row.fields());
        stats += SampleStatistics(fields).KeyValueText();
    }
    const QByteArray text = stats.toUtf8();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), out);
    std::fflush(out);
    return 0;
}

int HeadlessCommands::Report(const ProgramOptions& options, std::FILE* err) {
    const std::optional<std::vector<DataRow>> rows = readRows(options.reportDataFile, err);
    if (!rows)
        return 2;
    const QString dataFile = QFileInfo(options.reportDataFile).absoluteFilePath();
    BatchReport report(dataFile, *rows);
    report.setSignatures(
        Signatures::ReportLines(StoreCommands::StorePath(options), QDir::cleanPath(dataFile)));
    QList<QStringList> fields;
    fields.reserve(qsizetype(rows->size()));
    for (const DataRow& row : *rows)
        fields.append(row.fields());
    report.setCurves(BatchCurves(
        fields, [&dataFile](const QStringList& f) { return BreakAnalysis::RowDataFile(dataFile, f); },
        BatchCurves::GroupOrder(report.statistics())));
    QString error;
    if (!report.Write(options.reportFile, &error)) {
        std::fprintf(err, "Cannot write report \"%s\": %s\n", options.reportFile.toUtf8().constData(),
                     error.toUtf8().constData());
        return 2;
    }
    return 0;
}

int HeadlessCommands::Info(const ProgramOptions& options, std::FILE* out) {
    const QByteArray text = options.help ? StartupTexts::Help.toUtf8()
                                         : (ProductIdentity::AppTitle + QLatin1Char(' ') +
                                            ProductIdentity::PredefinedVersion + QLatin1Char('\n'))
                                               .toUtf8();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), out);
    std::fflush(out);
    return 0;
}

int HeadlessCommands::Run(const ProgramOptions& options, int& argc, char** argv) {
    if (options.help || options.version)
        return Info(options, stdout);
    if (options.labStats) {
        const QCoreApplication app(argc, argv);
        return LabCommands::Stats(options, stdout, stderr);
    }
    if (options.dbInit) {
        const QCoreApplication app(argc, argv);
        return LabCommands::Init(options, stdout, stderr);
    }
    if (!options.registerTester.isEmpty()) {
        const QCoreApplication app(argc, argv);
        return LabCommands::RegisterTester(options, stdout, stderr);
    }
    if (options.dbSync) {
        const QCoreApplication app(argc, argv);
        return LabCommands::Sync(options, stdout, stderr);
    }
    // With --db the lab's copy is read instead of this computer's store.
    if (!options.labDatabase.isEmpty() && (options.auditVerify || !options.dbExport.isEmpty())) {
        const QCoreApplication app(argc, argv);
        return options.auditVerify ? LabCommands::AuditVerify(options, stdout, stderr)
                                   : LabCommands::Export(options, stdout, stderr);
    }
    if (options.trace.any()) {
        const QCoreApplication app(argc, argv);
        return TraceabilityCommands::Run(options, stdin, stdout, stderr);
    }
    if (options.storeCommand()) {
        const QCoreApplication app(argc, argv);
        const int code = StoreCommands::Run(options, stdout, stderr);
        // What an import added is sent on, as a test's results are, when the lab has a database.
        if (!options.dbImport.isEmpty() && !LabCommands::Address(options).isEmpty()) {
            const int sync = LabCommands::Sync(options, stdout, stderr);
            return code != 0 ? code : sync;
        }
        return code;
    }
    if (options.lifetime) {
        const QCoreApplication app(argc, argv);
        return LifetimeCommand::Run(options.lifetimeArguments, stdout, stderr,
                                    StoreCommands::StorePath(options));
    }
    if (options.verifyStatistics) {
        const QCoreApplication app(argc, argv);
        return StatisticsVerification::Run(stdout, stderr);
    }
    if (!options.statsFile.isEmpty()) {
        const QCoreApplication app(argc, argv);
        return Stats(options, stdout, stderr);
    }
    // The plots are drawn by the chart widgets, which need an application with a platform; none
    // with a screen is needed for a file.
    if (!ProgramOptions::displayAvailable([](const char* name) { return qEnvironmentVariable(name); }, {}))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QApplication app(argc, argv);
    return Report(options, stderr);
}
