#pragma once

#include <QString>
#include <QStringList>

class DataRow;

// The identity of a result, derived from what its data file holds: every field of its row except the
// comment, the one field the operator edits after filing. The specimen number, the date and time of
// the break and the measured figures make it unique to one specimen, so a store rebuilt from its data
// files, a store restored from a backup, a row saved under another file name and the lab database all
// name the same specimen by the same identity. The text is taken as Windows-1252 holds it, so a
// character the file cannot hold counts as the "?" the file has.
namespace ResultIdentity {
// fields: columns 1 to 17 of the row (fields[0] is column 1).
QString of(const QStringList& fields);
QString of(const DataRow& row);
} // namespace ResultIdentity
