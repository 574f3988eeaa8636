#include "store/ResultsDatabase.h"

#include "params/Cp1252.h"
#include "store/SqliteDirect.h"
#include "store/StoreTexts.h"
#include "store/StoreValues.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>
#include <atomic>

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
    m_direct.reset();
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
    return openWith(path, false);
}

bool ResultsDatabase::openReadOnly(const QString& path) {
    if (openWith(path, true))
        return true;
    // Where SQLite cannot make its lock files (a read-only folder or medium, a full disc), a store
    // that no program has open (no log with entries beside it) is read as it lies.
    const QFileInfo log(path + QStringLiteral("-wal"));
    if (log.exists() && log.size() > 0)
        return false;
    const QString first = m_error;
    if (openWith(path, true, true))
        return true;
    m_error = first;
    return false;
}

bool ResultsDatabase::openWith(const QString& path, bool readOnly, bool immutable) {
    close();
    m_path = path;
    m_error.clear();
    m_readOnly = readOnly;
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        m_error = T::NotOpened.arg(path, QStringLiteral("not a regular file"));
        return false;
    }
    if (readOnly && !info.exists()) {
        m_error = T::NotOpened.arg(path, QStringLiteral("no such file"));
        return false;
    }
    // The file's own read-only mark counts, whoever runs the program (an administrator could write).
    if (!readOnly && info.exists() &&
        (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner))) {
        m_error = T::ReadOnly.arg(path);
        return false;
    }
    if (!readOnly && !info.exists()) {
        // Results and their trail are for this account alone; SQLite gives its journal files the
        // same rights.
        QDir().mkpath(info.absolutePath());
        QFile created(path);
        if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
            !created.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            m_error = T::NotOpened.arg(path, created.errorString());
            return false;
        }
    }
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
        db.setDatabaseName(immutable
                               ? QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded) +
                                     QStringLiteral("?immutable=1")
                               : path);
        db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=10000") +
                                            (immutable ? QStringLiteral(";QSQLITE_OPEN_URI") : QString())
                                      : QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
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
    if (!readOnly)
        m_direct = std::make_unique<SqliteDirect>(QSqlDatabase::database(m_connection, false));
    bool ready = true;
    {
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        // WAL: a reader never blocks the writer; FULL: an entry acknowledged is on the disc.
        for (const char* pragma :
             {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA cache_size=-32768"})
            if (ready && !readOnly && !q.exec(QLatin1String(pragma)))
                ready = fail(q);
        if (ready && m_pageLimit > 0)
            q.exec(QStringLiteral("PRAGMA max_page_count=%1").arg(m_pageLimit));
    }
    if (!ready || !(readOnly ? readMeta() : createSchema())) {
        close();
        return false;
    }
    return true;
}

// ---- Transactions -------------------------------------------------------------------------------

bool ResultsDatabase::begin() {
    if (!m_open)
        return fail(QStringLiteral("not open"));
    if (m_readOnly)
        return fail(QStringLiteral("opened read-only"));
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // IMMEDIATE: another process writing (an import) waits for this one instead of failing later.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return fail(q);
    m_head.clear();
    m_chainCount = -1;
    // One moment for what one transaction writes; record files are looked for afresh.
    m_now = StoreValues::nowUtc();
    m_recordFolder.clear();
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
        q.addBindValue(StoreValues::text(QString::fromLatin1(m_head)));
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

bool ResultsDatabase::write(const QString& sql, const QList<QVariant>& values, CanonicalText* covered,
                            qsizetype coveredCount) {
    if (m_direct && m_direct->available())
        return m_direct->run(sql, values, covered, coveredCount) || fail(m_direct->error());
    QSqlQuery& q = query(sql);
    for (int i = 0; i < values.size(); ++i) {
        q.bindValue(i, values[i]);
        if (covered && i < coveredCount)
            StoreValues::addValue(*covered, values[i]);
    }
    return exec(q);
}

bool ResultsDatabase::exec(QSqlQuery& query) {
    if (query.exec())
        return true;
    fail(query);
    return false;
}
