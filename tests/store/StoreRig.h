#pragma once

#include "results/DataFile.h"
#include "results/DataLine.h"
#include "store/ResultsDatabase.h"
#include "tests/results/SheetRig.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <set>

// A results store in a temporary folder beside data files written there.
struct StoreRig {
    QTemporaryDir dir;
    QString storePath = dir.filePath(QStringLiteral("store.sqlite"));

    QString dataFile(const QString& name, int rows) const {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(SheetRig::file(rows));
        return path;
    }
    // Every row of a data file in file order, those beyond where reading stops too.
    static std::vector<DataRow> rows(const QString& path) {
        DataFileContents contents;
        if (DataFile::Read(path, contents))
            return {};
        std::vector<DataRow> all = std::move(contents.rows);
        for (DataRow& row : contents.tailRows)
            all.push_back(std::move(row));
        return all;
    }
    // Runs SQL on the store outside the program, as someone tampering with it would.
    bool tamper(const QString& sql) const {
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tamper"));
            db.setDatabaseName(storePath);
            ok = db.open();
            QSqlQuery q(db);
            for (const QString& statement : sql.split(QLatin1Char(';'), Qt::SkipEmptyParts))
                ok = ok && q.exec(statement);
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("tamper"));
        return ok;
    }
    // Every row of the data file in the store once, with the text the file has: empty when so.
    static QString rowsOnce(ResultsDatabase& db, const QString& dataFile) {
        const std::vector<DataRow> fileRows = rows(dataFile);
        std::multiset<QString> inFile;
        for (const DataRow& r : fileRows)
            inFile.insert(DataLine::FileLine(r));
        std::multiset<QString> inStore;
        std::set<QString> uuids;
        int placed = 0;
        ResultFilter all;
        db.forEachResult(all, [&](const ResultView& view) {
            if (view.inDataFile && view.text(QStringLiteral("data_file")) == dataFile) {
                inStore.insert(DataLine::FileLine(view.currentFields));
                uuids.insert(view.text(QStringLiteral("uuid")));
                ++placed;
            }
            return true;
        });
        if (inFile != inStore)
            return QStringLiteral("file %1 rows, store %2 rows").arg(inFile.size()).arg(inStore.size());
        if (int(uuids.size()) != placed)
            return QStringLiteral("a result placed twice");
        return {};
    }
};
