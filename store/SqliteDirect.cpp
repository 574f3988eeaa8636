#include "store/SqliteDirect.h"

#include "store/StoreValues.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>

#ifdef STAVELY_SQLITE_DIRECT
#include <sqlite3.h>
#endif

SqliteDirect::SqliteDirect(const QSqlDatabase& db) {
#ifdef STAVELY_SQLITE_DIRECT
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return;
    // The driver's SQLite must be the one linked here: the same version, the same library.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT sqlite_version()")) || !q.next() ||
        q.value(0).toString() != QLatin1String(sqlite3_libversion()))
        return;
    m_db = *static_cast<sqlite3* const*>(handle.constData());
#else
    Q_UNUSED(db);
#endif
}

SqliteDirect::~SqliteDirect() {
    clear();
}

void SqliteDirect::clear() {
#ifdef STAVELY_SQLITE_DIRECT
    for (auto& [sql, statement] : m_statements)
        sqlite3_finalize(statement);
#endif
    m_statements.clear();
}

bool SqliteDirect::run(const QString& sql, const QList<QVariant>& values) {
#ifdef STAVELY_SQLITE_DIRECT
    auto failed = [this] {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        return false;
    };
    auto found = m_statements.find(sql);
    if (found == m_statements.end()) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v3(m_db, sql.toUtf8().constData(), -1, SQLITE_PREPARE_PERSISTENT, &statement,
                               nullptr) != SQLITE_OK)
            return failed();
        found = m_statements.emplace(sql, statement).first;
    }
    sqlite3_stmt* statement = found->second;
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& v = values[i];
        int rc = SQLITE_OK;
        if (StoreValues::storedNull(v)) {
            rc = sqlite3_bind_null(statement, i + 1);
        } else {
            switch (v.typeId()) {
            case QMetaType::Double:
                rc = sqlite3_bind_double(statement, i + 1, v.toDouble());
                break;
            case QMetaType::Int:
            case QMetaType::LongLong:
                rc = sqlite3_bind_int64(statement, i + 1, v.toLongLong());
                break;
            case QMetaType::QByteArray: {
                const QByteArray* bytes = static_cast<const QByteArray*>(v.constData());
                rc = sqlite3_bind_blob64(statement, i + 1, bytes->constData(), sqlite3_uint64(bytes->size()),
                                         SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::QString: {
                const QString* text = static_cast<const QString*>(v.constData());
                rc = sqlite3_bind_text16(statement, i + 1, text->utf16(), int(text->size() * 2),
                                         SQLITE_TRANSIENT);
                break;
            }
            default: {
                const QString text = v.toString();
                rc = sqlite3_bind_text16(statement, i + 1, text.utf16(), int(text.size() * 2),
                                         SQLITE_TRANSIENT);
                break;
            }
            }
        }
        if (rc != SQLITE_OK) {
            sqlite3_reset(statement);
            return failed();
        }
    }
    const int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        return failed();
    return true;
#else
    Q_UNUSED(sql);
    Q_UNUSED(values);
    return false;
#endif
}
