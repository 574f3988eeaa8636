#include "store/LabStoreSource.h"

#include "store/StoreTexts.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

namespace {
// The head the lab database last acknowledged: "<seq> <hash>".
const QString AcknowledgedKey = QStringLiteral("lab_acknowledged_head");
} // namespace

LabStoreSource::~LabStoreSource() {
    if (m_metaConnection.isEmpty())
        return;
    QSqlDatabase::database(m_metaConnection, false).close();
    QSqlDatabase::removeDatabase(m_metaConnection);
}

bool LabStoreSource::metaConnection() {
    if (!m_metaConnection.isEmpty())
        return QSqlDatabase::database(m_metaConnection, false).isOpen();
    static std::atomic<int> serial{0};
    m_metaConnection = QStringLiteral("stavely-lab-meta-%1").arg(++serial);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_metaConnection);
    db.setDatabaseName(m_path);
    // The store's writer may hold the lock for a moment.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    return db.open();
}

std::optional<std::pair<qint64, QByteArray>> LabStoreSource::acknowledged() {
    if (!metaConnection())
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_metaConnection, false));
    q.prepare(QStringLiteral("SELECT value FROM meta WHERE key = ?"));
    q.addBindValue(AcknowledgedKey);
    if (!q.exec())
        return std::nullopt;
    if (!q.next())
        return std::pair<qint64, QByteArray>{};
    const QStringList parts = q.value(0).toString().split(QLatin1Char(' '));
    bool ok = false;
    const qint64 seq = parts.value(0).toLongLong(&ok);
    if (parts.size() != 2 || !ok || seq < 0)
        return std::nullopt;
    return std::pair<qint64, QByteArray>{seq, parts[1].toLatin1()};
}

bool LabStoreSource::acknowledge(qint64 seq, const QByteArray& hash) {
    if (!metaConnection())
        return false;
    QSqlQuery q(QSqlDatabase::database(m_metaConnection, false));
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES (?, ?)"));
    q.addBindValue(AcknowledgedKey);
    q.addBindValue(QString::number(seq) + QLatin1Char(' ') + QString::fromLatin1(hash));
    return q.exec();
}

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

std::optional<QByteArray> LabStoreSource::hashAt(qint64 seq) {
    const std::optional<QList<AuditEvent>> entry = m_db.eventsAfter(seq - 1, 1);
    if (!entry)
        return std::nullopt;
    return entry->isEmpty() || entry->first().seq != seq ? QByteArray() : entry->first().hash;
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
