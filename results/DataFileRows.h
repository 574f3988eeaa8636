#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The result rows of a data file as their 17 fields, for the statistics: blank and comment lines and
// the header line left out. nullopt with *error set when the file cannot be read.
std::optional<QList<QStringList>> ReadDataFileRows(const QString& path, QString* error);
