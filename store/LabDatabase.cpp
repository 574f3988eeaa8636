#include "store/LabDatabase.h"

#include "store/LabBatch.h"
#include "store/LabTexts.h"

#include <QDate>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <array>

namespace {
const QString Driver = QStringLiteral("QPSQL");
// SQLSTATE codes the server answers with.
const QString InsufficientPrivilege = QStringLiteral("42501");
const QString UndefinedTable = QStringLiteral("42P01");
const QString UndefinedColumn = QStringLiteral("42703");
const QString UndefinedFunction = QStringLiteral("42883");
const QString InvalidCatalog = QStringLiteral("3D000");
const QString InvalidAuthorization = QStringLiteral("28000");
// Raised by the server's own function and script (docs/lab-database.sql).
const QString NotTheLoginsInstrument = QStringLiteral("SV001");
const QString EntryDiffers = QStringLiteral("SV002");
const QString EntryOutOfPlace = QStringLiteral("SV003");
const QString ResultWithoutEntry = QStringLiteral("SV004");
const QString TablesInTheWay = QStringLiteral("SV010");

// The columns a read of results takes: those of a verification, or only what figures need.
const QString AllColumns = QStringLiteral("uuid::text, instrument, content, record, data_file, row_number, "
                                          "line, sample, operator, tested_at, nominal_rate, stress_mpa");
const QString FigureColumns =
    QStringLiteral("uuid::text, instrument, NULL::text, NULL::bytea, data_file, row_number, line, sample, "
                   "operator, tested_at, nominal_rate, stress_mpa");
const QString ContentColumns =
    QStringLiteral("uuid::text, instrument, content, NULL::bytea, data_file, row_number, line, sample, "
                   "operator, tested_at, nominal_rate, stress_mpa");

LabResult resultOf(const QSqlQuery& query) {
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
    return r;
}

// The filter as SQL conditions and their values.
QString conditionsOf(const LabFilter& filter, QVariantList* values) {
    QString sql = QStringLiteral(" WHERE true");
    auto add = [&](const char* condition, const QVariant& value) {
        sql += QLatin1String(condition);
        *values << value;
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
    return sql;
}

const QString TestOrder = QStringLiteral(" ORDER BY tested_at, instrument, data_file, row_number");

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
    QString text = sqlError.databaseText().trimmed().isEmpty() ? sqlError.text().trimmed()
                                                               : sqlError.databaseText().trimmed();
    // The server's own words, without its "ERROR:" and the lines on where in a function it stopped.
    if (text.startsWith(QLatin1String("ERROR:")))
        text = text.mid(6).trimmed();
    if (const qsizetype context = text.indexOf(QLatin1String("\nCONTEXT:")); context >= 0)
        text = text.left(context).trimmed();
    const QString code = sqlError.nativeErrorCode();
    auto has = [&text](const char* phrase) {
        return text.contains(QLatin1String(phrase), Qt::CaseInsensitive);
    };
    if (code == NotTheLoginsInstrument)
        return {LabFault::OtherInstrument, LabTexts::OtherInstrument.arg(where, text)};
    if (code == EntryDiffers || code == EntryOutOfPlace || code == ResultWithoutEntry)
        return {LabFault::Diverged, LabTexts::ServerRefusedEntries.arg(where, text)};
    if (code == TablesInTheWay)
        return {LabFault::Clash, LabTexts::ServerError.arg(where, text)};
    if (code == InsufficientPrivilege || has("permission denied"))
        return {LabFault::NoRights, LabTexts::NoRights.arg(where, action)};
    if (code == UndefinedTable)
        return {LabFault::NoSchema, LabTexts::NoSchema.arg(where)};
    if (code == UndefinedColumn || code == UndefinedFunction)
        return {LabFault::MissingColumn, LabTexts::MissingColumn.arg(where, text)};
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
    // Only a login or a database that is not there is the login's fault; a missing column or table
    // is the tables' (caught above by its code, or here by its words when the code is lost).
    if (code == InvalidCatalog || code == InvalidAuthorization ||
        ((has("role \"") || has("database \"")) && has("does not exist")))
        return {LabFault::UnknownLogin, LabTexts::UnknownLogin.arg(where, text)};
    if (has("column") && has("does not exist"))
        return {LabFault::MissingColumn, LabTexts::MissingColumn.arg(where, text)};
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
    if (!fillSpecimens(error)) {
        m_db.rollback();
        return false;
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
    // to_regclass answers null rather than failing when the table is not there. Version 1 kept its
    // tables in public.
    if (!query.exec(QStringLiteral("SELECT coalesce(to_regclass('stavely.stavely_schema'), "
                                   "to_regclass('public.stavely_schema'))::text")) ||
        !query.next()) {
        *error = classify(query.lastError(), QStringLiteral("read the schema version"));
        return 0;
    }
    if (query.value(0).isNull())
        return -1;
    const QString table = query.value(0).toString().startsWith(QLatin1String("stavely."))
                              ? QStringLiteral("stavely.stavely_schema")
                              : QStringLiteral("public.stavely_schema");
    if (!query.exec(QStringLiteral("SELECT coalesce(max(version), 0) FROM ") + table) || !query.next()) {
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

std::optional<LabHead> LabDatabase::send(const QString& instrument, const std::vector<LabResult>& results,
                                         const std::vector<LabEvent>& events, LabError* error) {
    *error = {};
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT stavely.add_entries(?, CAST(? AS jsonb), CAST(? AS jsonb))"));
    query.addBindValue(instrument);
    query.addBindValue(QString::fromUtf8(LabBatch::ResultsJson(results)));
    query.addBindValue(QString::fromUtf8(LabBatch::EventsJson(events)));
    // One statement: the server runs it as one transaction, all or nothing.
    if (!query.exec() || !query.next()) {
        *error = classify(query.lastError(), QStringLiteral("add results"));
        return std::nullopt;
    }
    LabHead head;
    head.seq = query.value(0).toLongLong();
    for (const LabEvent& e : events)
        if (e.event.seq == head.seq)
            head.hash = e.event.hash;
    if (head.hash.isEmpty() && head.seq > 0) {
        const std::optional<QByteArray> hash = hashAt(instrument, head.seq, error);
        if (!hash)
            return std::nullopt;
        head.hash = *hash;
    }
    return head;
}

std::optional<LabHead> LabDatabase::head(const QString& instrument, LabError* error) {
    *error = {};
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "SELECT seq, hash FROM stavely.events WHERE instrument = ? ORDER BY seq DESC LIMIT 1"));
    query.addBindValue(instrument);
    if (!query.exec()) {
        *error = classify(query.lastError(), QStringLiteral("read audit events"));
        return std::nullopt;
    }
    LabHead head;
    if (query.next()) {
        head.seq = query.value(0).toLongLong();
        head.hash = query.value(1).toString().toLatin1();
    }
    return head;
}

std::optional<QByteArray> LabDatabase::hashAt(const QString& instrument, qint64 seq, LabError* error) {
    *error = {};
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT hash FROM stavely.events WHERE instrument = ? AND seq = ?"));
    query.addBindValue(instrument);
    query.addBindValue(seq);
    if (!query.exec()) {
        *error = classify(query.lastError(), QStringLiteral("read audit events"));
        return std::nullopt;
    }
    return query.next() ? query.value(0).toString().toLatin1() : QByteArray();
}

std::optional<LabHead> LabDatabase::acknowledged(const QString& instrument, LabError* error) {
    *error = {};
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT seq, hash FROM stavely.heads WHERE instrument = ?"));
    query.addBindValue(instrument);
    if (!query.exec()) {
        *error = classify(query.lastError(), QStringLiteral("read acknowledged heads"));
        return std::nullopt;
    }
    LabHead head;
    if (query.next()) {
        head.seq = query.value(0).toLongLong();
        head.hash = query.value(1).toString().toLatin1();
    }
    return head;
}

std::vector<LabResult> LabDatabase::results(const LabFilter& filter, LabError* error) {
    *error = {};
    QVariantList values;
    const QString sql = QStringLiteral("SELECT ") + AllColumns + QStringLiteral(" FROM stavely.results") +
                        conditionsOf(filter, &values) + TestOrder;
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
    while (query.next())
        out.push_back(resultOf(query));
    return out;
}

bool LabDatabase::forEachSpecimen(const LabFilter& filter, bool withContent,
                                  const std::function<bool(const LabResult&)>& take, LabError* error) {
    *error = {};
    QVariantList values;
    // The first copy of each specimen the server received; results of older versions without a
    // specimen key stand for themselves.
    const QString columns = withContent ? ContentColumns : FigureColumns;
    const QString sql =
        QStringLiteral("DECLARE stavely_specimens NO SCROLL CURSOR FOR SELECT * FROM (SELECT DISTINCT ON "
                       "(coalesce(specimen, uuid)) ") +
        columns + QStringLiteral(", received_at FROM stavely.results") + conditionsOf(filter, &values) +
        QStringLiteral(" ORDER BY coalesce(specimen, uuid), received_at, instrument) r") + TestOrder;
    const QString action = QStringLiteral("read results");
    if (!m_db.transaction()) {
        *error = classify(m_db.lastError(), action);
        return false;
    }
    // A cursor's declaration cannot be a prepared statement: its values go in as quoted literals.
    QString declared;
    const QStringList parts = sql.split(QLatin1Char('?'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        declared += parts[i];
        if (i < values.size()) {
            QSqlField field{QString(), QMetaType(QMetaType::QString)};
            field.setValue(values[i].toString());
            declared += m_db.driver()->formatValue(field);
        }
    }
    QSqlQuery declare(m_db);
    if (!declare.exec(declared)) {
        *error = classify(declare.lastError(), action);
        rollback(*error);
        return false;
    }
    // Read in slices, so that a whole lab's results never sit in memory at once.
    QSqlQuery fetch(m_db);
    fetch.setForwardOnly(true);
    bool going = true;
    while (going) {
        if (!fetch.exec(QStringLiteral("FETCH 5000 FROM stavely_specimens"))) {
            *error = classify(fetch.lastError(), action);
            rollback(*error);
            return false;
        }
        int rows = 0;
        while (going && fetch.next()) {
            ++rows;
            going = take(resultOf(fetch));
        }
        if (rows == 0)
            break;
    }
    fetch.finish();
    m_db.rollback(); // only read
    return true;
}

bool LabDatabase::fillSpecimens(LabError* error) {
    const QString action = QStringLiteral("give results their specimen keys");
    QSqlQuery read(m_db);
    read.setForwardOnly(true);
    if (!read.exec(QStringLiteral("SELECT instrument, uuid::text, line FROM stavely.results "
                                  "WHERE specimen IS NULL"))) {
        *error = classify(read.lastError(), action);
        return false;
    }
    QByteArray json;
    auto flush = [&]() {
        if (json.size() <= 1)
            return true;
        json += ']';
        QSqlQuery update(m_db);
        update.prepare(QStringLiteral(
            "UPDATE stavely.results r SET specimen = x.specimen FROM jsonb_to_recordset(CAST(? AS jsonb)) "
            "AS x(instrument text, uuid uuid, specimen uuid) WHERE r.instrument = x.instrument AND "
            "r.uuid = x.uuid"));
        update.addBindValue(QString::fromUtf8(json));
        json = "[";
        if (update.exec())
            return true;
        *error = classify(update.lastError(), action);
        return false;
    };
    json = "[";
    int inSlice = 0;
    std::vector<std::array<QString, 3>> pending;
    while (read.next())
        pending.push_back({read.value(0).toString(), read.value(1).toString(), read.value(2).toString()});
    read.finish();
    for (const auto& [instrument, uuid, line] : pending) {
        const QString specimen = LabResult::SpecimenOf(line);
        if (specimen.isEmpty())
            continue;
        if (json.size() > 1)
            json += ',';
        json += "{\"instrument\":";
        LabBatch::AppendString(json, instrument.toUtf8());
        json += ",\"uuid\":\"" + uuid.toLatin1() + "\",\"specimen\":\"" + specimen.toLatin1() + "\"}";
        if (++inSlice == 5000) {
            inSlice = 0;
            if (!flush())
                return false;
        }
    }
    return flush();
}

bool LabDatabase::registerTester(const QString& login, const QString& instrument, LabError* error) {
    if (!connect(error))
        return false;
    const QString action = QStringLiteral("register a tester");
    if (!m_db.transaction()) {
        *error = classify(m_db.lastError(), action);
        return false;
    }
    QSqlQuery query(m_db);
    // A role's name cannot be bound: quote it as an identifier on the server.
    query.prepare(QStringLiteral("SELECT format('GRANT stavely_tester TO %I', CAST(? AS text))"));
    query.addBindValue(login);
    bool ok = query.exec() && query.next();
    const QString grant = ok ? query.value(0).toString() : QString();
    ok = ok && query.exec(grant);
    if (ok && !instrument.isEmpty()) {
        query.prepare(QStringLiteral(
            "INSERT INTO stavely.instruments (instrument, login) VALUES (?, ?) ON CONFLICT (instrument) "
            "DO UPDATE SET login = excluded.login, registered_at = now()"));
        query.addBindValue(instrument);
        query.addBindValue(login);
        ok = query.exec();
    }
    if (!ok) {
        *error = classify(query.lastError(), action);
        rollback(*error);
        return false;
    }
    if (!m_db.commit()) {
        *error = classify(m_db.lastError(), action);
        return false;
    }
    return true;
}

QStringList LabDatabase::instruments(LabError* error) {
    *error = {};
    QStringList out;
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT DISTINCT instrument FROM stavely.events UNION SELECT DISTINCT "
                                   "instrument FROM stavely.results UNION SELECT instrument FROM "
                                   "stavely.heads ORDER BY 1"))) {
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
        "result_uuid, before_value, after_value, hash FROM stavely.events WHERE instrument = ? "
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
