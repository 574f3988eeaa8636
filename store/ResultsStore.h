#pragma once

#include "results/DataRow.h"
#include "store/ResultsDatabase.h"
#include "store/StoredResult.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <memory>
#include <vector>

class StoreWorker;

// The program's side of the results store: every call hands a job to the store's own thread and
// returns at once, so no test ever waits on the store. What the store has to tell comes back as
// signals on the caller's thread.
class ResultsStore : public QObject {
    Q_OBJECT
public:
    static constexpr int RetryMs = 5000;

    // The store of this user (one for the simulator, one for the instrument).
    static QString DefaultPath(bool simulator);
    // The account the program runs under.
    static QString SystemUser();

    explicit ResultsStore(const QString& path, QObject* parent = nullptr);
    ~ResultsStore() override;

    // Tests: a shorter retry, a store that acts as one on a full disc.
    void start(int retryMs = RetryMs, int pageLimit = 0);
    QString path() const { return m_path; }
    void setRecordPath(ResultsDatabase::RecordPath recordPath) { m_recordPath = std::move(recordPath); }
    // The operator entries are made in the name of, from now on.
    void setOperator(const QString& name) { m_operator = name; }

    void resultAppended(const StoredResult& result);
    void commentEdited(const QString& dataFile, int rowNumber, const QStringList& fields,
                       const QString& before, const QString& reason = {});
    void rowDeleted(const QString& dataFile, int rowNumber, const QString& line, const QString& reason = {});
    void savedAs(const QString& oldFile, const QString& newFile, const std::vector<DataRow>& rows);
    // A data file loaded: compared with the store, changedOutside tells what was changed outside.
    void dataFileOpened(const QString& dataFile, const std::vector<DataRow>& rows);
    void event(const QString& kind, const QString& what, const QString& before, const QString& after);
    using QObject::event; // the object's own event handler keeps its name beside the entry above

    // Jobs not yet written.
    int waiting() const { return m_waiting.load(); }
    // Writes what waits, for at most the time given, and stops the store's thread (the program's end).
    void finish(int waitMs = 3000);

signals:
    // Once per failure, and once when the store is written again: for the status bar.
    void statusMessage(const QString& text);
    void changedOutside(const QString& dataFile, const QStringList& changes);
    // Every job handed over so far is written.
    void drained();

private:
    void post(std::function<bool(ResultsDatabase&)> job);
    void compare(const QString& dataFile, const std::vector<DataRow>& rows, bool recordOpening);

    QString m_path;
    QString m_operator;
    QString m_user;
    ResultsDatabase::RecordPath m_recordPath;
    QThread m_thread;
    StoreWorker* m_worker = nullptr;
    std::atomic<int> m_waiting{0};
};
