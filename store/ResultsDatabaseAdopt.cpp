#include "store/ResultsDatabase.h"

#include "results/DataLine.h"
#include "store/LabRecords.h"
#include "store/ResultIdentity.h"
#include "store/StoreTexts.h"
#include "store/StoreValues.h"

#include <QCryptographicHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>

// Taking in the copy of this store's trail that the lab database keeps: a store rebuilt from it, and a
// store restored from a backup brought up to date, its own later entries chained after the copy's.

namespace T = StoreTexts;

namespace {
// The columns a result's text holds as whole numbers; the others are numbers where the table says so.
bool isWholeColumn(const QString& column) {
    return column == QLatin1String("row_number") || column == QLatin1String("record_samples");
}

bool isRealColumn(const QString& column) {
    static const QSet<QString> real = {
        QStringLiteral("specimen"),
        QStringLiteral("total_load_n"),
        QStringLiteral("glass_load_n"),
        QStringLiteral("stress_mpa"),
        QStringLiteral("strain_percent"),
        QStringLiteral("nominal_rate_value"),
        QStringLiteral("speed_um_s"),
        QStringLiteral("speed_spread_um_s"),
        QStringLiteral("strain_rate_percent_min"),
        QStringLiteral("strain_rate_spread_percent_min"),
        QStringLiteral("stress_rate_mpa_s"),
        QStringLiteral("stress_rate_spread_mpa_s"),
        QStringLiteral("time_to_break_s"),
        QStringLiteral("calibration_slope"),
    };
    return real.contains(column);
}

// A result's text as the values of its columns; nullopt when the text is not one.
std::optional<QList<QVariant>> valuesOf(const QByteArray& content) {
    const std::optional<QList<QByteArray>> items = LabResult::Items(content);
    const QStringList& columns = ResultsDatabase::ResultColumns();
    if (!items || items->size() != columns.size())
        return std::nullopt;
    QList<QVariant> values;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const QByteArray& item = items->at(i);
        if (item == "-") {
            values << QVariant();
            continue;
        }
        bool ok = true;
        if (isWholeColumn(columns[i]))
            values << QVariant(item.toLongLong(&ok));
        else if (isRealColumn(columns[i]))
            values << QVariant(item.toDouble(&ok));
        else
            values << QVariant(QString::fromUtf8(item));
        if (!ok)
            return std::nullopt;
    }
    // Read back, the values must give the very text the chain covers.
    if (StoreValues::canonicalOf(values) != content)
        return std::nullopt;
    return values;
}
} // namespace

bool ResultsDatabase::setInstrumentId(const QString& id) {
    return transaction([&] {
        QSqlQuery& events = query(QStringLiteral("SELECT count(*) FROM events"));
        if (!run(events, {}) || !events.next())
            return false;
        const qint64 count = events.value(0).toLongLong();
        events.finish();
        if (count > 0)
            return fail(QStringLiteral("the store holds entries of its own already"));
        if (!run(query(QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES ('instrument_id', ?)")),
                 {id}))
            return false;
        m_instrumentId = id;
        return true;
    });
}

std::optional<AdoptReport> ResultsDatabase::adoptTrail(const TrailCopy& copy) {
    auto refuse = [this](const QString& why) -> std::optional<AdoptReport> {
        m_error = why;
        return std::nullopt;
    };
    // The copy is checked as --audit-verify checks the store, before anything of it is taken.
    QByteArray previous;
    QSet<QString> copiedEvents;
    QSet<QString> copiedResults;
    for (qsizetype i = 0; i < copy.events.size(); ++i) {
        const AuditEvent& e = copy.events[i];
        if (e.seq != i + 1)
            return refuse(T::CopyGap.arg(i + 1));
        QByteArray resultText;
        if (e.kind == T::EventAdded) {
            const auto found = copy.results.constFind(e.resultUuid);
            if (found == copy.results.constEnd())
                return refuse(T::CopyBroken.arg(e.describe(), QStringLiteral("its result is missing")));
            LabResult check;
            check.content = found->first;
            check.record = found->second;
            if (!check.fillFromContent() || check.uuid != e.resultUuid || !check.matchesContent())
                return refuse(T::CopyBroken.arg(e.describe(), QStringLiteral("its result is not whole")));
            resultText = found->first;
            copiedResults.insert(e.resultUuid);
        }
        if (AuditEvent::chainHash(previous, e.canonicalText(resultText)) != e.hash)
            return refuse(T::CopyBroken.arg(e.describe(), QStringLiteral("changed")));
        previous = e.hash;
        copiedEvents.insert(e.uuid);
    }
    const VerifyOutcome ownTrail = verify();
    if (!ownTrail.intact)
        return refuse(T::OwnTrailBroken.arg(ownTrail.broken));

    if (!begin())
        return std::nullopt;
    auto abandon = [this]() -> std::optional<AdoptReport> {
        rollback();
        return std::nullopt;
    };
    AdoptReport report;
    // Where the two part: the last entry both have alike (a hash covers everything before it).
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT seq, hash FROM events ORDER BY seq"))) {
        fail(q);
        return abandon();
    }
    while (q.next()) {
        const qint64 seq = q.value(0).toLongLong();
        if (seq == report.common + 1 && seq <= copy.events.size() &&
            copy.events[seq - 1].hash == q.value(1).toByteArray())
            report.common = seq;
    }
    q.finish();
    if (report.common == copy.events.size()) {
        // Nothing to take: the store has every entry of the copy (it is ahead between two sends).
        rollback();
        return report;
    }
    // The store's own entries after that point, with the texts of their results, to chain again.
    struct Own {
        AuditEvent event;
        QByteArray resultText;
    };
    std::vector<Own> own;
    q.prepare(QStringLiteral("SELECT ") + StoreValues::EventColumns +
              QStringLiteral(" FROM events WHERE seq > ? ORDER BY seq"));
    q.addBindValue(report.common);
    if (!exec(q))
        return abandon();
    while (q.next())
        own.push_back({StoreValues::eventFrom(q), {}});
    q.finish();
    for (Own& o : own) {
        if (o.event.kind != T::EventAdded || copiedResults.contains(o.event.resultUuid))
            continue;
        const std::optional<QByteArray> text = resultCanonical(o.event.resultUuid);
        if (!text)
            return abandon();
        o.resultText = *text;
    }
    q.prepare(QStringLiteral("DELETE FROM events WHERE seq > ?"));
    q.addBindValue(report.common);
    if (!exec(q))
        return abandon();

    // The copy's entries the store lacks, as the copy holds them, each result with its record.
    QSqlQuery& insertEvent = query(QStringLiteral(
        "INSERT INTO events(seq, uuid, utc, system_user, operator, kind, data_file, row_number, "
        "result_uuid, before, after, hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (qsizetype i = report.common; i < copy.events.size(); ++i) {
        const AuditEvent& e = copy.events[i];
        if (!run(insertEvent,
                 {e.seq, StoreValues::text(e.uuid), StoreValues::text(e.utc), StoreValues::text(e.systemUser),
                  StoreValues::text(e.operatorName), StoreValues::text(e.kind), StoreValues::text(e.dataFile),
                  QVariant(e.rowNumber), StoreValues::text(e.resultUuid), StoreValues::text(e.before),
                  StoreValues::text(e.after), StoreValues::text(QString::fromLatin1(e.hash))}))
            return abandon();
        ++report.adopted;
        if (e.kind != T::EventAdded)
            continue;
        const auto& [content, record] = *copy.results.constFind(e.resultUuid);
        const std::optional<QList<QVariant>> values = valuesOf(content);
        if (!values) {
            rollback();
            return refuse(T::CopyBroken.arg(e.describe(), QStringLiteral("its result cannot be read")));
        }
        // A result the store filed again after the parting (the same row, so the same identity) is
        // the copy's from now on.
        for (const char* sql :
             {"DELETE FROM results WHERE uuid = ?", "DELETE FROM records WHERE result_uuid = ?"})
            if (!run(query(QLatin1String(sql)), {e.resultUuid}))
                return abandon();
        const QString line = values->at(ResultView::IndexOf(QStringLiteral("line"))).toString();
        CanonicalText covered;
        if (!insertResultRow(*values, StoreValues::identityOfLine(line), covered))
            return abandon();
        if (!record.isEmpty() &&
            !run(query(QStringLiteral("INSERT INTO records(result_uuid, data) VALUES (?, ?)")),
                 {e.resultUuid, record}))
            return abandon();
    }
    m_head = copy.events.back().hash;
    m_chainCount = copy.events.size();

    // The store's own later entries, chained after the copy's; a result the copy holds already is
    // not filed twice.
    for (Own& o : own) {
        if (copiedEvents.contains(o.event.uuid))
            continue;
        if (o.event.kind == T::EventAdded && copiedResults.contains(o.event.resultUuid)) {
            ++report.dropped;
            continue;
        }
        if (!appendEvent(o.event, o.resultText, true))
            return abandon();
        ++report.rechained;
    }
    if (!commit())
        return std::nullopt;
    return report;
}
