#pragma once

#include "store/AuditEvent.h"

#include <QList>
#include <QString>
#include <optional>

class ResultsDatabase;

// The parts of the audit trail a person asks for: the story of one row, of one data file, the
// option and calibration changes (entries that belong to no row: row 0), or the whole trail.
namespace AuditTrail {
enum class Scope { Row, DataFile, Settings, Whole };

// The entries in the order they were made; nullopt with *error set when the store failed.
// dataFile is the file as the store keys it (absolute, clean path).
std::optional<QList<AuditEvent>> Read(ResultsDatabase& db, Scope scope, const QString& dataFile, int row,
                                      QString* error);

// Why the change was made, where the entry tells it: the comment an ignored row was given, the
// comment a deleted row had. Empty when the entry gives no reason.
QString Reason(const AuditEvent& event);
// The entry's time in UTC as "yyyy-MM-dd hh:mm:ss".
QString Time(const AuditEvent& event);
// One line of --history: time, what, row, account, operator, before/after and reason, tab-separated.
QString Line(const AuditEvent& event);
// The store's key of a data file given by its name on the command line or in a window.
QString FileKey(const QString& path);
} // namespace AuditTrail
