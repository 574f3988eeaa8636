#pragma once

#include "store/LabSource.h"

#include <QMutex>
#include <memory>

// A chain of results and events held in memory, as a local store would hand them to the lab sender:
// each result comes with its "added" event, linked by SHA-256 to the event before. Tests append while a
// sender's thread reads (each sender gets its own view through source()).
class LabTestChain {
public:
    explicit LabTestChain(const QString& instrument);

    // Adds a result of the given specimen number and its event; returns the result.
    LabResult add(int row, const QString& sample = QStringLiteral("B7"),
                  const QString& operatorName = QStringLiteral("ana"));
    qint64 size() const;
    std::unique_ptr<LabSource> source() const;
    QString instrument() const { return m_instrument; }

    struct Data;

private:
    QString m_instrument;
    std::shared_ptr<Data> m_data;
};
