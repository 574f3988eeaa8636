#pragma once

#include "store/LabDatabase.h"

#include <QJsonObject>
#include <QString>
#include <vector>

// The server's copy of the testers' audit trails, checked chain by chain: every event in its place,
// each hash the digest of the one before and of its own text, every result the one its "added" event
// describes. A row changed, removed or reordered on the server breaks its instrument's chain.
namespace LabAudit {
struct ChainReport {
    QString instrument;
    qint64 events = 0;
    qint64 results = 0;
    bool intact = true;
    QString broken; // the first broken link: its place, time and what it was, and why
};

// nullopt-free: a failed read leaves *error set and the reports so far.
std::vector<ChainReport> Verify(LabDatabase& lab, const QString& instrument, LabError* error);

// hash = SHA-256(previous hash ‖ canonical text), in hex.
QString Link(const QString& previousHash, const QString& canonical);
// The digest of a result's content that its "added" event carries.
QString ContentDigest(const QByteArray& content);
// Fills a result's content: its columns and `extra` (record, calibration, parameters) as one JSON
// object, and the content's digest. The columns are copies for searching; the content is what counts.
void SetContent(LabResult& result, const QJsonObject& extra);
// Whether the searchable columns still say what the content says.
bool ColumnsMatch(const LabResult& result);

// One line per chain for the command line.
QString Text(const std::vector<ChainReport>& reports);
} // namespace LabAudit
