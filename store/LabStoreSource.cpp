#include "store/LabStoreSource.h"

#include "store/StoreTexts.h"
#include "store/StoreValues.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

namespace {
// The head the lab database last acknowledged: "<seq> <hash>".
const QString AcknowledgedKey = QStringLiteral("lab_acknowledged_head");
} // namespace

LabStoreSource::~LabStoreSource() {
    if (m_connection.isEmpty())
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool LabStoreSource::ownConnection() {
    if (!m_connection.isEmpty())
        return QSqlDatabase::database(m_connection, false).isOpen();
    static std::atomic<int> serial{0};
    m_connection = QStringLiteral("stavely-lab-meta-%1").arg(++serial);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    // The store's writer may hold the lock for a moment.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    return db.open();
}

std::optional<std::pair<qint64, QByteArray>> LabStoreSource::acknowledged() {
    if (!ownConnection())
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
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
    if (!ownConnection())
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
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
    if (!ownConnection()) {
        *error = QSqlDatabase::database(m_connection, false).lastError().text();
        return false;
    }
    // One pass over the trail with each added result and its record beside its entry: the text the
    // chain covers is made from the same columns the store's own chain reads.
    static const QString sql = [] {
        QStringList columns;
        for (const QString& c : StoreValues::EventColumns.split(QStringLiteral(", ")))
            columns << QStringLiteral("e.") + c;
        for (const QString& c : ResultsDatabase::ResultColumns())
            columns << QStringLiteral("r.") + c;
        columns << QStringLiteral("d.data");
        return QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
               QStringLiteral(" FROM events e LEFT JOIN results r ON e.kind = ? AND r.uuid = e.result_uuid "
                              "LEFT JOIN records d ON e.kind = ? AND d.result_uuid = e.result_uuid "
                              "WHERE e.seq > ? ORDER BY e.seq LIMIT ?");
    }();
    const int eventColumns = int(StoreValues::EventColumns.count(QLatin1Char(',')) + 1);
    const int recordColumn = eventColumns + int(ResultsDatabase::ResultColumns().size());
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(sql);
    q.addBindValue(StoreTexts::EventAdded);
    q.addBindValue(StoreTexts::EventAdded);
    q.addBindValue(afterSeq);
    q.addBindValue(limit);
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    const QString instrument = m_db.instrumentId();
    while (q.next()) {
        const AuditEvent e = StoreValues::eventFrom(q);
        if (e.kind == StoreTexts::EventAdded) {
            if (q.value(eventColumns).isNull()) {
                *error = QStringLiteral("result %1 of the store is missing").arg(e.resultUuid);
                return false;
            }
            LabResult r;
            r.instrument = instrument;
            r.content = StoreValues::canonicalOf(q, eventColumns);
            r.record = q.value(recordColumn).toByteArray();
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
