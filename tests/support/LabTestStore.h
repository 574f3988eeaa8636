#pragma once

#include "store/LabSource.h"
#include "store/ResultsDatabase.h"

#include <QTemporaryDir>
#include <memory>

// A results store in a temporary folder filled with results as a day of breaks leaves them (a row of
// the data file, its load/time record, the calibration and the conditions), for the lab database's
// sender to read through source().
class LabTestStore {
public:
    LabTestStore();
    // A store at a given path (e.g. beside a settings file, where the program looks for it).
    explicit LabTestStore(const QString& path);
    bool isOpen() const { return m_db.isOpen(); }
    QString path() const { return m_path; }
    QString instrument() const { return m_db.instrumentId(); }

    // Adds the result of specimen `row` of the sample's data file; false when the store refused it.
    bool add(int row, const QString& sample = QStringLiteral("B7"),
             const QString& operatorName = QStringLiteral("ana"));
    // The data file of a sample (a path only: the store never reads it).
    QString dataFile(const QString& sample) const;
    std::unique_ptr<LabSource> source() const;
    ResultsDatabase& db() { return m_db; }

private:
    QTemporaryDir m_dir;
    QString m_path;
    ResultsDatabase m_db;
};
