#include "store/LabStoreSource.h"

#include "store/StoreTexts.h"

bool LabStoreSource::open(QString* error) {
    if (m_db.isOpen())
        return true;
    if (!m_db.open(m_path)) {
        *error = m_db.error();
        return false;
    }
    return true;
}

qint64 LabStoreSource::lastSeq() {
    return m_db.lastSeq().value_or(0);
}

qint64 LabStoreSource::resultsAfter(qint64 afterSeq) {
    return m_db.resultsAddedAfter(afterSeq).value_or(0);
}

bool LabStoreSource::read(qint64 afterSeq, int limit, std::vector<LabEvent>* events,
                          std::vector<LabResult>* results, QString* error) {
    const std::optional<QList<AuditEvent>> trail = m_db.eventsAfter(afterSeq, limit);
    if (!trail) {
        *error = m_db.error();
        return false;
    }
    const QString instrument = m_db.instrumentId();
    for (const AuditEvent& e : *trail) {
        if (e.kind == StoreTexts::EventAdded) {
            LabResult r;
            r.instrument = instrument;
            const std::optional<QByteArray> text = m_db.resultText(e.resultUuid);
            if (!text) {
                *error = m_db.error();
                return false;
            }
            r.content = *text;
            r.record = m_db.storedRecord(e.resultUuid);
            if (!r.fillFromContent()) {
                *error = QStringLiteral("result %1 of the store cannot be read").arg(e.resultUuid);
                return false;
            }
            results->push_back(std::move(r));
        }
        events->push_back({instrument, e});
    }
    return true;
}
