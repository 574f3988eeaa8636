#pragma once

#include "store/LabRecords.h"

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
    // A file where the sender notes how far each server's copy reached, so that a program started
    // while the server is away can tell how many results wait (empty: none is kept).
    virtual QString markFile() { return QString(); }
};
