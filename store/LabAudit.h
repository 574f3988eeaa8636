#pragma once

#include "store/LabDatabase.h"
#include "store/LabSource.h"

#include <QString>
#include <vector>

// The server's copy of the testers' audit trails, checked store by store exactly as each store checks
// its own: every entry in its place, each hash the digest of the one before and of the entry's text,
// every "added" entry covering its result's stored values, every result covered by one. A row changed,
// removed or reordered on the server breaks its store's chain.
namespace LabAudit {
struct ChainReport {
    QString instrument;
    qint64 events = 0;
    qint64 results = 0;
    bool intact = true;
    QString broken; // the first entry that does not verify: its time, what it was and why
};

// One report per store (or only `instrument`'s); *error set when the server could not be read. A
// trail that ends before the head the server acknowledged to its sender was cut.
std::vector<ChainReport> Verify(LabDatabase& lab, const QString& instrument, LabError* error);
// A local store beside the server's copies: the server must still hold the head the store keeps as
// acknowledged, and the store the head the server acknowledged. Marks its instrument's report broken.
void CompareHeads(LabDatabase& lab, LabSource& store, std::vector<ChainReport>* reports, LabError* error);

// Lines for the command line: "<instrument>: audit trail intact: 12 entries, 10 results" or
// "<instrument>: audit trail broken at …".
QString Text(const std::vector<ChainReport>& reports);
} // namespace LabAudit
