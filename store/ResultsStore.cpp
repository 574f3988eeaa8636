#include "store/ResultsStore.h"

#include "base/ProductIdentity.h"
#include "store/StoreTexts.h"
#include "store/StoreWorker.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace T = StoreTexts;

QString ResultsStore::DefaultPath(bool simulator) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return folder + QStringLiteral("/") + ProductIdentity::Organisation + QLatin1Char('/') +
           (simulator ? QStringLiteral("STAVELY-simulator-results.sqlite")
                      : QStringLiteral("STAVELY-results.sqlite"));
}

QString ResultsStore::SystemUser() {
    QString user = qEnvironmentVariable("USER");
    for (const char* name : {"USERNAME", "LOGNAME"})
        if (user.isEmpty())
            user = qEnvironmentVariable(name);
    // Services and some shells set none of them: the home folder is named after the account.
    if (user.isEmpty())
        user = QDir::home().dirName();
    return user;
}

ResultsStore::ResultsStore(const QString& path, QObject* parent)
    : QObject(parent), m_path(path), m_user(SystemUser()) {}

ResultsStore::~ResultsStore() {
    finish();
}

void ResultsStore::start(int retryMs, int pageLimit) {
    if (m_worker)
        return;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_worker = new StoreWorker(m_path, retryMs);
    m_worker->setRecordPath(m_recordPath);
    m_worker->setPageLimit(pageLimit);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &StoreWorker::failed, this, [this](const QString& reason) {
        // The status bar has room for the file's name, not its folder (--db-path tells that).
        QString shortReason = reason;
        shortReason.replace(m_path, QFileInfo(m_path).fileName());
        emit statusMessage(T::StatusFailed.arg(shortReason));
    });
    connect(m_worker, &StoreWorker::recovered, this,
            [this](int count) { emit statusMessage(T::StatusRecovered.arg(count)); });
    connect(m_worker, &StoreWorker::drained, this, [this] {
        if (m_waiting.load() == 0)
            emit drained();
    });
    m_thread.setObjectName(QStringLiteral("results store"));
    m_thread.start(QThread::LowPriority);
}

void ResultsStore::post(std::function<bool(ResultsDatabase&)> job) {
    if (!m_worker)
        return;
    ++m_waiting;
    auto run = [job = std::move(job), op = m_operator, user = m_user, waiting = &m_waiting,
                done = std::make_shared<bool>(false)](ResultsDatabase& db) {
        db.setWho(user, op);
        if (!job(db))
            return false;
        if (!*done) {
            *done = true;
            --*waiting;
        }
        return true;
    };
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, run = std::move(run)]() mutable { worker->enqueue(std::move(run)); },
        Qt::QueuedConnection);
}

void ResultsStore::resultAppended(const StoredResult& result) {
    post([result](ResultsDatabase& db) { return db.addResult(result); });
}

void ResultsStore::commentEdited(const QString& dataFile, int rowNumber, const QStringList& fields,
                                 const QString& before, const QString& reason) {
    post([=](ResultsDatabase& db) { return db.commentEdited(dataFile, rowNumber, fields, before, reason); });
}

void ResultsStore::rowDeleted(const QString& dataFile, int rowNumber, const QString& line,
                              const QString& reason) {
    post([=](ResultsDatabase& db) { return db.rowDeleted(dataFile, rowNumber, line, reason); });
}

void ResultsStore::savedAs(const QString& oldFile, const QString& newFile, const std::vector<DataRow>& rows) {
    post([=](ResultsDatabase& db) { return db.savedAs(oldFile, newFile, rows); });
    // Rows the old file lacked in the store come in as the new file's own.
    compare(newFile, rows, false);
}

void ResultsStore::dataFileOpened(const QString& dataFile, const std::vector<DataRow>& rows) {
    compare(dataFile, rows, true);
}

void ResultsStore::compare(const QString& dataFile, const std::vector<DataRow>& rows, bool recordOpening) {
    // Whatever comparison records a change made outside the program tells the operator, once.
    QPointer<ResultsStore> self(this);
    post([=](ResultsDatabase& db) {
        const std::optional<ReconcileReport> report =
            db.reconcile(dataFile, rows, QStringLiteral("reconcile"), recordOpening);
        if (!report)
            return false;
        if (!report->changes.isEmpty() && self)
            QMetaObject::invokeMethod(
                self,
                [self, dataFile, changes = report->changes] {
                    if (self)
                        emit self->changedOutside(dataFile, changes);
                },
                Qt::QueuedConnection);
        return true;
    });
}

void ResultsStore::event(const QString& kind, const QString& what, const QString& before,
                         const QString& after) {
    post([=](ResultsDatabase& db) { return db.addEvent(kind, what, before, after); });
}

void ResultsStore::finish(int waitMs) {
    if (!m_worker || !m_thread.isRunning())
        return;
    m_worker->requestStop();
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, waitMs] { worker->finish(waitMs); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    m_worker = nullptr;
}
