#include "store/ResultsDatabase.h"

#include "params/Cp1252.h"
#include "results/BatchStatistics.h"
#include "results/DataLine.h"
#include "store/StoreTexts.h"
#include "store/TraceabilityTexts.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <QVariant>
#include <atomic>
#include <cmath>

namespace T = StoreTexts;

namespace {
std::atomic<int> connectionCount{0};

// The connections of this process to each store file. A process's locks on a file go with any
// handle to that file it closes (POSIX record locks), so the file's header is read by hand only
// while no connection of this process has it open: else a program that closes its own connection
// meanwhile (--db-sync, --audit-verify, a second program) finds no lock, takes the write-ahead log
// for unused and deletes it under ours, and what we write after that is lost.
struct OpenStoreFiles {
    QMutex mutex;
    QHash<QString, int> connections;
};

OpenStoreFiles& openStoreFiles() {
    static OpenStoreFiles files;
    return files;
}

QString openStoreKey(const QFileInfo& info) {
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                            : folder + QLatin1Char('/') + info.fileName();
}

QString nowUtc() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QString newUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// Bound as text, never as NULL: the trail's columns are NOT NULL and an empty text is a value.
QVariant text(const QString& value) {
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

QVariant numberOrNull(QStringView text) {
    const std::optional<double> v = DataLine::Number(text);
    return v && std::isfinite(*v) ? QVariant(*v) : QVariant(QMetaType(QMetaType::Double));
}

// A stored value as the chain covers it: numbers in their shortest exact form, nothing as "-".
void addValue(CanonicalText& text, const QVariant& value) {
    if (value.isNull()) {
        text.add(QByteArray("-"));
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Double:
        text.addNumber(value.toDouble());
        break;
    case QMetaType::LongLong:
    case QMetaType::Int:
        text.add(value.toLongLong());
        break;
    case QMetaType::QByteArray:
        text.add(value.toByteArray());
        break;
    default:
        text.add(value.toString());
        break;
    }
}

// The nominal rate text "60 MPa/s" as its number and its unit.
std::pair<QVariant, QString> splitRate(const QString& rate) {
    const qsizetype space = rate.trimmed().indexOf(QLatin1Char(' '));
    if (space < 0)
        return {numberOrNull(rate), QString()};
    const QString trimmed = rate.trimmed();
    return {numberOrNull(QStringView(trimmed).left(space)), trimmed.mid(space + 1)};
}

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
    "recorded_utc TEXT NOT NULL, origin TEXT NOT NULL, record_samples INTEGER, record_sha256 TEXT)",
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

const QString EventColumns = QStringLiteral(
    "seq, uuid, utc, system_user, operator, kind, data_file, row_number, result_uuid, before, after, hash");

AuditEvent eventFrom(const QSqlQuery& q, int first = 0) {
    AuditEvent e;
    e.seq = q.value(first).toLongLong();
    e.uuid = q.value(first + 1).toString();
    e.utc = q.value(first + 2).toString();
    e.systemUser = q.value(first + 3).toString();
    e.operatorName = q.value(first + 4).toString();
    e.kind = q.value(first + 5).toString();
    e.dataFile = q.value(first + 6).toString();
    e.rowNumber = q.value(first + 7).toInt();
    e.resultUuid = q.value(first + 8).toString();
    e.before = q.value(first + 9).toString();
    e.after = q.value(first + 10).toString();
    e.hash = q.value(first + 11).toByteArray();
    return e;
}

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

QByteArray canonicalOf(const QSqlQuery& q, int first) {
    CanonicalText text;
    for (int i = 0; i < ResultsDatabase::ResultColumns().size(); ++i)
        addValue(text, q.value(first + i));
    return text.bytes();
}

} // namespace

std::optional<double> ResultView::NumberOf(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

int ResultView::IndexOf(const QString& column) {
    static const QHash<QString, int> index = [] {
        QHash<QString, int> out;
        for (int i = 0; i < ResultsDatabase::ResultColumns().size(); ++i)
            out.insert(ResultsDatabase::ResultColumns()[i], i);
        return out;
    }();
    return index.value(column, -1);
}

namespace {
void hashInto(quint64& h, QStringView text) {
    for (const QChar c : text) {
        h ^= c.unicode();
        h *= 0x100000001b3ULL;
    }
    // A separator that no field holds, so "ab","c" and "a","bc" differ.
    h ^= 0x1f;
    h *= 0x100000001b3ULL;
}
} // namespace

qint64 ResultsDatabase::LineHash(const QStringList& fields) {
    quint64 h = 0xcbf29ce484222325ULL;
    for (int c = 0; c < DataRow::Fields; ++c)
        hashInto(h, c < fields.size() ? QStringView(fields[c]) : QStringView());
    return qint64(h);
}

qint64 ResultsDatabase::LineHash(const DataRow& row) {
    quint64 h = 0xcbf29ce484222325ULL;
    for (int c = 1; c <= DataRow::Fields; ++c) {
        if (!row.isNarrow()) {
            row.withField(c, [&h](QStringView text) { hashInto(h, text); });
            continue;
        }
        // The characters of the file's bytes, as the text would give them.
        for (const char b : row.bytes(c)) {
            h ^= Cp1252::decodeByte(static_cast<unsigned char>(b));
            h *= 0x100000001b3ULL;
        }
        h ^= 0x1f;
        h *= 0x100000001b3ULL;
    }
    return qint64(h);
}

const QStringList& ResultsDatabase::ResultColumns() {
    static const QStringList columns = {QStringLiteral("uuid"),
                                        QStringLiteral("data_file"),
                                        QStringLiteral("file_identity"),
                                        QStringLiteral("row_number"),
                                        QStringLiteral("line"),
                                        QStringLiteral("specimen"),
                                        QStringLiteral("total_load_n"),
                                        QStringLiteral("glass_load_n"),
                                        QStringLiteral("stress_mpa"),
                                        QStringLiteral("strain_percent"),
                                        QStringLiteral("nominal_rate"),
                                        QStringLiteral("nominal_rate_value"),
                                        QStringLiteral("nominal_rate_unit"),
                                        QStringLiteral("speed_um_s"),
                                        QStringLiteral("speed_spread_um_s"),
                                        QStringLiteral("strain_rate_percent_min"),
                                        QStringLiteral("strain_rate_spread_percent_min"),
                                        QStringLiteral("stress_rate_mpa_s"),
                                        QStringLiteral("stress_rate_spread_mpa_s"),
                                        QStringLiteral("time_to_break_s"),
                                        QStringLiteral("tested_at"),
                                        QStringLiteral("comment"),
                                        QStringLiteral("conditions"),
                                        QStringLiteral("operator"),
                                        QStringLiteral("sample"),
                                        QStringLiteral("parameters"),
                                        QStringLiteral("calibration_serial"),
                                        QStringLiteral("calibration_slope"),
                                        QStringLiteral("calibration_date"),
                                        QStringLiteral("program_version"),
                                        QStringLiteral("host"),
                                        QStringLiteral("firmware"),
                                        QStringLiteral("recorded_utc"),
                                        QStringLiteral("origin"),
                                        QStringLiteral("record_samples"),
                                        QStringLiteral("record_sha256")};
    return columns;
}

ResultsDatabase::ResultsDatabase()
    : m_connection(QStringLiteral("results-store-") + QString::number(++connectionCount)) {}

ResultsDatabase::~ResultsDatabase() {
    close();
}

void ResultsDatabase::close() {
    m_queries.clear();
    if (QSqlDatabase::contains(m_connection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
        m_open = false;
        m_fileIds.clear();
    }
    // Closed first: the file may be read by hand once no connection of this process holds it.
    if (!m_openKey.isEmpty()) {
        OpenStoreFiles& files = openStoreFiles();
        const QMutexLocker lock(&files.mutex);
        if (--files.connections[m_openKey] <= 0)
            files.connections.remove(m_openKey);
        m_openKey.clear();
    }
}

void ResultsDatabase::setWho(const QString& systemUser, const QString& operatorName) {
    m_systemUser = systemUser;
    m_operator = operatorName;
}

// ---- Opening ------------------------------------------------------------------------------------

QString ResultsDatabase::classify(const QString& driverText) const {
    const QString text = driverText.toLower();
    if (text.contains(QStringLiteral("not a database")))
        return T::NotDatabase.arg(m_path);
    if (text.contains(QStringLiteral("malformed")) || text.contains(QStringLiteral("corrupt")))
        return T::Damaged.arg(m_path, driverText);
    if (text.contains(QStringLiteral("readonly")) || text.contains(QStringLiteral("read-only")))
        return T::ReadOnly.arg(m_path);
    if (text.contains(QStringLiteral("full")))
        return T::DiscFull.arg(m_path);
    return T::Failed.arg(m_path, driverText);
}

bool ResultsDatabase::fail(const QSqlQuery& query) {
    return fail(query.lastError().databaseText().isEmpty() ? query.lastError().text()
                                                           : query.lastError().databaseText());
}

bool ResultsDatabase::fail(const QString& what) {
    m_error = classify(what);
    return false;
}

bool ResultsDatabase::open(const QString& path) {
    close();
    m_path = path;
    m_error.clear();
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        m_error = T::NotOpened.arg(path, QStringLiteral("not a regular file"));
        return false;
    }
    // The file's own read-only mark counts, whoever runs the program (an administrator could write).
    if (info.exists() && (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner))) {
        m_error = T::ReadOnly.arg(path);
        return false;
    }
    QDir().mkpath(info.absolutePath());
    {
        OpenStoreFiles& files = openStoreFiles();
        const QMutexLocker lock(&files.mutex);
        const QString key = openStoreKey(info);
        // SQLite takes any file without its header for an empty database until it writes to it. A
        // file this process has open already is a store.
        if (files.connections.value(key) == 0 && info.exists() && info.size() > 0) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                m_error = T::NotOpened.arg(path, file.errorString());
                return false;
            }
            if (!file.read(16).startsWith(QByteArrayLiteral("SQLite format 3"))) {
                m_error = T::NotDatabase.arg(path);
                return false;
            }
        }
        ++files.connections[key];
        m_openKey = key;
    }
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        opened = db.open();
        if (!opened)
            fail(db.lastError().databaseText().isEmpty() ? db.lastError().text()
                                                         : db.lastError().databaseText());
    }
    if (!opened) {
        close();
        return false;
    }
    m_open = true;
    bool ready = true;
    {
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        // WAL: a reader never blocks the writer; FULL: an entry acknowledged is on the disc.
        for (const char* pragma :
             {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA cache_size=-32768"})
            if (ready && !q.exec(QLatin1String(pragma)))
                ready = fail(q);
        if (ready && m_pageLimit > 0)
            q.exec(QStringLiteral("PRAGMA max_page_count=%1").arg(m_pageLimit));
    }
    if (!ready || !createSchema()) {
        close();
        return false;
    }
    return true;
}

bool ResultsDatabase::createSchema() {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!begin())
        return false;
    for (const char* statement : Schema)
        if (!q.exec(QLatin1String(statement))) {
            fail(q);
            rollback();
            return false;
        }
    if (!q.exec(QStringLiteral("SELECT key, value FROM meta"))) {
        fail(q);
        rollback();
        return false;
    }
    QHash<QString, QString> meta;
    while (q.next())
        meta.insert(q.value(0).toString(), q.value(1).toString());
    if (meta.value(QStringLiteral("schema_version")).toInt() > SchemaVersion) {
        rollback();
        m_error = T::NewerSchema.arg(m_path);
        return false;
    }
    m_instrumentId = meta.value(QStringLiteral("instrument_id"));
    if (m_instrumentId.isEmpty()) {
        m_instrumentId = newUuid();
        q.prepare(QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES (?, ?)"));
        for (const auto& [key, value] :
             {std::pair{QStringLiteral("schema_version"), QString::number(SchemaVersion)},
              std::pair{QStringLiteral("instrument_id"), m_instrumentId},
              std::pair{QStringLiteral("chain_count"), QStringLiteral("0")},
              std::pair{QStringLiteral("chain_head"), QString()}}) {
            q.addBindValue(key);
            q.addBindValue(text(value));
            if (!q.exec()) {
                fail(q);
                rollback();
                return false;
            }
        }
    }
    return commit();
}

// ---- Transactions -------------------------------------------------------------------------------

bool ResultsDatabase::begin() {
    if (!m_open)
        return fail(QStringLiteral("not open"));
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // IMMEDIATE: another process writing (an import) waits for this one instead of failing later.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return fail(q);
    m_head.clear();
    m_chainCount = -1;
    return true;
}

bool ResultsDatabase::transaction(const std::function<bool()>& work) {
    if (!begin())
        return false;
    if (!work()) {
        rollback();
        return false;
    }
    return commit();
}

bool ResultsDatabase::commit() {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (m_chainCount >= 0) {
        q.prepare(QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES ('chain_head', ?), "
                                 "('chain_count', ?)"));
        q.addBindValue(text(QString::fromLatin1(m_head)));
        q.addBindValue(QString::number(m_chainCount));
        if (!q.exec()) {
            fail(q);
            rollback();
            return false;
        }
    }
    if (!q.exec(QStringLiteral("COMMIT"))) {
        fail(q);
        rollback();
        return false;
    }
    return true;
}

void ResultsDatabase::rollback() {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.exec(QStringLiteral("ROLLBACK"));
    // Ids handed out inside the transaction are gone with it.
    m_fileIds.clear();
}

QSqlQuery& ResultsDatabase::query(const QString& sql) {
    auto found = m_queries.find(sql);
    if (found == m_queries.end()) {
        auto q = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_connection, false));
        // Read once, row by row: nothing is kept for going back.
        q->setForwardOnly(true);
        q->prepare(sql);
        found = m_queries.emplace(sql, std::move(q)).first;
    }
    return *found->second;
}

bool ResultsDatabase::run(QSqlQuery& q, std::initializer_list<QVariant> values) {
    int i = 0;
    for (const QVariant& v : values)
        q.bindValue(i++, v);
    return exec(q);
}

bool ResultsDatabase::exec(QSqlQuery& query) {
    if (query.exec())
        return true;
    fail(query);
    return false;
}

// ---- Writing ------------------------------------------------------------------------------------

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
    q.addBindValue(newUuid());
    q.addBindValue(nowUtc());
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

bool ResultsDatabase::insertResult(const StoredResult& r) {
    bool fileCreated = false;
    const std::optional<qint64> file = fileId(r.dataFile, true, &fileCreated);
    if (!file)
        return false;
    QSqlQuery& identityQuery = query(QStringLiteral("SELECT identity FROM data_files WHERE id = ?"));
    if (!run(identityQuery, {*file}) || !identityQuery.next())
        return fail(QStringLiteral("data file entry missing"));
    const QString identity = identityQuery.value(0).toString();
    identityQuery.finish();

    const QStringList& f = r.fields;
    auto field = [&f](int column) { return column - 1 < f.size() ? f[column - 1] : QString(); };
    const auto [rateValue, rateUnit] = splitRate(field(6));
    QByteArray recordBlob;
    QVariant samples(QMetaType(QMetaType::LongLong));
    QVariant recordHash(QMetaType(QMetaType::QString));
    if (!r.record.isEmpty()) {
        recordBlob = qCompress(r.record.toUtf8(), 6);
        samples = qlonglong(r.record.count(QLatin1Char('\n')));
        recordHash =
            QString::fromLatin1(QCryptographicHash::hash(recordBlob, QCryptographicHash::Sha256).toHex());
    }
    const QString conditions = field(17);
    QString operatorName = r.context.operatorName;
    QString sample = r.context.sample;
    if (operatorName.isEmpty())
        operatorName = StoredResult::ConditionsItem(conditions, QStringLiteral("operator"));
    if (sample.isEmpty())
        sample = StoredResult::ConditionsItem(conditions, QStringLiteral("sample"));
    const QVariant slope = r.context.calibrationSlope ? QVariant(*r.context.calibrationSlope)
                                                      : QVariant(QMetaType(QMetaType::Double));

    const QStringList& columns = ResultColumns();
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    QSqlQuery& q = query(QStringLiteral("INSERT INTO results(") + columns.join(QStringLiteral(", ")) +
                         QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) + QLatin1Char(')'));
    const QList<QVariant> values = {r.uuid,
                                    r.dataFile,
                                    identity,
                                    r.rowNumber,
                                    r.line(),
                                    numberOrNull(field(1)),
                                    numberOrNull(field(2)),
                                    numberOrNull(field(3)),
                                    numberOrNull(field(4)),
                                    numberOrNull(field(5)),
                                    field(6),
                                    rateValue,
                                    rateUnit,
                                    numberOrNull(field(7)),
                                    numberOrNull(field(8)),
                                    numberOrNull(field(9)),
                                    numberOrNull(field(10)),
                                    numberOrNull(field(11)),
                                    numberOrNull(field(12)),
                                    numberOrNull(field(13)),
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
                                    r.recordedUtc.isEmpty() ? nowUtc() : r.recordedUtc,
                                    r.origin,
                                    samples,
                                    recordHash};
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
    if (!exec(q))
        return false;
    if (!recordBlob.isEmpty() &&
        !run(query(QStringLiteral("INSERT INTO records(result_uuid, data) VALUES (?, ?)")),
             {r.uuid, recordBlob}))
        return false;
    if (!run(query(QStringLiteral("INSERT INTO placements(file_id, row_number, result_uuid, line, line_hash) "
                                  "VALUES (?, ?, ?, ?, ?)")),
             {*file, r.rowNumber, r.uuid, r.line(), LineHash(r.fields)}))
        return false;
    // The chain covers the result as read back, the form --audit-verify reads it in.
    const std::optional<QByteArray> canonical = resultCanonical(r.uuid);
    if (!canonical)
        return false;
    AuditEvent added;
    added.kind = T::EventAdded;
    added.dataFile = r.dataFile;
    added.rowNumber = r.rowNumber;
    added.resultUuid = r.uuid;
    added.after = r.origin;
    if (!r.context.operatorName.isEmpty())
        added.operatorName = r.context.operatorName;
    return appendEvent(added, *canonical);
}

std::optional<QByteArray> ResultsDatabase::resultCanonical(const QString& uuid) {
    QSqlQuery& q = query(QStringLiteral("SELECT ") + ResultColumns().join(QStringLiteral(", ")) +
                         QStringLiteral(" FROM results WHERE uuid = ?"));
    if (!run(q, {uuid}))
        return std::nullopt;
    if (!q.next()) {
        fail(QStringLiteral("result not stored"));
        return std::nullopt;
    }
    const QByteArray canonical = canonicalOf(q, 0);
    q.finish();
    return canonical;
}

bool ResultsDatabase::appendEvent(AuditEvent e, const QByteArray& resultText) {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (m_chainCount < 0) {
        if (!q.exec(QStringLiteral("SELECT hash FROM events ORDER BY seq DESC LIMIT 1")))
            return fail(q);
        m_head = q.next() ? q.value(0).toByteArray() : QByteArray();
        if (!q.exec(QStringLiteral("SELECT count(*) FROM events")) || !q.next())
            return fail(q);
        m_chainCount = q.value(0).toLongLong();
    }
    if (e.uuid.isEmpty())
        e.uuid = newUuid();
    if (e.utc.isEmpty())
        e.utc = nowUtc();
    e.systemUser = m_systemUser;
    if (e.operatorName.isEmpty())
        e.operatorName = m_operator;
    e.hash = AuditEvent::chainHash(m_head, e.canonicalText(resultText));
    QSqlQuery& insert = query(
        QStringLiteral("INSERT INTO events(uuid, utc, system_user, operator, kind, data_file, row_number, "
                       "result_uuid, before, after, hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    if (!run(insert, {text(e.uuid), text(e.utc), text(e.systemUser), text(e.operatorName), text(e.kind),
                      text(e.dataFile), QVariant(e.rowNumber), text(e.resultUuid), text(e.before),
                      text(e.after), text(QString::fromLatin1(e.hash))}))
        return false;
    m_head = e.hash;
    ++m_chainCount;
    return true;
}

StoredResult ResultsDatabase::fromRow(const QString& dataFile, const DataRow& row, const QString& origin) {
    StoredResult r;
    r.uuid = newUuid();
    r.dataFile = dataFile;
    r.rowNumber = row.number();
    r.fields = row.fields();
    r.origin = origin;
    if (m_recordPath) {
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
        // Taken in already: a repeated write of the same result, or a reconciliation that found its row
        // first.
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        q.prepare(QStringLiteral("SELECT 1 FROM results WHERE uuid = ?"));
        q.addBindValue(result.uuid);
        if (!exec(q))
            return false;
        bool present = q.next();
        if (!present) {
            const std::optional<qint64> file = fileId(result.dataFile, false);
            if (!file)
                return false;
            q.prepare(
                QStringLiteral("SELECT 1 FROM placements WHERE file_id = ? AND row_number = ? AND line = ?"));
            q.addBindValue(*file);
            q.addBindValue(result.rowNumber);
            q.addBindValue(result.line());
            if (!exec(q))
                return false;
            present = q.next();
        }
        if (present)
            return true;
        return insertResult(result);
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

// ---- Reconciling a data file with the store -----------------------------------------------------

std::optional<ReconcileReport> ResultsDatabase::reconcile(const QString& dataFile,
                                                          const std::vector<DataRow>& rows,
                                                          const QString& origin, bool recordOpening) {
    if (!begin())
        return std::nullopt;
    ReconcileReport report;
    auto abandon = [this]() -> std::optional<ReconcileReport> {
        rollback();
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
    std::vector<const DataRow*> unmatched;
    for (const DataRow& row : rows) {
        const qint64 hash = LineHash(row);
        const auto found = byHash.find(hash);
        if (found == byHash.end()) {
            unmatched.push_back(&row);
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
    auto note = [&](const QString& kind, int number, const QString& uuid, const QString& before,
                    const QString& after) {
        report.changes.append(QStringLiteral("row ") + QString::number(number) + QStringLiteral(": ") + kind);
        AuditEvent e;
        e.kind = kind;
        e.dataFile = dataFile;
        e.rowNumber = number;
        e.resultUuid = uuid;
        e.before = before;
        e.after = after;
        return appendEvent(e);
    };
    for (const DataRow* row : unmatched) {
        const QString line = DataLine::FileLine(*row);
        const auto at = byNumber.constFind(row->number());
        if (at != byNumber.constEnd() && !placed[*at].matched) {
            // The store had another text at this row: changed outside the program.
            Placed& p = placed[*at];
            p.matched = true;
            const auto was = textOf(p);
            if (!was || !run(rewrite, {row->number(), line, LineHash(*row), p.rowid}) ||
                !note(T::EventChangedOutside, row->number(), was->first, was->second, line))
                return abandon();
            continue;
        }
        // A row the store lacks: at the file's end, the one a kill between the two writes left
        // behind; elsewhere, one put in outside the program.
        StoredResult r = fromRow(dataFile, *row, origin);
        if (!insertResult(r))
            return abandon();
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
    if (!commit())
        return std::nullopt;
    return report;
}

// ---- Reading ------------------------------------------------------------------------------------

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
        const AuditEvent e = eventFrom(q);
        QByteArray resultText;
        if (e.kind == T::EventAdded) {
            if (q.value(12).toBool()) {
                resultText = canonicalOf(q, 13);
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
        QStringLiteral("SELECT ") + EventColumns +
        QStringLiteral(" FROM events WHERE (result_uuid <> '' AND result_uuid = ?) OR (data_file = ? AND "
                       "row_number = ? AND result_uuid = '') ORDER BY seq"));
    q.addBindValue(uuid);
    q.addBindValue(dataFile);
    q.addBindValue(rowNumber);
    if (!exec(q))
        return std::nullopt;
    QList<AuditEvent> events;
    while (q.next())
        events.append(eventFrom(q));
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
    q.prepare(QStringLiteral("SELECT ") + EventColumns +
              QStringLiteral(" FROM events WHERE seq > ? ORDER BY seq LIMIT ?"));
    q.addBindValue(afterSeq);
    q.addBindValue(limit);
    if (!exec(q))
        return std::nullopt;
    QList<AuditEvent> events;
    while (q.next())
        events << eventFrom(q);
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
