#include "store/LabForwarder.h"

LabForwarder::LabForwarder(const LabAddress& address, LabSource& source, const QString& connectionName)
    : m_lab(address, connectionName), m_source(source) {}

LabForwarder::Pass LabForwarder::fail(Pass pass, const LabError& error) {
    m_lab.close();
    m_serverSeq.reset();
    pass.error = error;
    pass.waiting = m_sourceOpen ? m_source.resultsAfter(m_lastKnownSeq) : 0;
    return pass;
}

LabForwarder::Pass LabForwarder::pass() {
    Pass pass;
    if (!m_sourceOpen) {
        QString why;
        if (!m_source.open(&why))
            return fail(pass, {LabFault::Other, why});
        m_sourceOpen = true;
    }
    LabError error;
    if (!m_lab.isOpen() && !m_lab.open(&error))
        return fail(pass, error);
    const QString instrument = m_source.instrument();
    if (!m_serverSeq) {
        const std::optional<qint64> end = m_lab.lastSeq(instrument, &error);
        if (!end)
            return fail(pass, error);
        m_serverSeq = *end;
        m_lastKnownSeq = *end;
    }
    for (;;) {
        std::vector<LabEvent> events;
        std::vector<LabResult> results;
        QString why;
        if (!m_source.read(*m_serverSeq, batchSize, &events, &results, &why))
            return fail(pass, {LabFault::Other, why});
        if (events.empty())
            break;
        if (!m_lab.send(results, events, &error))
            return fail(pass, error);
        m_serverSeq = events.back().event.seq;
        m_lastKnownSeq = *m_serverSeq;
        pass.sent += qint64(results.size());
    }
    pass.waiting = m_source.resultsAfter(*m_serverSeq);
    return pass;
}
