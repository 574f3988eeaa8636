#include "store/LabForwarder.h"

#include "results/SafeReplace.h"

#include <QFile>

LabForwarder::LabForwarder(const LabAddress& address, LabSource& source, const QString& connectionName)
    : m_lab(address, connectionName), m_source(source), m_serverKey(address.describe()) {}

// The mark file: one line per server, "<server>\t<last entry it holds>".
void LabForwarder::readMark() {
    QFile file(m_source.markFile());
    if (m_source.markFile().isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() == 2 && QString::fromUtf8(parts[0]) == m_serverKey) {
            bool ok = false;
            const qint64 seq = parts[1].toLongLong(&ok);
            if (ok && seq >= 0)
                m_lastKnownSeq = seq;
        }
    }
    m_markWritten = m_lastKnownSeq;
}

void LabForwarder::writeMark() {
    const QString path = m_source.markFile();
    if (path.isEmpty() || m_markWritten == m_lastKnownSeq)
        return;
    QByteArray kept;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.isEmpty() && !line.startsWith(m_serverKey.toUtf8() + '\t'))
                kept += line + '\n';
        file.close();
    }
    kept += m_serverKey.toUtf8() + '\t' + QByteArray::number(m_lastKnownSeq) + '\n';
    // Only a hint for counting: a failure to write it loses nothing.
    if (!SafeReplace::WriteWhole(path, kept))
        m_markWritten = m_lastKnownSeq;
}

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
        readMark();
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
    writeMark();
    pass.waiting = m_source.resultsAfter(*m_serverSeq);
    return pass;
}
