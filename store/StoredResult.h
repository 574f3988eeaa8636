#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// What the program knew when a result was recorded, beyond the row itself. Rows taken from a data
// file (an import, or a row the store missed) know only what the row says.
struct ResultContext {
    QString calibrationSerial;
    std::optional<double> calibrationSlope;
    QString operatorName;
    QString sample;
    QString parameters; // "key=value" items of the options that shape the result
    QString programVersion;
    QString host;
    QString firmware;
};

// One result as the store keeps it: the row's 17 fields as written to the data file, where it went,
// its load/time record and its context.
struct StoredResult {
    QString uuid;
    QString dataFile; // absolute path
    int rowNumber = 0;
    QStringList fields; // columns 1 to 17
    QString record;     // the load/time record text; empty when none
    ResultContext context;
    QString recordedUtc; // ISO 8601, when the store took it
    QString origin;      // "test", "import" or "reconcile"

    // The line of the data file, without its line end.
    QString line() const;
    // The operator and the sample the conditions column names (" operator:x sample:y"), as typed.
    static QString ConditionsItem(const QString& conditions, const QString& name);
    // The break moment of columns 14 and 15 as "yyyy-MM-ddThh:mm:ss" (local time of the instrument);
    // empty when they are not a date and time.
    static QString TestedAt(const QStringList& fields);
};
