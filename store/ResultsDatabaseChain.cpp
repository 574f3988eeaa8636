#include "store/ResultsDatabase.h"

#include "store/StoreTexts.h"
#include "store/StoreValues.h"

#include <QCryptographicHash>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

// The audit trail's hash chain: appending an entry, the text a result is covered by, and walking
// the whole trail to verify it.

namespace T = StoreTexts;

std::optional<QByteArray> ResultsDatabase::resultCanonical(const QString& uuid) {
    QSqlQuery& q = query(QStringLiteral("SELECT ") + ResultColumns().join(QStringLiteral(", ")) +
                         QStringLiteral(" FROM results WHERE uuid = ?"));
    if (!run(q, {uuid}))
        return std::nullopt;
    if (!q.next()) {
        fail(QStringLiteral("result not stored"));
        return std::nullopt;
    }
    const QByteArray canonical = StoreValues::canonicalOf(q, 0);
    q.finish();
    return canonical;
}

bool ResultsDatabase::appendEvent(AuditEvent e, const QByteArray& resultText, bool asRecorded) {
    if (m_chainCount < 0) {
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        if (!q.exec(QStringLiteral("SELECT hash FROM events ORDER BY seq DESC LIMIT 1")))
            return fail(q);
        m_head = q.next() ? q.value(0).toByteArray() : QByteArray();
        if (!q.exec(QStringLiteral("SELECT count(*) FROM events")) || !q.next())
            return fail(q);
        m_chainCount = q.value(0).toLongLong();
    }
    if (e.uuid.isEmpty())
        e.uuid = StoreValues::newUuid();
    if (e.utc.isEmpty())
        e.utc = m_now;
    if (!asRecorded) {
        e.systemUser = m_systemUser;
        if (e.operatorName.isEmpty())
            e.operatorName = m_operator;
    }
    e.hash = AuditEvent::chainHash(m_head, e.canonicalText(resultText));
    if (!write(QStringLiteral(
                   "INSERT INTO events(uuid, utc, system_user, operator, kind, data_file, row_number, "
                   "result_uuid, before, after, hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {StoreValues::text(e.uuid), StoreValues::text(e.utc), StoreValues::text(e.systemUser),
                StoreValues::text(e.operatorName), StoreValues::text(e.kind), StoreValues::text(e.dataFile),
                QVariant(e.rowNumber), StoreValues::text(e.resultUuid), StoreValues::text(e.before),
                StoreValues::text(e.after), StoreValues::text(QString::fromLatin1(e.hash))}))
        return false;
    m_head = e.hash;
    ++m_chainCount;
    return true;
}

VerifyOutcome ResultsDatabase::verify() {
    VerifyOutcome out;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QStringList resultColumns;
    for (const QString& c : ResultColumns())
        resultColumns << QStringLiteral("r.") + c;
    // An "added" entry covers its result; a missing result reads as nothing and fails.
    if (!q.exec(
            QStringLiteral("SELECT e.seq, e.uuid, e.utc, e.system_user, e.operator, e.kind, e.data_file, "
                           "e.row_number, e.result_uuid, e.before, e.after, e.hash, (r.uuid IS NOT NULL), ") +
            resultColumns.join(QStringLiteral(", ")) +
            QStringLiteral(" FROM events e LEFT JOIN results r ON e.kind = '") + T::EventAdded +
            QStringLiteral("' AND r.uuid = e.result_uuid ORDER BY e.seq"))) {
        fail(q);
        out.broken = m_error;
        return out;
    }
    QByteArray previous;
    QSet<QString> covered;
    while (q.next()) {
        const AuditEvent e = StoreValues::eventFrom(q);
        QByteArray resultText;
        if (e.kind == T::EventAdded) {
            if (q.value(12).toBool()) {
                resultText = StoreValues::canonicalOf(q, 13);
                covered.insert(e.resultUuid);
            } else {
                resultText = QByteArrayLiteral("missing");
            }
        }
        const QByteArray expected = AuditEvent::chainHash(previous, e.canonicalText(resultText));
        if (expected != e.hash) {
            out.broken =
                e.describe() + (e.kind == T::EventAdded && !q.value(12).toBool()
                                    ? QStringLiteral(": its result is missing")
                                    : QStringLiteral(": changed, or an entry before it removed or moved"));
            return out;
        }
        previous = e.hash;
        ++out.events;
    }
    if (q.lastError().isValid()) {
        fail(q);
        out.broken = m_error;
        return out;
    }
    // Entries cut off the end leave a head the chain no longer reaches.
    if (!q.exec(QStringLiteral("SELECT key, value FROM meta WHERE key IN ('chain_head', 'chain_count')"))) {
        fail(q);
        out.broken = m_error;
        return out;
    }
    QHash<QString, QString> meta;
    while (q.next())
        meta.insert(q.value(0).toString(), q.value(1).toString());
    if (meta.value(QStringLiteral("chain_head")).toLatin1() != previous ||
        meta.value(QStringLiteral("chain_count")).toLongLong() != out.events) {
        out.broken = QStringLiteral("the end of the audit trail: ") +
                     QString::number(meta.value(QStringLiteral("chain_count")).toLongLong() - out.events) +
                     QStringLiteral(" entries after entry ") + QString::number(out.events) +
                     QStringLiteral(" are missing or the trail was extended outside the program");
        return out;
    }
    // Every result must be covered by its entry, and every record by its result.
    if (!q.exec(QStringLiteral("SELECT uuid, recorded_utc, data_file, row_number FROM results"))) {
        fail(q);
        out.broken = m_error;
        return out;
    }
    while (q.next()) {
        ++out.results;
        if (!covered.contains(q.value(0).toString())) {
            out.broken = q.value(1).toString() + QStringLiteral(" result of ") + q.value(2).toString() +
                         QStringLiteral(" row ") + q.value(3).toString() +
                         QStringLiteral(": not in the audit trail (put in outside the program)");
            return out;
        }
    }
    if (!q.exec(
            QStringLiteral("SELECT k.result_uuid, k.data, r.record_sha256, r.recorded_utc, r.data_file, "
                           "r.row_number FROM records k LEFT JOIN results r ON r.uuid = k.result_uuid"))) {
        fail(q);
        out.broken = m_error;
        return out;
    }
    while (q.next()) {
        const QByteArray hash =
            QCryptographicHash::hash(q.value(1).toByteArray(), QCryptographicHash::Sha256).toHex();
        if (hash != q.value(2).toByteArray()) {
            out.broken = q.value(3).toString() + QStringLiteral(" load/time record of ") +
                         q.value(4).toString() + QStringLiteral(" row ") + q.value(5).toString() +
                         QStringLiteral(": changed");
            return out;
        }
    }
    out.intact = true;
    return out;
}
