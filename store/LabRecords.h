#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

// A result as the lab database keeps it (one row of its results table).
struct LabResult {
    QString uuid;
    QString instrument;
    QString dataFile;
    int rowNumber = 0;
    QString sample;
    QString operatorName;
    QDateTime testedAt; // UTC; invalid when unknown
    std::optional<double> stressMPa;
    bool ignored = false;
    QString fields;     // the row's fields as written, one line of CSV
    QByteArray content; // JSON object: everything else the store keeps
    QString contentSha256;
};

// An audit event as the lab database keeps it (one link of an instrument's chain).
struct LabEvent {
    QString uuid;
    QString instrument;
    qint64 seq = 0;
    QDateTime at; // UTC
    QString systemUser;
    QString operatorName;
    QString what;
    QString resultUuid; // empty: not about one result
    QString dataFile;
    std::optional<int> rowNumber;
    QString before;
    QString after;
    QString canonical;
    QString prevHash;
    QString hash;
};
