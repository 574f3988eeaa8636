#include "store/ResultsDatabase.h"

#include "results/BatchStatistics.h"
#include "results/DataLine.h"
#include "store/ResultIdentity.h"
#include "store/StoreTexts.h"
#include "store/StoreValues.h"
#include "store/TraceabilityTexts.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMultiHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>

// What the program itself does to the store: results filed, comments edited, rows deleted, a
// datasheet saved under a new name, other entries.

namespace T = StoreTexts;

namespace {
// The reason for a change, as the entry that follows it.
AuditEvent reasonFor(const AuditEvent& change, const QString& reason) {
    AuditEvent e;
    e.kind = TraceabilityTexts::EventReason;
    e.dataFile = change.dataFile;
    e.rowNumber = change.rowNumber;
    e.resultUuid = change.resultUuid;
    e.after = reason;
    return e;
}
} // namespace

std::optional<qint64> ResultsDatabase::fileId(const QString& dataFile, bool create, bool* created) {
    if (created)
        *created = false;
    const auto cached = m_fileIds.constFind(dataFile);
    if (cached != m_fileIds.constEnd())
        return *cached;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT id FROM data_files WHERE path = ?"));
    q.addBindValue(dataFile);
    if (!exec(q))
        return std::nullopt;
    if (q.next()) {
        m_fileIds.insert(dataFile, q.value(0).toLongLong());
        return q.value(0).toLongLong();
    }
    if (!create)
        return qint64(-1);
    q.prepare(QStringLiteral("INSERT INTO data_files(path, identity, first_seen_utc) VALUES (?, ?, ?)"));
    q.addBindValue(dataFile);
    q.addBindValue(StoreValues::newUuid());
    q.addBindValue(m_now);
    if (!exec(q))
        return std::nullopt;
    if (created)
        *created = true;
    const qint64 id = q.lastInsertId().toLongLong();
    m_fileIds.insert(dataFile, id);
    return id;
}

QString ResultsDatabase::calibrationDate(const QString& serial, const std::optional<double>& slope) {
    if (serial.isEmpty() || !slope)
        return {};
    // The calibration's date is when the store saw it taken.
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(
        QStringLiteral("SELECT utc FROM events WHERE kind = ? AND after = ? ORDER BY seq DESC LIMIT 1"));
    q.addBindValue(T::EventCalibration);
    q.addBindValue(serial + QLatin1Char(' ') + QString::number(*slope, 'g', 17));
    if (!q.exec() || !q.next())
        return {};
    return q.value(0).toString();
}

bool ResultsDatabase::insertResultRow(QList<QVariant> values, const QString& identity,
                                      CanonicalText& covered) {
    static const QString sql = [] {
        const QStringList& columns = ResultColumns();
        QStringList marks;
        for (qsizetype i = 0; i <= columns.size(); ++i)
            marks << QStringLiteral("?");
        return QStringLiteral("INSERT INTO results(") + columns.join(QStringLiteral(", ")) +
               QStringLiteral(", identity) VALUES (") + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
    }();
    const qsizetype stored = values.size();
    values << identity;
    return write(sql, values, &covered, stored);
}

bool ResultsDatabase::insertResult(const StoredResult& given, const KnownRow& known) {
    // The store keeps a row as the data file holds it: a character the file cannot hold is the "?" there.
    const bool asFile = !known.line.isEmpty();
    std::optional<StoredResult> converted;
    if (!asFile) {
        converted = given;
        converted->fields = StoreValues::asFileHolds(given.fields);
    }
    const StoredResult& r = converted ? *converted : given;
    const QString contextOperator = StoreValues::asFileHolds(r.context.operatorName);
    const QString contextSample = StoreValues::asFileHolds(r.context.sample);
    const QString identity = !known.identity.isEmpty() && (r.uuid == known.identity || r.uuid.isEmpty())
                                 ? known.identity
                                 : ResultIdentity::of(r.fields);
    const QString uuid = r.uuid.isEmpty() ? identity : r.uuid;
    bool fileCreated = false;
    const std::optional<qint64> file = fileId(r.dataFile, true, &fileCreated);
    if (!file)
        return false;
    QString fileIdentity = m_fileIdentities.value(*file);
    if (fileIdentity.isEmpty()) {
        QSqlQuery& identityQuery = query(QStringLiteral("SELECT identity FROM data_files WHERE id = ?"));
        if (!run(identityQuery, {*file}) || !identityQuery.next())
            return fail(QStringLiteral("data file entry missing"));
        fileIdentity = identityQuery.value(0).toString();
        identityQuery.finish();
        m_fileIdentities.insert(*file, fileIdentity);
    }

    const QStringList& f = r.fields;
    auto field = [&f](int column) { return column - 1 < f.size() ? f[column - 1] : QString(); };
    const auto [rateValue, rateUnit] = StoreValues::splitRate(field(6));
    QByteArray recordBlob;
    QVariant samples{QMetaType(QMetaType::LongLong)};
    QVariant recordHash{QMetaType(QMetaType::QString)};
    if (!r.record.isEmpty()) {
        recordBlob = qCompress(r.record.toUtf8(), 6);
        samples = qlonglong(r.record.count(QLatin1Char('\n')));
        recordHash =
            QString::fromLatin1(QCryptographicHash::hash(recordBlob, QCryptographicHash::Sha256).toHex());
    }
    const QString conditions = field(17);
    QString operatorName = contextOperator;
    QString sample = contextSample;
    if (operatorName.isEmpty())
        operatorName = StoredResult::ConditionsItem(conditions, QStringLiteral("operator"));
    if (sample.isEmpty())
        sample = StoredResult::ConditionsItem(conditions, QStringLiteral("sample"));
    const QVariant slope = r.context.calibrationSlope ? QVariant(*r.context.calibrationSlope)
                                                      : QVariant(QMetaType(QMetaType::Double));
    const QString line = asFile ? known.line : r.line();
    QList<QVariant> values = {uuid,
                              r.dataFile,
                              fileIdentity,
                              r.rowNumber,
                              line,
                              StoreValues::numberOrNull(field(1)),
                              StoreValues::numberOrNull(field(2)),
                              StoreValues::numberOrNull(field(3)),
                              StoreValues::numberOrNull(field(4)),
                              StoreValues::numberOrNull(field(5)),
                              field(6),
                              rateValue,
                              rateUnit,
                              StoreValues::numberOrNull(field(7)),
                              StoreValues::numberOrNull(field(8)),
                              StoreValues::numberOrNull(field(9)),
                              StoreValues::numberOrNull(field(10)),
                              StoreValues::numberOrNull(field(11)),
                              StoreValues::numberOrNull(field(12)),
                              StoreValues::numberOrNull(field(13)),
                              StoredResult::TestedAt(f),
                              field(16),
                              conditions,
                              operatorName,
                              sample,
                              r.context.parameters,
                              r.context.calibrationSerial,
                              slope,
                              calibrationDate(r.context.calibrationSerial, r.context.calibrationSlope),
                              r.context.programVersion,
                              r.context.host,
                              r.context.firmware,
                              r.recordedUtc.isEmpty() ? m_now : r.recordedUtc,
                              r.origin,
                              samples,
                              recordHash};
    // The chain covers the result as --audit-verify reads it back: the values as they are bound, as
    // SQLite keeps them.
    CanonicalText covered;
    covered.reserve(1024);
    if (!insertResultRow(std::move(values), identity, covered))
        return false;
    if (!recordBlob.isEmpty() &&
        !write(QStringLiteral("INSERT INTO records(result_uuid, data) VALUES (?, ?)"), {uuid, recordBlob}))
        return false;
    if (!place(*file, r.rowNumber, uuid, line, asFile ? known.lineHash : LineHash(f)))
        return false;
    AuditEvent added;
    added.kind = T::EventAdded;
    added.dataFile = r.dataFile;
    added.rowNumber = r.rowNumber;
    added.resultUuid = uuid;
    added.after = r.origin;
    if (!contextOperator.isEmpty())
        added.operatorName = contextOperator;
    return appendEvent(added, covered.bytes());
}

bool ResultsDatabase::place(qint64 file, int rowNumber, const QString& uuid, const QString& line,
                            qint64 lineHash) {
    return write(QStringLiteral("INSERT INTO placements(file_id, row_number, result_uuid, line, line_hash) "
                                "VALUES (?, ?, ?, ?, ?)"),
                 {file, rowNumber, uuid, line, lineHash});
}

std::optional<QString> ResultsDatabase::storedResult(const QString& identity) {
    QSqlQuery& q = query(QStringLiteral("SELECT uuid FROM results WHERE identity = ? ORDER BY seq LIMIT 1"));
    if (!run(q, {identity}))
        return std::nullopt;
    const QString uuid = q.next() ? q.value(0).toString() : QString();
    q.finish();
    return uuid;
}

bool ResultsDatabase::mayHoldRecords(const QString& dataFile) {
    const QString folder = QFileInfo(dataFile).absolutePath();
    if (folder != m_recordFolder) {
        // Record files are named after their break: yyyyMMdd_hhmmss_specimen.dat. A folder without
        // one has nothing to read for any row, and its rows are not looked up one by one.
        static const QRegularExpression recordName(QStringLiteral("^\\d{8}_\\d{6}_\\d+\\.dat$"),
                                                   QRegularExpression::CaseInsensitiveOption);
        m_recordFolder = folder;
        m_folderHasRecords = false;
        QDirIterator names(folder, QDir::Files);
        while (!m_folderHasRecords && names.hasNext())
            m_folderHasRecords = recordName.match(QFileInfo(names.next()).fileName()).hasMatch();
    }
    return m_folderHasRecords;
}

StoredResult ResultsDatabase::fromRow(const QString& dataFile, const DataRow& row, const QString& origin,
                                      const QString& identity) {
    StoredResult r;
    r.dataFile = dataFile;
    r.rowNumber = row.number();
    r.fields = row.isNarrow() ? row.fields() : StoreValues::asFileHolds(row.fields());
    r.uuid = identity.isEmpty() ? ResultIdentity::of(r.fields) : identity;
    r.origin = origin;
    if (m_recordPath && mayHoldRecords(dataFile)) {
        const QString recordFile = m_recordPath(dataFile, r.fields);
        QFile in(recordFile);
        // A record file is a few hundred kilobytes at most; anything else is not one.
        if (!recordFile.isEmpty() && QFileInfo(recordFile).isFile() && in.size() < 16 * 1024 * 1024 &&
            in.open(QIODevice::ReadOnly))
            r.record = QString::fromLatin1(in.readAll());
    }
    return r;
}

bool ResultsDatabase::addResult(const StoredResult& result) {
    return transaction([&] {
        // Taken in already (a repeated write of the same result, a reconciliation that found its row
        // first, a store rebuilt from the lab database): the result the chain covers is placed at its
        // row, never filed twice.
        const QStringList fields = StoreValues::asFileHolds(result.fields);
        std::optional<QString> stored = storedResult(ResultIdentity::of(fields));
        if (stored && stored->isEmpty() && !result.uuid.isEmpty()) {
            QSqlQuery& byUuid = query(QStringLiteral("SELECT uuid FROM results WHERE uuid = ?"));
            if (!run(byUuid, {result.uuid}))
                return false;
            stored = byUuid.next() ? byUuid.value(0).toString() : QString();
            byUuid.finish();
        }
        if (!stored)
            return false;
        if (stored->isEmpty())
            return insertResult(result, {});
        const std::optional<qint64> file = fileId(result.dataFile, true);
        if (!file)
            return false;
        QSqlQuery& placed =
            query(QStringLiteral("SELECT 1 FROM placements WHERE file_id = ? AND row_number = ?"));
        if (!run(placed, {*file, result.rowNumber}))
            return false;
        const bool there = placed.next();
        placed.finish();
        return there || place(*file, result.rowNumber, *stored, DataLine::FileLine(fields), LineHash(fields));
    });
}

bool ResultsDatabase::commentEdited(const QString& dataFile, int rowNumber, const QStringList& fields,
                                    const QString& before, const QString& reason) {
    return transaction([&] {
        const std::optional<qint64> file = fileId(dataFile, false);
        if (!file)
            return false;
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        q.prepare(QStringLiteral("SELECT result_uuid FROM placements WHERE file_id = ? AND row_number = ?"));
        q.addBindValue(*file);
        q.addBindValue(rowNumber);
        if (!exec(q))
            return false;
        const QString uuid = q.next() ? q.value(0).toString() : QString();
        const QString line = DataLine::FileLine(fields);
        q.prepare(QStringLiteral(
            "UPDATE placements SET line = ?, line_hash = ? WHERE file_id = ? AND row_number = ?"));
        q.addBindValue(line);
        q.addBindValue(LineHash(fields));
        q.addBindValue(*file);
        q.addBindValue(rowNumber);
        if (!exec(q))
            return false;
        const QString after = fields.value(DataLine::CommentsColumn - 1);
        AuditEvent e;
        e.kind = BatchStatistics::IsIgnored(after) && !BatchStatistics::IsIgnored(before) ? T::EventIgnore
                                                                                          : T::EventComment;
        e.dataFile = dataFile;
        e.rowNumber = rowNumber;
        e.resultUuid = uuid;
        e.before = before;
        e.after = after;
        return appendEvent(e) && (reason.isEmpty() || appendEvent(reasonFor(e, reason)));
    });
}

bool ResultsDatabase::rowDeleted(const QString& dataFile, int rowNumber, const QString& line,
                                 const QString& reason) {
    return transaction([&] {
        const std::optional<qint64> file = fileId(dataFile, false);
        if (!file)
            return false;
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        q.prepare(
            QStringLiteral("SELECT rowid, result_uuid FROM placements WHERE file_id = ? AND row_number = ? "
                           "ORDER BY (line = ?) DESC LIMIT 1"));
        q.addBindValue(*file);
        q.addBindValue(rowNumber);
        q.addBindValue(line);
        if (!exec(q))
            return false;
        QString uuid;
        if (q.next()) {
            uuid = q.value(1).toString();
            const qint64 rowid = q.value(0).toLongLong();
            q.prepare(QStringLiteral("DELETE FROM placements WHERE rowid = ?"));
            q.addBindValue(rowid);
            if (!exec(q))
                return false;
        }
        q.prepare(QStringLiteral(
            "UPDATE placements SET row_number = row_number - 1 WHERE file_id = ? AND row_number > ?"));
        q.addBindValue(*file);
        q.addBindValue(rowNumber);
        AuditEvent e;
        e.kind = T::EventDeleted;
        e.dataFile = dataFile;
        e.rowNumber = rowNumber;
        e.resultUuid = uuid;
        e.before = line;
        return exec(q) && appendEvent(e) && (reason.isEmpty() || appendEvent(reasonFor(e, reason)));
    });
}

bool ResultsDatabase::addEvent(const QString& kind, const QString& what, const QString& before,
                               const QString& after) {
    return transaction([&] {
        AuditEvent e;
        e.kind = kind;
        e.dataFile = what;
        e.before = before;
        e.after = after;
        return appendEvent(e);
    });
}

bool ResultsDatabase::savedAs(const QString& oldFile, const QString& newFile,
                              const std::vector<DataRow>& rows) {
    if (!begin())
        return false;
    AuditEvent e;
    e.kind = T::EventSavedAs;
    e.dataFile = newFile;
    e.before = oldFile;
    e.after = newFile;
    const std::optional<qint64> from = fileId(oldFile, false);
    std::optional<qint64> to = fileId(newFile, true);
    bool ok = from && to && appendEvent(e);
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (ok) {
        // A file saved over another one holds only what was saved.
        q.prepare(QStringLiteral("DELETE FROM placements WHERE file_id = ?"));
        q.addBindValue(*to);
        ok = exec(q);
    }
    // The new file's rows are the old file's results under their row numbers, which the datasheet
    // goes on using; a grid saved in a sorted order has its file's lines in another order, which
    // the next reading of the file puts right.
    bool sorted = false;
    for (size_t i = 0; i < rows.size(); ++i)
        sorted = sorted || rows[i].number() != int(i) + 1;
    if (ok && sorted) {
        AuditEvent order;
        order.kind = T::EventSortRewrite;
        order.dataFile = newFile;
        order.before = QStringLiteral("row-number order");
        order.after = QStringLiteral("the grid's sorted order");
        ok = appendEvent(order);
    }
    // Each row of the new file is the old file's result of the same line (rows of equal lines in
    // order), or else of the same place: a row's place may differ between the two files when the old
    // one was read only in part.
    struct Old {
        int number;
        qint64 hash;
        QString uuid;
        bool taken = false;
    };
    std::vector<Old> old;
    QSqlQuery find(QSqlDatabase::database(m_connection, false));
    find.setForwardOnly(true);
    find.prepare(QStringLiteral(
        "SELECT row_number, line_hash, result_uuid FROM placements WHERE file_id = ? ORDER BY row_number"));
    find.addBindValue(from ? *from : qint64(-1));
    ok = ok && exec(find);
    while (ok && find.next())
        old.push_back({find.value(0).toInt(), find.value(1).toLongLong(), find.value(2).toString()});
    find.finish();
    QMultiHash<qint64, size_t> byHash;
    QHash<int, size_t> byNumber;
    for (size_t i = old.size(); i-- > 0;) {
        byHash.insert(old[i].hash, i); // values() of a key come last inserted first: row order
        byNumber.insert(old[i].number, i);
    }
    auto take = [&](const DataRow& row) -> Old* {
        for (auto it = byHash.constFind(LineHash(row)); it != byHash.constEnd() && it.key() == LineHash(row);
             ++it)
            if (!old[*it].taken)
                return &old[*it];
        const auto at = byNumber.constFind(row.number());
        return at != byNumber.constEnd() && !old[*at].taken ? &old[*at] : nullptr;
    };
    q.prepare(QStringLiteral(
        "INSERT INTO placements(file_id, row_number, result_uuid, line, line_hash) VALUES (?, ?, ?, ?, ?)"));
    for (const DataRow& row : rows) {
        if (!ok)
            break;
        Old* was = take(row);
        if (was == nullptr)
            continue; // not in the store: the reconciliation of the new file takes it in
        was->taken = true;
        q.addBindValue(*to);
        q.addBindValue(row.number());
        q.addBindValue(was->uuid);
        q.addBindValue(DataLine::FileLine(row));
        q.addBindValue(LineHash(row));
        ok = exec(q);
    }
    if (!ok) {
        rollback();
        return false;
    }
    return commit();
}
