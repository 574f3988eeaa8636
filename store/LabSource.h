#pragma once

#include "store/LabRecords.h"

#include <optional>

#include <QString>
#include <vector>

// What waits for the lab database, as the local store holds it: its audit events in chain order, each
// result travelling with the event that added it. Opened and read on the sender's thread only.
class LabSource {
public:
    virtual ~LabSource() = default;

    virtual bool open(QString* error) = 0;
    // The chain's identity on the server (one per local store).
    virtual QString instrument() = 0;
    // The last event's place in the chain; 0 when there is none.
    virtual qint64 lastSeq() = 0;
    // Up to `limit` events after `afterSeq`, in order, and the results their events added.
    virtual bool read(qint64 afterSeq, int limit, std::vector<LabEvent>* events,
                      std::vector<LabResult>* results, QString* error) = 0;
    // Results added by events after `afterSeq`.
    virtual qint64 resultsAfter(qint64 afterSeq) = 0;
    // The hash of entry `seq` (empty when the trail has none); nullopt when the store cannot be read.
    virtual std::optional<QByteArray> hashAt(qint64 seq) = 0;
    // The head the lab database last acknowledged, as the store keeps it (seq 0: none), and its
    // keeping after a sync; a store that keeps none answers seq 0 and keeps nothing.
    virtual std::optional<std::pair<qint64, QByteArray>> acknowledged() {
        return std::pair<qint64, QByteArray>{};
    }
    virtual bool acknowledge(qint64 seq, const QByteArray& hash) {
        Q_UNUSED(seq);
        Q_UNUSED(hash);
        return true;
    }
    // A file where the sender notes how far each server's copy reached, so that a program started
    // while the server is away can tell how many results wait (empty: none is kept).
    virtual QString markFile() { return QString(); }
};
