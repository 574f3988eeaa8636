#pragma once

#include "store/LabRecords.h"

#include <QByteArray>
#include <vector>

// A batch as the server's function takes it: JSON arrays of objects named as the columns, built in
// one pass (the server parses them at its own speed; no value is bound one by one).
namespace LabBatch {
QByteArray ResultsJson(const std::vector<LabResult>& results);
QByteArray EventsJson(const std::vector<LabEvent>& events);
// A text as a JSON string, quotes included.
void AppendString(QByteArray& out, QByteArrayView utf8);
} // namespace LabBatch
