#include "store/ResultsDatabase.h"

#include "results/DataLine.h"
#include "store/ResultIdentity.h"
#include "store/StoreTexts.h"
#include "store/StoreValues.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>

// Comparing the rows a data file holds with what the store has of it: rows moved, changed, added
// or removed outside the program are found and recorded.

namespace T = StoreTexts;

std::optional<ReconcileReport> ResultsDatabase::reconcile(const QString& dataFile,
                                                          const std::vector<DataRow>& rows,
                                                          const QString& origin, bool recordOpening) {
    if (!begin())
        return std::nullopt;
    ReconcileReport report;
    // A long first import keeps the pages it writes in memory until its end, instead of writing them
    // out to the log early and again when they change.
    bool largeCache = false;
    auto cacheFor = [this, &largeCache](bool large) {
        QSqlQuery pragma(QSqlDatabase::database(m_connection, false));
        pragma.exec(large ? QStringLiteral("PRAGMA cache_size=-262144")
                          : QStringLiteral("PRAGMA cache_size=-32768"));
        largeCache = large;
    };
    auto abandon = [&]() -> std::optional<ReconcileReport> {
        rollback();
        if (largeCache)
            cacheFor(false);
        return std::nullopt;
    };
    bool created = false;
    const std::optional<qint64> file = fileId(dataFile, true, &created);
    if (!file)
        return abandon();
    report.firstSeen = created;
    if (recordOpening) {
        AuditEvent opened;
        opened.kind = T::EventOpened;
        opened.dataFile = dataFile;
        opened.after = QString::number(rows.size()) + QStringLiteral(" rows");
        if (!appendEvent(opened))
            return abandon();
    }

    // Whether the store has results at all: a first import into an empty store looks none up.
    QSqlQuery& any = query(QStringLiteral("SELECT EXISTS(SELECT 1 FROM results)"));
    if (!run(any, {}) || !any.next())
        return abandon();
    const bool anyResults = any.value(0).toBool();
    any.finish();
    QHash<QString, QString> filedHere; // identity -> result, of the rows filed by this comparison
    // A long file taken into an empty store: its search indexes are built once at the end.
    const bool indexAtEnd = !anyResults && rows.size() > 5000;
    if (indexAtEnd && !setSearchIndexes(false))
        return abandon();
    if (indexAtEnd)
        cacheFor(true);

    // Rows are found again by their hash; texts are read only for rows that differ.
    struct Placed {
        qint64 rowid;
        int number;
        qint64 hash;
        bool matched = false;
    };
    std::vector<Placed> placed;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rowid, row_number, line_hash FROM placements WHERE file_id = ?"));
    q.addBindValue(*file);
    if (!exec(q))
        return abandon();
    while (q.next())
        placed.push_back({q.value(0).toLongLong(), q.value(1).toInt(), q.value(2).toLongLong()});
    q.finish();
    constexpr size_t None = size_t(-1);
    int lastPlaced = 0;
    QHash<qint64, size_t> byHash;
    std::vector<size_t> sameHash(placed.size(), None);
    QHash<int, size_t> byNumber;
    byHash.reserve(qsizetype(placed.size()));
    byNumber.reserve(qsizetype(placed.size()));
    for (size_t i = 0; i < placed.size(); ++i) {
        sameHash[i] = byHash.value(placed[i].hash, None);
        byHash.insert(placed[i].hash, i);
        byNumber.insert(placed[i].number, i);
        lastPlaced = std::max(lastPlaced, placed[i].number);
    }
    QSqlQuery& details = query(QStringLiteral("SELECT result_uuid, line FROM placements WHERE rowid = ?"));
    auto textOf = [&](const Placed& p) -> std::optional<std::pair<QString, QString>> {
        if (!run(details, {p.rowid}) || !details.next())
            return std::nullopt;
        std::pair<QString, QString> out{details.value(0).toString(), details.value(1).toString()};
        details.finish();
        return out;
    };
    QSqlQuery& renumber = query(QStringLiteral("UPDATE placements SET row_number = ? WHERE rowid = ?"));
    QSqlQuery& rewrite = query(
        QStringLiteral("UPDATE placements SET row_number = ?, line = ?, line_hash = ? WHERE rowid = ?"));

    // Rows as the store knows them (wherever the file now has them) first, then the rest.
    std::vector<std::pair<const DataRow*, qint64>> unmatched; // with its line hash
    // The program's end abandons a long comparison: rolled back whole, it is made again at the next
    // opening of the file, which holds every row.
    size_t done = 0;
    auto stopped = [&] {
        if ((++done & 255) != 0 || !m_stop || !m_stop->load(std::memory_order_relaxed))
            return false;
        m_error = T::Interrupted.arg(m_path);
        return true;
    };
    for (const DataRow& row : rows) {
        if (stopped())
            return abandon();
        const qint64 hash = LineHash(row);
        const auto found = byHash.find(hash);
        if (found == byHash.end()) {
            unmatched.emplace_back(&row, hash);
            continue;
        }
        const size_t at = *found;
        if (sameHash[at] == None)
            byHash.erase(found);
        else
            *found = sameHash[at];
        Placed& p = placed[at];
        p.matched = true;
        if (p.number != row.number() && !run(renumber, {row.number(), p.rowid}))
            return abandon();
        p.number = row.number();
    }
    // An entry of the trail; note() also tells the operator (the data file changed outside).
    auto entry = [&](const QString& kind, int number, const QString& uuid, const QString& before,
                     const QString& after) {
        AuditEvent e;
        e.kind = kind;
        e.dataFile = dataFile;
        e.rowNumber = number;
        e.resultUuid = uuid;
        e.before = before;
        e.after = after;
        return appendEvent(e);
    };
    auto note = [&](const QString& kind, int number, const QString& uuid, const QString& before,
                    const QString& after) {
        report.changes.append(QStringLiteral("row ") + QString::number(number) + QStringLiteral(": ") + kind);
        return entry(kind, number, uuid, before, after);
    };
    filedHere.reserve(qsizetype(unmatched.size()));
    for (const auto& [row, rowHash] : unmatched) {
        if (stopped())
            return abandon();
        const QString line = DataLine::FileLine(*row);
        const auto at = byNumber.constFind(row->number());
        if (at != byNumber.constEnd() && !placed[*at].matched) {
            // The store had another text at this row: changed outside the program.
            Placed& p = placed[*at];
            p.matched = true;
            const auto was = textOf(p);
            if (!was || !run(rewrite, {row->number(), line, rowHash, p.rowid}) ||
                !note(T::EventChangedOutside, row->number(), was->first, was->second, line))
                return abandon();
            continue;
        }
        // A row whose result the chain covers already (its placement lost, a store rebuilt from the
        // lab database, a copy of another file's row) is placed again, never filed twice.
        const QString identity = ResultIdentity::of(*row);
        QString stored = filedHere.value(identity);
        if (stored.isEmpty() && anyResults) {
            const std::optional<QString> found = storedResult(identity);
            if (!found)
                return abandon();
            stored = *found;
        }
        if (!stored.isEmpty()) {
            if (!place(*file, row->number(), stored, line, rowHash))
                return abandon();
            ++report.placedAgain;
            if (created)
                continue;
            // Known here: a row copied within the file by hand, or one deleted from it and put back,
            // is a change made outside the program; else the store had lost the row's place.
            QSqlQuery& elsewhere = query(QStringLiteral(
                "SELECT (SELECT count(*) FROM placements WHERE file_id = ? AND result_uuid = ?) > 1 OR "
                "EXISTS(SELECT 1 FROM events WHERE result_uuid = ? AND data_file = ? AND kind IN (?, ?))"));
            if (!run(elsewhere, {*file, stored, stored, dataFile, T::EventDeleted, T::EventRemovedOutside}) ||
                !elsewhere.next())
                return abandon();
            const bool outside = elsewhere.value(0).toBool();
            elsewhere.finish();
            if (outside ? !note(T::EventAddedOutside, row->number(), stored, {}, line)
                        : !entry(T::EventPlacedAgain, row->number(), stored, {}, line))
                return abandon();
            continue;
        }
        // A row the store lacks: at the file's end, the one a kill between the two writes left
        // behind; elsewhere, one put in outside the program.
        StoredResult r = fromRow(dataFile, *row, origin, identity);
        // A row read from the file holds what the file holds: its line serves as it is.
        const KnownRow known =
            row->isNarrow() ? KnownRow{identity, line, rowHash} : KnownRow{identity, {}, 0};
        if (!insertResult(r, known))
            return abandon();
        filedHere.insert(identity, r.uuid);
        ++report.added;
        if (!created && row->number() <= lastPlaced &&
            !note(T::EventAddedOutside, row->number(), r.uuid, {}, line))
            return abandon();
    }
    QSqlQuery& drop = query(QStringLiteral("DELETE FROM placements WHERE rowid = ?"));
    for (const Placed& p : placed) {
        if (p.matched)
            continue;
        const auto was = textOf(p);
        if (!was || !run(drop, {p.rowid}) ||
            !note(T::EventRemovedOutside, p.number, was->first, was->second, {}))
            return abandon();
    }
    if (indexAtEnd && !setSearchIndexes(true))
        return abandon();
    const bool committed = commit();
    if (largeCache)
        cacheFor(false);
    if (!committed)
        return std::nullopt;
    return report;
}
