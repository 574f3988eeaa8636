#pragma once

#include "store/LabAddress.h"
#include "store/LabRecords.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class QSqlError;

// What stopped an exchange with the lab database. Every fault leaves the results waiting in the local
// store; the sender retries all of them, the ones an administrator must mend less often.
enum class LabFault {
    None,
    NoDriver,
    Unreachable,
    WrongPassword,
    NoPassword,
    TlsNotOffered,
    TlsRequired, // the server takes only TLS and the address does not ask for it
    UnknownLogin,
    NoRights,
    NoSchema,
    OlderSchema,
    NewerSchema,
    Other
};

struct LabError {
    LabFault fault = LabFault::None;
    QString message; // names the cause, for the operator
    bool unreachable() const { return fault == LabFault::Unreachable; }
};

// Filters of a read of the whole lab's results; empty ones select all.
struct LabFilter {
    QString sample;
    QString operatorName;
    QString instrument;
    QString since; // yyyy-mm-dd, on the date of the test
    QString until; // yyyy-mm-dd, inclusive
};

// One connection to the lab's PostgreSQL server, of the thread that made it.
class LabDatabase {
public:
    static constexpr int SchemaVersion = 1;

    LabDatabase(const LabAddress& address, const QString& connectionName);
    ~LabDatabase();
    LabDatabase(const LabDatabase&) = delete;
    LabDatabase& operator=(const LabDatabase&) = delete;

    // Connects and checks that the server holds tables of this program's version.
    bool open(LabError* error);
    // Connects only (for --db-init).
    bool connect(LabError* error);
    bool isOpen() const;
    void close();

    // Runs the schema script (statements separated by ';' at a line's end) in one transaction.
    bool initialise(const QString& script, LabError* error);
    // The version the server's tables are of; -1 when it has none.
    int schemaVersion(LabError* error);

    // Adds results and events in one transaction; what the server has already is left as it is.
    bool send(const std::vector<LabResult>& results, const std::vector<LabEvent>& events, LabError* error);

    // The last event of an instrument's chain the server holds (0: none); nullopt on failure.
    std::optional<qint64> lastSeq(const QString& instrument, LabError* error);

    std::vector<LabResult> results(const LabFilter& filter, LabError* error);
    QStringList instruments(LabError* error);
    // One instrument's chain in order.
    std::vector<LabEvent> events(const QString& instrument, LabError* error);

    QSqlDatabase& db() { return m_db; }
    const LabAddress& address() const { return m_address; }

    // The cause of a failed exchange in the operator's words.
    LabError classify(const QSqlError& error, const QString& action) const;
    // The statements of a script.
    static QStringList statements(const QString& script);

private:
    bool exec(const QString& sql, const QString& action, LabError* error);
    void rollback(const LabError& error);

    LabAddress m_address;
    QString m_name;
    QSqlDatabase m_db;
};
