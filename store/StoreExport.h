#pragma once

#include "store/ResultsDatabase.h"

#include <QString>

// Writes the store's results to a CSV or JSON file (by the name's suffix). The JSON follows the
// schema shipped with the manual (results-export.schema.json); the CSV has the same fields as columns.
namespace StoreExport {
inline const QString SchemaId = QStringLiteral("stavely-results-export-1");
// The exported fields: name in the file, stored column, unit ("" for texts).
struct Field {
    QString name;
    QString column;
    QString unit;
    bool number;
};
const QList<Field>& Fields();
// The number of results written, or nullopt with *error set.
std::optional<qint64> Write(ResultsDatabase& db, const ResultFilter& filter, const QString& path,
                            QString* error);
// The same from any source of results: forEach hands each result to its callback (which returns false
// to stop) and returns false, with *error set, when the source failed.
using ResultWalk = std::function<bool(const std::function<bool(const ResultView&)>& take, QString* error)>;
std::optional<qint64> Write(const ResultWalk& forEach, const QString& path, QString* error);
} // namespace StoreExport
