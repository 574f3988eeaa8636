#pragma once

#include "results/DataRow.h"
#include "store/AuditEvent.h"
#include "store/StoredResult.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QSqlQuery;
class SqliteDirect;

// What comparing a data file with the store found.
struct ReconcileReport {
    bool firstSeen = false; // the store had never seen the file: its rows were taken as they are
    int added = 0;          // rows the store lacked (taken in, each once)
    int placedAgain = 0;    // rows whose result the store held already (placed, not filed again)
    QStringList changes;    // rows changed, removed or added outside the program, one line each
};

// What walking the audit trail found.
struct VerifyOutcome {
    bool intact = false;
    qint64 events = 0;
    qint64 results = 0;
    QString broken; // the first entry that does not verify: its time, what it was and why
};

// Which results a search or an export takes; empty members take everything.
struct ResultFilter {
    QString sample;       // any part of the name, any case; "*" and "?" as wildcards
    QString operatorName; // the same
    QString since;        // yyyy-MM-dd, on the test's date
    QString until;        // yyyy-MM-dd, inclusive
    QString rate;         // the nominal rate text, e.g. "60 MPa/s"
    int limit = 0;
};

// One result as a search or an export gives it: its stored columns by name, the fields of its row
// as the data file holds it now, and whether a data file still holds it.
struct ResultView {
    QList<QVariant> values; // in the order of ResultsDatabase::ResultColumns()
    QStringList currentFields;
    bool inDataFile = false;
    // The place of a stored column in values (-1 for none).
    static int IndexOf(const QString& column);
    QVariant value(const QString& column) const {
        const int i = IndexOf(column);
        return i < 0 ? QVariant() : values.value(i);
    }
    QString text(const QString& column) const { return value(column).toString(); }
    std::optional<double> number(const QString& column) const { return NumberOf(value(column)); }
    static std::optional<double> NumberOf(const QVariant& value);
};

// A copy of a store's trail kept elsewhere (the lab database): its entries in order, and the text and
// load/time record (compressed) of each result its "added" entries cover, by result.
struct TrailCopy {
    QList<AuditEvent> events;
    QHash<QString, std::pair<QByteArray, QByteArray>> results;
};

// What taking in a copy of the trail did.
struct AdoptReport {
    qint64 common = 0;    // entries the store and the copy have alike
    qint64 adopted = 0;   // entries the store lacked, taken as the copy holds them
    qint64 rechained = 0; // entries of the store's own after the parting, chained after the copy's
    qint64 dropped = 0;   // of those, results filed again that the copy holds already
};

// The results store in one SQLite file: results with their load/time records, where each result
// stands in which data file, and the audit trail with its hash chain. One object per thread: it
// owns its own database connection. Every write is one transaction, all or nothing.
class ResultsDatabase {
public:
    static constexpr int SchemaVersion = 2;

    ResultsDatabase();
    ~ResultsDatabase();
    ResultsDatabase(const ResultsDatabase&) = delete;
    ResultsDatabase& operator=(const ResultsDatabase&) = delete;

    // Opens (and creates) the store; false with error() saying why in words for the operator.
    bool open(const QString& path);
    // Opens an existing store to read only: nothing is created, upgraded or written (a store on a
    // read-only disc, or one of another computer, can be verified and exported).
    bool openReadOnly(const QString& path);
    void close();
    bool isOpen() const { return m_open; }
    QString path() const { return m_path; }
    QString error() const { return m_error; }
    // This store's identity: the audit trail of one instrument.
    QString instrumentId() const { return m_instrumentId; }
    // The computer a store belongs to, as its meta keeps it: "machine id|host name".
    static QString ThisMachine();
    // The connection's name, for the tables kept beside the results (users, signatures).
    QString connectionName() const { return m_connection; }

    // The load/time record file of a row taken from a data file (empty: none).
    using RecordPath = std::function<QString(const QString& dataFile, const QStringList& fields)>;
    void setRecordPath(RecordPath recordPath) { m_recordPath = std::move(recordPath); }
    // The account and the operator the entries of this connection name.
    void setWho(const QString& systemUser, const QString& operatorName);
    // Tests: a store that cannot grow beyond this many pages acts as one on a full disc.
    void setPageLimit(int pages) { m_pageLimit = pages; }
    // A flag another thread sets to have a long comparison abandoned (the program's end).
    void setStopFlag(const std::atomic<bool>* stop) { m_stop = stop; }

    // A result whose row has just reached the data file. Nothing is added when the file already
    // has that row in the store (taken in by a reconciliation first).
    bool addResult(const StoredResult& result);
    // The comment of a row changed (an "ignore" comment is recorded as such). A reason given (signed-in
    // use asks for one) is an entry right after the change, in the same transaction.
    bool commentEdited(const QString& dataFile, int rowNumber, const QStringList& fields,
                       const QString& before, const QString& reason = {});
    // A row deleted; the rows after it move up by one.
    bool rowDeleted(const QString& dataFile, int rowNumber, const QString& line, const QString& reason = {});
    // The datasheet written under a new name: the new file holds these rows in this order (a
    // sorted grid is saved as it is shown).
    bool savedAs(const QString& oldFile, const QString& newFile, const std::vector<DataRow>& rows);
    // Anything else worth a line in the audit trail (a calibration, an option).
    bool addEvent(const QString& kind, const QString& what, const QString& before, const QString& after);
    // Compares the rows a data file holds (in file order) with the store; see ReconcileReport.
    // origin names how rows the store lacked came in ("reconcile" or "import").
    std::optional<ReconcileReport> reconcile(const QString& dataFile, const std::vector<DataRow>& rows,
                                             const QString& origin, bool recordOpening);

    // Brings the store up to date from a copy of its own trail (the lab database's): entries the store
    // lacks are taken as the copy holds them, hashes checked; the store's own entries after the point
    // where the two part are chained again after them. Nothing when the copy is not ahead.
    std::optional<AdoptReport> adoptTrail(const TrailCopy& copy);
    // A new, empty store takes the identity of the trail it is rebuilt from.
    bool setInstrumentId(const QString& id);

    VerifyOutcome verify();
    // SQLite's own check of every page and index of the file: empty when it finds nothing wrong,
    // otherwise the first faults it names.
    QString pageDamage();
    // Gives the write-ahead log back to the disc: after a rolled-back import it holds all that the
    // import wrote.
    void truncateLog();
    // The entries of one row of a data file, in order (its result's whole story, wherever it went).
    std::optional<QList<AuditEvent>> history(const QString& dataFile, int rowNumber);
    // Results in the order they were recorded; the callback returns false to stop.
    bool forEachResult(const ResultFilter& filter, const std::function<bool(const ResultView&)>& take);
    // The load/time record of a result (empty when none).
    QString record(const QString& resultUuid);
    qint64 count(const QString& table);

    // For the lab database sender: the trail after entry `afterSeq` in order (at most `limit` entries),
    // the last entry's place (0: none), the results added after `afterSeq`, a result's text as its
    // "added" entry covers it and its load/time record as stored (compressed; empty: none).
    std::optional<QList<AuditEvent>> eventsAfter(qint64 afterSeq, int limit);
    std::optional<qint64> lastSeq();
    std::optional<qint64> resultsAddedAfter(qint64 afterSeq);
    std::optional<QByteArray> resultText(const QString& uuid) { return resultCanonical(uuid); }
    QByteArray storedRecord(const QString& resultUuid);

    // A row's fields as one number, to find rows again quickly (FNV-1a over the fields, stable
    // across versions and platforms).
    static qint64 LineHash(const QStringList& fields);
    static qint64 LineHash(const DataRow& row);
    // The names of the stored columns of a result, in the order the chain covers them.
    static const QStringList& ResultColumns();

private:
    bool fail(const QSqlQuery& query);
    bool fail(const QString& what);
    bool begin();
    // One transaction around work: committed when it succeeds, rolled back when it fails.
    bool transaction(const std::function<bool()>& work);
    bool commit();
    void rollback();
    bool exec(QSqlQuery& query);
    // A statement prepared once per connection (the store writes thousands of rows alike).
    QSqlQuery& query(const QString& sql);
    bool run(QSqlQuery& q, std::initializer_list<QVariant> values);
    // An insert of many alike: bound straight to SQLite where it can be, else through Qt SQL.
    // covered: the first coveredCount values added as the chain covers them.
    bool write(const QString& sql, const QList<QVariant>& values, CanonicalText* covered = nullptr,
               qsizetype coveredCount = 0);
    std::optional<qint64> fileId(const QString& dataFile, bool create, bool* created = nullptr);
    // immutable: the file is read as it lies, without the lock files SQLite would create beside it
    // (a read-only folder or medium, a full disc).
    bool openWith(const QString& path, bool readOnly, bool immutable = false);
    // What a caller knows of a result's row already: the identity of its fields, and for fields as
    // the data file holds them, the row's line and line hash (an empty line: not known).
    struct KnownRow {
        QString identity;
        QString line;
        qint64 lineHash = 0;
    };
    bool insertResult(const StoredResult& result, const KnownRow& known);
    bool mayHoldRecords(const QString& dataFile);
    // Adds the result's stored columns to covered as the chain covers them.
    bool insertResultRow(QList<QVariant> values, const QString& identity, CanonicalText& covered);
    bool place(qint64 file, int rowNumber, const QString& uuid, const QString& line, qint64 lineHash);
    // The result the chain covers under this identity (empty: none; nullopt: the store failed).
    std::optional<QString> storedResult(const QString& identity);
    // asRecorded: the entry keeps its account and operator (an entry chained again).
    bool appendEvent(AuditEvent event, const QByteArray& resultText = {}, bool asRecorded = false);
    std::optional<QByteArray> resultCanonical(const QString& uuid);
    QString calibrationDate(const QString& serial, const std::optional<double>& slope);
    QString classify(const QString& driverText) const;
    bool createSchema();
    bool readMeta();
    // Within a transaction: drops or builds the indexes only searches use.
    bool setSearchIndexes(bool present);
    StoredResult fromRow(const QString& dataFile, const DataRow& row, const QString& origin,
                         const QString& identity = {});

    QString m_connection;
    QString m_openKey; // the file as this process counts its connections to it
    QString m_path;
    QString m_error;
    QString m_instrumentId;
    QString m_systemUser;
    QString m_operator;
    RecordPath m_recordPath;
    QHash<QString, qint64> m_fileIds;
    QHash<qint64, QString> m_fileIdentities;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_queries;
    std::unique_ptr<SqliteDirect> m_direct;
    QByteArray m_head; // hash of the last entry, read at the start of each write
    qint64 m_chainCount = 0;
    int m_pageLimit = 0;
    const std::atomic<bool>* m_stop = nullptr;
    bool m_open = false;
    bool m_readOnly = false;
    QString m_now;          // the moment of the transaction under way
    QString m_recordFolder; // the folder last looked at for record files
    bool m_folderHasRecords = false;
};
