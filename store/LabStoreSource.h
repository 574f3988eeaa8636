#pragma once

#include "store/LabSource.h"
#include "store/ResultsDatabase.h"

// What waits for the lab database, read from the results store file with a connection of its own
// (the store's writer is never held up: the store keeps a write-ahead log).
class LabStoreSource : public LabSource {
public:
    explicit LabStoreSource(const QString& path) : m_path(path) {}
    ~LabStoreSource() override;

    bool open(QString* error) override;
    QString instrument() override { return m_db.instrumentId(); }
    qint64 lastSeq() override;
    bool read(qint64 afterSeq, int limit, std::vector<LabEvent>* events, std::vector<LabResult>* results,
              QString* error) override;
    qint64 resultsAfter(qint64 afterSeq) override;
    std::optional<QByteArray> hashAt(qint64 seq) override;
    std::optional<std::pair<qint64, QByteArray>> acknowledged() override;
    bool acknowledge(qint64 seq, const QByteArray& hash) override;
    QString markFile() override { return m_path + QStringLiteral(".lab-sent"); }

private:
    // A connection of this source's own to the store file: the bulk read and the meta table.
    bool ownConnection();

    QString m_path;
    QString m_connection;
    ResultsDatabase m_db;
};
