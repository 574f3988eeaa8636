// Records results, edits comments and imports an archive into a results store as fast as it can,
// until it is killed: the store's kill test ends it with SIGKILL at random moments.
//   store_churn FOLDER results|import
// FOLDER holds run.dat (the data file), archive.dat (what an import takes) and store.sqlite.
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "results/DataFileRows.h"
#include "results/Datasheet.h"
#include "store/DatasheetStoreLink.h"
#include "store/ResultsDatabase.h"
#include "store/ResultsStore.h"
#include "store/StoreAppender.h"
#include "tests/results/SheetRig.h"
#include "tests/support/ScriptedOperator.h"

#include <QDir>
#include <QGuiApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    // The datasheet measures its cells in a font.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: store_churn FOLDER results|import\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QString storePath = folder.filePath(QStringLiteral("store.sqlite"));
    if (qstrcmp(argv[2], "import") == 0) {
        // What --db-import does, over and over.
        ResultsDatabase db;
        if (!db.open(storePath))
            return 3;
        const QString archive = folder.filePath(QStringLiteral("archive.dat"));
        QString error;
        const auto rows = ReadDataFileRows(archive, &error);
        for (;;)
            if (!rows || !db.reconcile(archive, *rows, QStringLiteral("import"), false))
                return 4;
    }

    ScriptedOperator op;
    op.failOnUnexpected = false;
    Parameters params;
    SettingsStore settings(folder.filePath(QStringLiteral("Corvane.ini")));
    ParameterTable table(params, settings, op);
    Datasheet sheet(op, params, table, settings);
    ResultsStore store(storePath);
    store.start(50);
    const QString dataFile = folder.filePath(QStringLiteral("run.dat"));
    DatasheetStoreLink link(sheet, store);
    StoreAppender appender(sheet, store, [&] {
        StoredResult r;
        r.dataFile = link.dataFile();
        r.rowNumber = link.lastRowPlace();
        r.record =
            QStringLiteral("Position\tTime\tLoad\tStress\tStrain\tSpeed\r\n1\t0.1\t1.5\t120\t0.2\t500\r\n");
        r.context.operatorName = QStringLiteral("churn");
        return r;
    });
    sheet.SetupDatasheet();
    if (!sheet.file2grd(dataFile))
        return 5;
    int n = sheet.resultRows();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &sheet, [&] {
        ++n;
        appender.AppendResult(SheetRig::result(n));
        // Every third result, an edit of an earlier row's comment (a rewrite of the whole file).
        if (n % 3 == 0) {
            const int row = n / 2;
            const QString before = sheet.model().cell(row, DataLine::CommentsColumn);
            sheet.SetComment(row, QStringLiteral("ignore, edit %1").arg(n), before);
        }
    });
    tick.start(2);
    return QGuiApplication::exec();
}
