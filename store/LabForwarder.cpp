#include "store/LabForwarder.h"

#include "results/SafeReplace.h"
#include "store/LabTexts.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

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
    // It names the lab's servers and logins: the user's alone, from the start (a replacement keeps
    // the file's mode).
    if (!QFileInfo::exists(path)) {
        QFile fresh(path);
        if (fresh.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            fresh.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    if (!SafeReplace::WriteWhole(path, kept))
        m_markWritten = m_lastKnownSeq;
}

LabForwarder::Pass LabForwarder::fail(Pass pass, const LabError& error) {
    m_lab.close();
    m_serverSeq.reset();
    pass.error = error;
    pass.waiting = m_sourceOpen ? m_source.resultsAfter(m_lastKnownSeq) : -1;
    return pass;
}

bool LabForwarder::sameTrail(const QString& instrument, const LabHead& server, qint64* agreed,
                             LabError* error) {
    const qint64 local = m_source.lastSeq();
    const qint64 meet = std::min(local, server.seq);
    *agreed = meet;
    if (meet <= 0)
        return true;
    // Whether both trails hold the same entry `seq`; a chain that differs once differs ever after.
    auto same = [&](qint64 seq, bool* ok) {
        const std::optional<QByteArray> mine = m_source.hashAt(seq);
        if (!mine) {
            *error = {LabFault::StoreUnreadable,
                      LabTexts::StoreUnreadable.arg(QStringLiteral("entry %1").arg(seq))};
            *ok = false;
            return false;
        }
        if (seq == server.seq)
            return *mine == server.hash;
        const std::optional<QByteArray> theirs = m_lab.hashAt(instrument, seq, error);
        *ok = theirs.has_value();
        return theirs && *theirs == *mine;
    };
    bool ok = true;
    if (!same(meet, &ok)) {
        if (!ok)
            return false;
        // The first entry where they part, found by halving.
        qint64 low = 0; // agreed (0: nothing to agree on)
        qint64 high = meet;
        while (high - low > 1) {
            const qint64 middle = low + (high - low) / 2;
            const bool agree = same(middle, &ok);
            if (!ok)
                return false;
            (agree ? low : high) = middle;
        }
        *agreed = low;
        *error = {LabFault::Diverged, LabTexts::Diverged.arg(high).arg(m_lab.address().describe())};
        return false;
    }
    if (local < server.seq) {
        *error = {LabFault::Diverged, LabTexts::Behind.arg(server.seq).arg(m_lab.address().describe())};
        return false;
    }
    return true;
}

LabForwarder::Pass LabForwarder::pass() {
    Pass pass;
    if (!m_sourceOpen) {
        QString why;
        if (!m_source.open(&why))
            return fail(pass, {LabFault::StoreUnreadable, LabTexts::StoreUnreadable.arg(why)});
        m_sourceOpen = true;
        readMark();
    }
    LabError error;
    if (!m_lab.isOpen() && !m_lab.open(&error))
        return fail(pass, error);
    const QString instrument = m_source.instrument();
    if (!m_serverSeq) {
        const std::optional<LabHead> head = m_lab.head(instrument, &error);
        if (!head)
            return fail(pass, error);
        qint64 agreed = 0;
        if (!sameTrail(instrument, *head, &agreed, &error)) {
            // Counted by the store's own trail: what it holds beyond the agreed part waits.
            m_lastKnownSeq = agreed;
            return fail(pass, error);
        }
        m_serverSeq = head->seq;
        m_lastKnownSeq = head->seq;
        m_head = *head;
    }
    for (;;) {
        std::vector<LabEvent> events;
        std::vector<LabResult> results;
        QString why;
        if (!m_source.read(*m_serverSeq, batchSize, &events, &results, &why))
            return fail(pass, {LabFault::StoreUnreadable, LabTexts::StoreUnreadable.arg(why)});
        if (events.empty())
            break;
        const std::optional<LabHead> head = m_lab.send(instrument, results, events, &error);
        if (!head)
            return fail(pass, error);
        m_serverSeq = head->seq;
        m_lastKnownSeq = head->seq;
        m_head = *head;
        pass.sent += qint64(results.size());
        pass.entries += qint64(events.size());
    }
    // The store keeps the head the server acknowledged; it only hints, so a failure loses nothing
    // (the next sync keeps it again).
    const std::optional<std::pair<qint64, QByteArray>> kept = m_source.acknowledged();
    if (m_head.seq > 0 && (!kept || kept->first != m_head.seq || kept->second != m_head.hash))
        m_source.acknowledge(m_head.seq, m_head.hash);
    writeMark();
    pass.waiting = m_source.resultsAfter(*m_serverSeq);
    return pass;
}
