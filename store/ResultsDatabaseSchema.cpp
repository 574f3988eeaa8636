#include "store/ResultsDatabase.h"

#include "store/StoreTexts.h"
#include "store/StoreValues.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSysInfo>
#include <utility>
#include <vector>

// The store's tables, and the upgrades an older store takes when it is opened.

namespace T = StoreTexts;

namespace {
const char* const Schema[] = {
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS data_files(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, "
    "identity TEXT NOT NULL, first_seen_utc TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS results(seq INTEGER PRIMARY KEY, uuid TEXT NOT NULL UNIQUE, "
    "data_file TEXT NOT NULL, file_identity TEXT NOT NULL, row_number INTEGER NOT NULL, line TEXT NOT NULL, "
    "specimen REAL, total_load_n REAL, glass_load_n REAL, stress_mpa REAL, strain_percent REAL, "
    "nominal_rate TEXT, nominal_rate_value REAL, nominal_rate_unit TEXT, speed_um_s REAL, "
    "speed_spread_um_s REAL, strain_rate_percent_min REAL, strain_rate_spread_percent_min REAL, "
    "stress_rate_mpa_s REAL, stress_rate_spread_mpa_s REAL, time_to_break_s REAL, tested_at TEXT, "
    "comment TEXT, conditions TEXT, operator TEXT, sample TEXT, parameters TEXT, calibration_serial TEXT, "
    "calibration_slope REAL, calibration_date TEXT, program_version TEXT, host TEXT, firmware TEXT, "
    "recorded_utc TEXT NOT NULL, origin TEXT NOT NULL, record_samples INTEGER, record_sha256 TEXT, "
    "identity TEXT)",
    "CREATE INDEX IF NOT EXISTS results_sample ON results(sample, tested_at)",
    "CREATE INDEX IF NOT EXISTS results_operator ON results(operator)",
    "CREATE INDEX IF NOT EXISTS results_tested ON results(tested_at)",
    "CREATE TABLE IF NOT EXISTS records(result_uuid TEXT PRIMARY KEY, data BLOB NOT NULL)",
    "CREATE TABLE IF NOT EXISTS placements(file_id INTEGER NOT NULL, row_number INTEGER NOT NULL, "
    "result_uuid TEXT NOT NULL, line TEXT NOT NULL, line_hash INTEGER NOT NULL)",
    // The comparison of a data file with the store reads its rows' numbers and hashes from the index
    // alone; the index of row numbers it replaces is gone from older stores.
    "CREATE INDEX IF NOT EXISTS placements_row_hash ON placements(file_id, row_number, line_hash)",
    "DROP INDEX IF EXISTS placements_row",
    "CREATE INDEX IF NOT EXISTS placements_result ON placements(result_uuid)",
    "CREATE TABLE IF NOT EXISTS events(seq INTEGER PRIMARY KEY, uuid TEXT NOT NULL UNIQUE, utc TEXT NOT "
    "NULL, "
    "system_user TEXT NOT NULL, operator TEXT NOT NULL, kind TEXT NOT NULL, data_file TEXT NOT NULL, "
    "row_number INTEGER NOT NULL, result_uuid TEXT NOT NULL, before TEXT NOT NULL, after TEXT NOT NULL, "
    "hash TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS events_result ON events(result_uuid)",
    "CREATE INDEX IF NOT EXISTS events_kind ON events(kind)",
};

// The indexes only searches use (none a comparison of a data file with an empty store needs): a
// first import builds them once at its end, from sorted keys, instead of row by row.
const std::pair<const char*, const char*> SearchIndexes[] = {
    {"results_sample", "results(sample, tested_at)"},
    {"results_operator", "results(operator)"},
    {"results_tested", "results(tested_at)"},
    {"results_identity", "results(identity)"},
    {"placements_result", "placements(result_uuid)"},
    {"events_result", "events(result_uuid)"},
    {"events_kind", "events(kind)"},
};
} // namespace

bool ResultsDatabase::setSearchIndexes(bool present) {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    for (const auto& [name, on] : SearchIndexes) {
        const QString sql = present ? QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2")
                                          .arg(QLatin1String(name), QLatin1String(on))
                                    : QStringLiteral("DROP INDEX IF EXISTS %1").arg(QLatin1String(name));
        if (!q.exec(sql))
            return fail(q);
    }
    return true;
}

namespace {
bool hasColumn(QSqlQuery& q, const QString& table, const QString& column) {
    if (!q.exec(QStringLiteral("PRAGMA table_info(") + table + QLatin1Char(')')))
        return false;
    while (q.next())
        if (q.value(1).toString() == column)
            return true;
    return false;
}

// The computer a store belongs to: its machine id where the system has one, else its host name.
QString machineKey(const QString& machine) {
    const qsizetype bar = machine.indexOf(QLatin1Char('|'));
    const QString id = bar < 0 ? machine : machine.left(bar);
    return id.isEmpty() ? machine.mid(bar + 1) : id;
}
} // namespace

QString ResultsDatabase::ThisMachine() {
    return QString::fromLatin1(QSysInfo::machineUniqueId()) + QLatin1Char('|') + QSysInfo::machineHostName();
}

bool ResultsDatabase::readMeta() {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(
            QStringLiteral("SELECT key, value FROM meta WHERE key IN ('schema_version', 'instrument_id')")))
        return fail(q);
    QHash<QString, QString> meta;
    while (q.next())
        meta.insert(q.value(0).toString(), q.value(1).toString());
    if (meta.value(QStringLiteral("schema_version")).toInt() > SchemaVersion) {
        m_error = T::NewerSchema.arg(m_path);
        return false;
    }
    m_instrumentId = meta.value(QStringLiteral("instrument_id"));
    return true;
}

bool ResultsDatabase::createSchema() {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!begin())
        return false;
    auto abandon = [&] {
        fail(q);
        rollback();
        return false;
    };
    for (const char* statement : Schema)
        if (!q.exec(QLatin1String(statement)))
            return abandon();
    if (!q.exec(QStringLiteral("SELECT key, value FROM meta")))
        return abandon();
    QHash<QString, QString> meta;
    while (q.next())
        meta.insert(q.value(0).toString(), q.value(1).toString());
    const int version = meta.value(QStringLiteral("schema_version")).toInt();
    if (version > SchemaVersion) {
        rollback();
        m_error = T::NewerSchema.arg(m_path);
        return false;
    }
    // A store copied to another computer would write a second trail under the first one's name.
    const QString machine = meta.value(QStringLiteral("machine"));
    if (!machine.isEmpty() && machineKey(machine) != machineKey(ThisMachine())) {
        rollback();
        m_error = T::OtherComputer.arg(m_path, machine.mid(machine.indexOf(QLatin1Char('|')) + 1));
        return false;
    }
    // Stores of the first version learn the identity of each result from the row it was filed with;
    // the chain does not cover the column, so their trails verify as before.
    if (!hasColumn(q, QStringLiteral("results"), QStringLiteral("identity"))) {
        if (!q.exec(QStringLiteral("ALTER TABLE results ADD COLUMN identity TEXT")))
            return abandon();
        QSqlQuery lines(QSqlDatabase::database(m_connection, false));
        lines.setForwardOnly(true);
        QSqlQuery set(QSqlDatabase::database(m_connection, false));
        set.prepare(QStringLiteral("UPDATE results SET identity = ? WHERE seq = ?"));
        if (!lines.exec(QStringLiteral("SELECT seq, line FROM results")))
            return abandon();
        while (lines.next()) {
            set.bindValue(0, StoreValues::identityOfLine(lines.value(1).toString()));
            set.bindValue(1, lines.value(0));
            if (!set.exec()) {
                fail(set);
                rollback();
                return false;
            }
        }
    }
    if (!q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS results_identity ON results(identity)")))
        return abandon();
    m_instrumentId = meta.value(QStringLiteral("instrument_id"));
    std::vector<std::pair<QString, QString>> set;
    if (m_instrumentId.isEmpty()) {
        m_instrumentId = StoreValues::newUuid();
        set = {{QStringLiteral("instrument_id"), m_instrumentId},
               {QStringLiteral("chain_count"), QStringLiteral("0")},
               {QStringLiteral("chain_head"), QString()}};
    }
    if (version != SchemaVersion)
        set.emplace_back(QStringLiteral("schema_version"), QString::number(SchemaVersion));
    if (machine.isEmpty())
        set.emplace_back(QStringLiteral("machine"), ThisMachine());
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES (?, ?)"));
    for (const auto& [key, value] : set) {
        q.addBindValue(key);
        q.addBindValue(StoreValues::text(value));
        if (!q.exec())
            return abandon();
    }
    return commit();
}
