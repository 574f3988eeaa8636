#include "store/ResultsDatabase.h"

#include "results/DataLine.h"
#include "store/StoreTexts.h"
#include "store/StoreValues.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

// Reading the store: a row's story, results for searches and exports, load/time records, and what
// the lab database sender reads.

namespace T = StoreTexts;

std::optional<QList<AuditEvent>> ResultsDatabase::history(const QString& dataFile, int rowNumber) {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    // The result now at that row, else the one that was there last; then everything about it, and
    // the entries about the row itself.
    q.prepare(QStringLiteral("SELECT p.result_uuid FROM placements p JOIN data_files f ON f.id = p.file_id "
                             "WHERE f.path = ? AND p.row_number = ?"));
    q.addBindValue(dataFile);
    q.addBindValue(rowNumber);
    if (!exec(q))
        return std::nullopt;
    QString uuid = q.next() ? q.value(0).toString() : QString();
    if (uuid.isEmpty()) {
        q.prepare(QStringLiteral("SELECT result_uuid FROM events WHERE data_file = ? AND row_number = ? AND "
                                 "result_uuid <> '' ORDER BY seq DESC LIMIT 1"));
        q.addBindValue(dataFile);
        q.addBindValue(rowNumber);
        if (!exec(q))
            return std::nullopt;
        uuid = q.next() ? q.value(0).toString() : QString();
    }
    q.prepare(
        QStringLiteral("SELECT ") + StoreValues::EventColumns +
        QStringLiteral(" FROM events WHERE (result_uuid <> '' AND result_uuid = ?) OR (data_file = ? AND "
                       "row_number = ? AND result_uuid = '') ORDER BY seq"));
    q.addBindValue(uuid);
    q.addBindValue(dataFile);
    q.addBindValue(rowNumber);
    if (!exec(q))
        return std::nullopt;
    QList<AuditEvent> events;
    while (q.next())
        events.append(StoreValues::eventFrom(q));
    return events;
}

bool ResultsDatabase::forEachResult(const ResultFilter& filter,
                                    const std::function<bool(const ResultView&)>& take) {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QStringList where;
    QList<QVariant> values;
    auto condition = [&](const QString& text, const QString& sql, const QVariant& value) {
        if (text.isEmpty())
            return;
        where << sql;
        values << value;
    };
    condition(filter.sample, QStringLiteral("r.sample = ?"), filter.sample);
    condition(filter.operatorName, QStringLiteral("r.operator = ?"), filter.operatorName);
    condition(filter.since, QStringLiteral("r.tested_at >= ?"), filter.since);
    condition(filter.until, QStringLiteral("r.tested_at < ?"),
              QDate::fromString(filter.until, Qt::ISODate).addDays(1).toString(Qt::ISODate));
    condition(filter.rate, QStringLiteral("r.nominal_rate = ?"), filter.rate);
    QString sql = QStringLiteral("SELECT r.") + ResultColumns().join(QStringLiteral(", r.")) +
                  QStringLiteral(", (SELECT p.line FROM placements p WHERE p.result_uuid = r.uuid LIMIT 1) "
                                 "FROM results r");
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY r.seq");
    if (filter.limit > 0)
        sql += QStringLiteral(" LIMIT ") + QString::number(filter.limit);
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!exec(q))
        return false;
    const QStringList& columns = ResultColumns();
    const int currentAt = int(columns.size());
    ResultView view;
    DataLine::Fields parsed;
    while (q.next()) {
        view.values.resize(currentAt);
        for (int i = 0; i < currentAt; ++i)
            view.values[i] = q.value(i);
        view.inDataFile = !q.value(currentAt).isNull();
        const QString line =
            view.inDataFile ? q.value(currentAt).toString() : view.text(QStringLiteral("line"));
        DataLine::ParseDataLine(line, parsed);
        view.currentFields.clear();
        for (int c = 1; c < DataLine::Columns; ++c)
            view.currentFields << parsed[size_t(c)];
        if (!take(view))
            break;
    }
    if (q.lastError().isValid())
        return fail(q);
    return true;
}

QString ResultsDatabase::record(const QString& resultUuid) {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT data FROM records WHERE result_uuid = ?"));
    q.addBindValue(resultUuid);
    if (!exec(q) || !q.next())
        return {};
    return QString::fromUtf8(qUncompress(q.value(0).toByteArray()));
}

std::optional<QList<AuditEvent>> ResultsDatabase::eventsAfter(qint64 afterSeq, int limit) {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + StoreValues::EventColumns +
              QStringLiteral(" FROM events WHERE seq > ? ORDER BY seq LIMIT ?"));
    q.addBindValue(afterSeq);
    q.addBindValue(limit);
    if (!exec(q))
        return std::nullopt;
    QList<AuditEvent> events;
    while (q.next())
        events << StoreValues::eventFrom(q);
    return events;
}

std::optional<qint64> ResultsDatabase::lastSeq() {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("SELECT coalesce(max(seq), 0) FROM events")) || !q.next()) {
        fail(q);
        return std::nullopt;
    }
    return q.value(0).toLongLong();
}

std::optional<qint64> ResultsDatabase::resultsAddedAfter(qint64 afterSeq) {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT count(*) FROM events WHERE seq > ? AND kind = ?"));
    q.addBindValue(afterSeq);
    q.addBindValue(T::EventAdded);
    if (!exec(q) || !q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
}

QByteArray ResultsDatabase::storedRecord(const QString& resultUuid) {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT data FROM records WHERE result_uuid = ?"));
    q.addBindValue(resultUuid);
    if (!exec(q) || !q.next())
        return {};
    return q.value(0).toByteArray();
}

qint64 ResultsDatabase::count(const QString& table) {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("SELECT count(*) FROM ") + table) || !q.next())
        return -1;
    return q.value(0).toLongLong();
}
