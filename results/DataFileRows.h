#pragma once

#include "results/DataRow.h"

#include <QString>
#include <optional>
#include <vector>

// The result rows of a data file, read by the datasheet's reader, for the statistics and the report.
// nullopt with *error set when the file cannot be read, or holds so many items that are not numbers
// that the datasheet would not read it to its end.
std::optional<std::vector<DataRow>> ReadDataFileRows(const QString& path, QString* error);
