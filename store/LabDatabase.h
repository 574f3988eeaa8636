#pragma once

#include "store/LabAddress.h"
#include "store/LabRecords.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>
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
    MissingColumn,   // the server's tables lack a column this program reads or writes
    OtherInstrument, // the instrument sends as another login
    Diverged,        // the store's trail and the server's copy part ways (a restore or a clone)
    StoreUnreadable, // the local store cannot be read: nothing can be counted or sent
    Clash,           // --db-init met another application's tables
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

// The last entry of a trail: its place and its hash (seq 0: none).
struct LabHead {
    qint64 seq = 0;
    QByteArray hash;
    bool operator==(const LabHead&) const = default;
};

// One connection to the lab's PostgreSQL server, of the thread that made it. The tables are in the
// schema "stavely"; testers read them and add rows through the server's function only.
class LabDatabase {
public:
    static constexpr int SchemaVersion = 2;

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

    // Runs the schema script (statements separated by ';' at a line's end) in one transaction, then
    // gives the results of older versions their specimen keys.
    bool initialise(const QString& script, LabError* error);
    // The administrator's registration of a tester: the login joins stavely_tester and, with an
    // instrument, that instrument's trail is taken from this login only.
    bool registerTester(const QString& login, const QString& instrument, LabError* error);
    // The version the server's tables are of; -1 when it has none.
    int schemaVersion(LabError* error);

    // Adds one instrument's results and events in one call of the server's function (one transaction);
    // entries the server has already are checked, not added again. The trail's head after it.
    std::optional<LabHead> send(const QString& instrument, const std::vector<LabResult>& results,
                                const std::vector<LabEvent>& events, LabError* error);

    // The last event of an instrument's chain the server holds (seq 0: none); nullopt on failure.
    std::optional<LabHead> head(const QString& instrument, LabError* error);
    // The hash of entry `seq` of a trail (empty when the server lacks it).
    std::optional<QByteArray> hashAt(const QString& instrument, qint64 seq, LabError* error);
    // The head the server last acknowledged to the instrument's sender (seq 0: none).
    std::optional<LabHead> acknowledged(const QString& instrument, LabError* error);

    // Every result that passes the filter, with content and record, in test order (for verification).
    std::vector<LabResult> results(const LabFilter& filter, LabError* error);
    // Each specimen once (the first copy the server received), streamed in test order; with
    // withContent false only the row's line and the searched copies are read, never the record.
    // The callback returns false to stop.
    bool forEachSpecimen(const LabFilter& filter, bool withContent,
                         const std::function<bool(const LabResult&)>& take, LabError* error);
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
    bool fillSpecimens(LabError* error);
    bool exec(const QString& sql, const QString& action, LabError* error);
    void rollback(const LabError& error);

    LabAddress m_address;
    QString m_name;
    QSqlDatabase m_db;
};
