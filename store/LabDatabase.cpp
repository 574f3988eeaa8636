#include "store/LabDatabase.h"

#include "store/LabTexts.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {
const QString Driver = QStringLiteral("QPSQL");
// SQLSTATE codes the server answers with.
const QString InsufficientPrivilege = QStringLiteral("42501");
const QString UndefinedTable = QStringLiteral("42P01");

// A null QString binds as NULL: the columns want text, empty or not.
QVariant textValue(const QString& text) {
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

} // namespace

LabDatabase::LabDatabase(const LabAddress& address, const QString& connectionName)
    : m_address(address), m_name(connectionName) {}

LabDatabase::~LabDatabase() {
    close();
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
}

bool LabDatabase::connect(LabError* error) {
    if (m_db.isOpen())
        return true;
    if (!QSqlDatabase::isDriverAvailable(Driver)) {
        *error = {LabFault::NoDriver, LabTexts::NoDriver};
        return false;
    }
    if (!m_db.isValid()) {
        m_db = QSqlDatabase::addDatabase(Driver, m_name);
        m_address.configure(m_db);
    }
    if (!m_db.open()) {
        *error = classify(m_db.lastError(), QStringLiteral("connect"));
        m_db.close();
        return false;
    }
    return true;
}

bool LabDatabase::open(LabError* error) {
    if (!connect(error))
        return false;
    const int version = schemaVersion(error);
    if (error->fault != LabFault::None) {
        close();
        return false;
    }
    if (version == SchemaVersion)
        return true;
    if (version < 0)
        *error = {LabFault::NoSchema, LabTexts::NoSchema.arg(m_address.describe())};
    else if (version < SchemaVersion)
        *error = {LabFault::OlderSchema,
                  LabTexts::OlderSchema.arg(m_address.describe()).arg(version).arg(SchemaVersion)};
    else
        *error = {LabFault::NewerSchema,
                  LabTexts::NewerSchema.arg(m_address.describe()).arg(version).arg(SchemaVersion)};
    close();
    return false;
}

bool LabDatabase::isOpen() const {
    return m_db.isOpen();
}

void LabDatabase::close() {
    if (m_db.isValid())
        m_db.close();
}

LabError LabDatabase::classify(const QSqlError& sqlError, const QString& action) const {
    const QString where = m_address.describe();
    const QString text = sqlError.databaseText().trimmed().isEmpty() ? sqlError.text().trimmed()
                                                                     : sqlError.databaseText().trimmed();
    const QString code = sqlError.nativeErrorCode();
    auto has = [&text](const char* phrase) {
        return text.contains(QLatin1String(phrase), Qt::CaseInsensitive);
    };
    if (code == InsufficientPrivilege || has("permission denied"))
        return {LabFault::NoRights, LabTexts::NoRights.arg(where, action)};
    if (code == UndefinedTable)
        return {LabFault::NoSchema, LabTexts::NoSchema.arg(where)};
    if (has("password authentication failed"))
        return {LabFault::WrongPassword, LabTexts::WrongPassword.arg(where)};
    if (has("no password supplied"))
        return {LabFault::NoPassword, LabTexts::NoPassword.arg(where)};
    if (has("does not support SSL"))
        return {LabFault::TlsNotOffered, LabTexts::TlsNotOffered.arg(where, m_address.sslMode())};
    if (has("no encryption"))
        return {LabFault::TlsRequired,
                LabTexts::ServerError.arg(where, text) +
                    QStringLiteral(" (the server takes only TLS: add sslmode=require)")};
    if (has("does not exist"))
        return {LabFault::UnknownLogin, LabTexts::UnknownLogin.arg(where, text)};
    // Everything else that breaks a connection or never makes one: the server is away for now.
    if (sqlError.type() == QSqlError::ConnectionError || has("could not connect") ||
        has("connection refused") || has("timeout expired") || has("server closed the connection") ||
        has("no connection to the server") || has("could not translate host name") ||
        has("terminating connection") || has("could not send data") || has("could not receive data") ||
        !m_db.isOpen())
        return {LabFault::Unreachable, LabTexts::Unreachable.arg(where, text)};
    return {LabFault::Other, LabTexts::ServerError.arg(where, text)};
}

bool LabDatabase::exec(const QString& sql, const QString& action, LabError* error) {
    QSqlQuery query(m_db);
    if (query.exec(sql))
        return true;
    *error = classify(query.lastError(), action);
    return false;
}

QStringList LabDatabase::statements(const QString& script) {
    QStringList out;
    QString current;
    bool inBody = false; // inside a $$ … $$ body, whose ';' do not end the statement
    for (const QString& rawLine : script.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (!inBody && (line.isEmpty() || line.startsWith(QLatin1String("--"))))
            continue;
        current += rawLine + QLatin1Char('\n');
        if (line.count(QLatin1String("$$")) % 2 == 1)
            inBody = !inBody;
        if (!inBody && line.endsWith(QLatin1Char(';'))) {
            out << current.trimmed();
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        out << current.trimmed();
    return out;
}

bool LabDatabase::initialise(const QString& script, LabError* error) {
    if (!connect(error))
        return false;
    if (!m_db.transaction()) {
        *error = classify(m_db.lastError(), QStringLiteral("create tables"));
        return false;
    }
    // A second run finds the tables there; the server's notices say so and are not news.
    if (!exec(QStringLiteral("SET LOCAL client_min_messages = warning"), QStringLiteral("create tables"),
              error)) {
        m_db.rollback();
        return false;
    }
    for (const QString& statement : statements(script)) {
        if (!exec(statement, QStringLiteral("create tables and roles"), error)) {
            m_db.rollback();
            return false;
        }
    }
    if (!m_db.commit()) {
        *error = classify(m_db.lastError(), QStringLiteral("create tables"));
        return false;
    }
    return true;
}

int LabDatabase::schemaVersion(LabError* error) {
    *error = {};
    QSqlQuery query(m_db);
    // to_regclass answers null rather than failing when the table is not there.
    if (!query.exec(QStringLiteral("SELECT to_regclass('stavely_schema') IS NOT NULL")) || !query.next()) {
        *error = classify(query.lastError(), QStringLiteral("read the schema version"));
        return 0;
    }
    if (!query.value(0).toBool())
        return -1;
    if (!query.exec(QStringLiteral("SELECT coalesce(max(version), 0) FROM stavely_schema")) ||
        !query.next()) {
        *error = classify(query.lastError(), QStringLiteral("read the schema version"));
        return 0;
    }
    return query.value(0).toInt();
}

void LabDatabase::rollback(const LabError& error) {
    // A connection the server has cut has no transaction left to roll back.
    if (!error.unreachable())
        m_db.rollback();
}

bool LabDatabase::send(const std::vector<LabResult>& results, const std::vector<LabEvent>& events,
                       LabError* error) {
    if (!m_db.transaction()) {
        *error = classify(m_db.lastError(), QStringLiteral("add results"));
        return false;
    }
    QSqlQuery result(m_db);
    result.prepare(QStringLiteral(
        "INSERT INTO results (uuid, instrument, content, record, data_file, row_number, line, sample, "
        "operator, "
        "tested_at, nominal_rate, stress_mpa) VALUES (CAST(? AS uuid), ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
        "ON CONFLICT DO NOTHING"));
    for (const LabResult& r : results) {
        for (const QVariant& v :
             {textValue(r.uuid), textValue(r.instrument), textValue(QString::fromUtf8(r.content)),
              r.record.isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray)) : QVariant(r.record),
              textValue(r.dataFile), QVariant(r.rowNumber), textValue(r.line), textValue(r.sample),
              textValue(r.operatorName), textValue(r.testedAt), textValue(r.nominalRate),
              r.stressMPa ? QVariant(*r.stressMPa) : QVariant(QMetaType(QMetaType::Double))})
            result.addBindValue(v);
        if (!result.exec()) {
            *error = classify(result.lastError(), QStringLiteral("add results"));
            rollback(*error);
            return false;
        }
    }
    QSqlQuery event(m_db);
    event.prepare(QStringLiteral("INSERT INTO events (uuid, instrument, seq, utc, system_user_name, "
                                 "operator, kind, data_file, row_number, "
                                 "result_uuid, before_value, after_value, hash) VALUES (CAST(? AS uuid), ?, "
                                 "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                                 "ON CONFLICT DO NOTHING"));
    for (const LabEvent& le : events) {
        const AuditEvent& e = le.event;
        for (const QVariant& v :
             {textValue(e.uuid), textValue(le.instrument), QVariant(e.seq), textValue(e.utc),
              textValue(e.systemUser), textValue(e.operatorName), textValue(e.kind), textValue(e.dataFile),
              QVariant(e.rowNumber), textValue(e.resultUuid), textValue(e.before), textValue(e.after),
              textValue(QString::fromLatin1(e.hash))})
            event.addBindValue(v);
        if (!event.exec()) {
            *error = classify(event.lastError(), QStringLiteral("add audit events"));
            rollback(*error);
            return false;
        }
    }
    if (!m_db.commit()) {
        *error = classify(m_db.lastError(), QStringLiteral("add results"));
        rollback(*error);
        return false;
    }
    return true;
}

std::optional<qint64> LabDatabase::lastSeq(const QString& instrument, LabError* error) {
    *error = {};
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT coalesce(max(seq), 0) FROM events WHERE instrument = ?"));
    query.addBindValue(instrument);
    if (!query.exec() || !query.next()) {
        *error = classify(query.lastError(), QStringLiteral("read audit events"));
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

std::vector<LabResult> LabDatabase::results(const LabFilter& filter, LabError* error) {
    *error = {};
    QString sql = QStringLiteral("SELECT uuid::text, instrument, content, record, data_file, row_number, "
                                 "line, sample, operator, tested_at, "
                                 "nominal_rate, stress_mpa FROM results WHERE true");
    QVariantList values;
    auto add = [&](const char* condition, const QVariant& value) {
        sql += QLatin1String(condition);
        values << value;
    };
    if (!filter.sample.isEmpty())
        add(" AND sample = ?", filter.sample);
    if (!filter.operatorName.isEmpty())
        add(" AND operator = ?", filter.operatorName);
    if (!filter.instrument.isEmpty())
        add(" AND instrument = ?", filter.instrument);
    // Dates compare as the text they are written in; the last day counts whole.
    if (!filter.since.isEmpty())
        add(" AND tested_at >= ?", filter.since);
    if (!filter.until.isEmpty())
        add(" AND tested_at < ?",
            QDate::fromString(filter.until, Qt::ISODate).addDays(1).toString(Qt::ISODate));
    sql += QStringLiteral(" ORDER BY tested_at, instrument, data_file, row_number");
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    std::vector<LabResult> out;
    if (!query.exec()) {
        *error = classify(query.lastError(), QStringLiteral("read results"));
        return out;
    }
    while (query.next()) {
        LabResult r;
        r.uuid = query.value(0).toString();
        r.instrument = query.value(1).toString();
        r.content = query.value(2).toString().toUtf8();
        r.record = query.value(3).toByteArray();
        r.dataFile = query.value(4).toString();
        r.rowNumber = query.value(5).toInt();
        r.line = query.value(6).toString();
        r.sample = query.value(7).toString();
        r.operatorName = query.value(8).toString();
        r.testedAt = query.value(9).toString();
        r.nominalRate = query.value(10).toString();
        if (!query.value(11).isNull())
            r.stressMPa = query.value(11).toDouble();
        out.push_back(std::move(r));
    }
    return out;
}

QStringList LabDatabase::instruments(LabError* error) {
    *error = {};
    QStringList out;
    QSqlQuery query(m_db);
    if (!query.exec(
            QStringLiteral("SELECT DISTINCT instrument FROM events UNION SELECT DISTINCT instrument FROM "
                           "results ORDER BY 1"))) {
        *error = classify(query.lastError(), QStringLiteral("read audit events"));
        return out;
    }
    while (query.next())
        out << query.value(0).toString();
    return out;
}

std::vector<LabEvent> LabDatabase::events(const QString& instrument, LabError* error) {
    *error = {};
    std::vector<LabEvent> out;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT uuid::text, seq, utc, system_user_name, operator, kind, data_file, row_number, "
        "result_uuid, before_value, after_value, hash FROM events WHERE instrument = ? "
        "ORDER BY seq"));
    query.addBindValue(instrument);
    if (!query.exec()) {
        *error = classify(query.lastError(), QStringLiteral("read audit events"));
        return out;
    }
    while (query.next()) {
        LabEvent le;
        le.instrument = instrument;
        AuditEvent& e = le.event;
        e.uuid = query.value(0).toString();
        e.seq = query.value(1).toLongLong();
        e.utc = query.value(2).toString();
        e.systemUser = query.value(3).toString();
        e.operatorName = query.value(4).toString();
        e.kind = query.value(5).toString();
        e.dataFile = query.value(6).toString();
        e.rowNumber = query.value(7).toInt();
        e.resultUuid = query.value(8).toString();
        e.before = query.value(9).toString();
        e.after = query.value(10).toString();
        e.hash = query.value(11).toString().toLatin1();
        out.push_back(std::move(le));
    }
    return out;
}
