#include "store/SqliteDirect.h"

#include "store/AuditEvent.h"
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
    m_byText.clear();
}

namespace {
// The UTF-8 of a text into a buffer that keeps its room from one row to the next.
void toUtf8Into(QByteArray& out, const QString& text) {
    out.resize(text.size());
    char* to = out.data();
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            out = text.toUtf8();
            return;
        }
        *to++ = char(c.unicode());
    }
}
} // namespace

sqlite3_stmt* SqliteDirect::statement(const QString& sql) {
#ifdef STAVELY_SQLITE_DIRECT
    const auto known = m_byText.find(sql.constData());
    if (known != m_byText.end() && known->second.first.size() == sql.size())
        return known->second.second;
    auto found = m_statements.find(sql);
    if (found == m_statements.end()) {
        sqlite3_stmt* prepared = nullptr;
        if (sqlite3_prepare_v3(m_db, sql.toUtf8().constData(), -1, SQLITE_PREPARE_PERSISTENT, &prepared,
                               nullptr) != SQLITE_OK) {
            m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
            return nullptr;
        }
        found = m_statements.emplace(sql, prepared).first;
    }
    m_byText[sql.constData()] = {sql, found->second};
    return found->second;
#else
    Q_UNUSED(sql);
    return nullptr;
#endif
}

bool SqliteDirect::run(const QString& sql, const QList<QVariant>& values, CanonicalText* covered,
                       qsizetype coveredCount) {
#ifdef STAVELY_SQLITE_DIRECT
    auto failed = [this] {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        return false;
    };
    sqlite3_stmt* statement = this->statement(sql);
    if (!statement)
        return false;
    if (m_texts.size() < size_t(values.size()))
        m_texts.resize(size_t(values.size()));
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& v = values[i];
        CanonicalText* cover = i < coveredCount ? covered : nullptr;
        int rc = SQLITE_OK;
        if (StoreValues::storedNull(v)) {
            rc = sqlite3_bind_null(statement, i + 1);
            if (cover)
                cover->add(QByteArrayView("-"));
        } else {
            switch (v.typeId()) {
            case QMetaType::Double: {
                const double number = *static_cast<const double*>(v.constData());
                rc = sqlite3_bind_double(statement, i + 1, number);
                if (cover)
                    cover->addNumber(number);
                break;
            }
            case QMetaType::Int:
            case QMetaType::LongLong:
                rc = sqlite3_bind_int64(statement, i + 1, v.toLongLong());
                if (cover)
                    cover->add(qint64(v.toLongLong()));
                break;
            case QMetaType::QByteArray: {
                const QByteArray* bytes = static_cast<const QByteArray*>(v.constData());
                rc = sqlite3_bind_blob64(statement, i + 1, bytes->constData(), sqlite3_uint64(bytes->size()),
                                         SQLITE_STATIC);
                if (cover)
                    cover->add(*bytes);
                break;
            }
            default: {
                QByteArray& utf8 = m_texts[size_t(i)];
                toUtf8Into(utf8, v.typeId() == QMetaType::QString
                                     ? *static_cast<const QString*>(v.constData())
                                     : v.toString());
                rc = sqlite3_bind_text64(statement, i + 1, utf8.constData(), sqlite3_uint64(utf8.size()),
                                         SQLITE_STATIC, SQLITE_UTF8);
                if (cover)
                    cover->add(utf8);
                break;
            }
            }
        }
        if (rc != SQLITE_OK) {
            sqlite3_reset(statement);
            sqlite3_clear_bindings(statement);
            return failed();
        }
    }
    const int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    // Nothing bound outlives the values it points into.
    sqlite3_clear_bindings(statement);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        return failed();
    return true;
#else
    Q_UNUSED(sql);
    Q_UNUSED(values);
    Q_UNUSED(covered);
    Q_UNUSED(coveredCount);
    return false;
#endif
}
