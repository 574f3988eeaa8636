#pragma once

#include "store/LabDatabase.h"
#include "store/LabSource.h"

#include <optional>

// Sends what waits in the local store to the lab database, in chain order, batch by batch, each batch
// one transaction. The server is the record of what has arrived: the last event it holds of this
// store's chain is where sending resumes, so a sender killed between the server's commit and anything
// local resends nothing twice, and a resend of the same batch is absorbed by the identities. Before
// sending, the two trails are compared where they meet: a store restored from a backup or copied to
// another PC parts from the server's copy, and then nothing is sent (and nothing dropped).
class LabForwarder {
public:
    LabForwarder(const LabAddress& address, LabSource& source, const QString& connectionName);

    struct Pass {
        qint64 sent = 0;    // results sent by this pass
        qint64 entries = 0; // audit entries sent by this pass
        qint64 waiting = 0; // results still waiting after it; -1 when the store cannot be read
        LabError error;     // None: everything was sent
    };
    // Sends everything that waits; stops at the first failure (the connection is dropped and made
    // again by the next pass).
    Pass pass();
    // Results waiting by the local store's count, without asking the server (for while it is away).
    qint64 waiting() { return m_sourceOpen ? m_source.resultsAfter(m_lastKnownSeq) : 0; }

    int batchSize = 5000;
    // Where the server's copy of the chain ends, when known.
    std::optional<qint64> serverSeq() const { return m_serverSeq; }
    bool sourceOpen() const { return m_sourceOpen; }

private:
    Pass fail(Pass pass, const LabError& error);
    // Whether the store's trail and the server's copy agree where they meet; *agreed is the last
    // entry both hold alike, *error says how they differ.
    bool sameTrail(const QString& instrument, const LabHead& server, qint64* agreed, LabError* error);
    void readMark();
    void writeMark();

    LabDatabase m_lab;
    LabSource& m_source;
    bool m_sourceOpen = false;
    std::optional<qint64> m_serverSeq;
    LabHead m_head;            // the server's head as last acknowledged
    qint64 m_lastKnownSeq = 0; // the server's end as last seen (for counting while it is away)
    qint64 m_markWritten = -1;
    QString m_serverKey;
};
