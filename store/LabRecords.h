#pragma once

#include "store/AuditEvent.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// A result as the lab database keeps it. The content is the result's text exactly as its "added"
// entry of the audit trail covers it (every stored column, in order); the other members are copies
// of some of its items, for searching on the server, and must say what the content says.
struct LabResult {
    QString instrument;
    QByteArray content;
    QByteArray record; // the load/time record as the store keeps it (compressed); empty: none

    QString uuid;
    QString dataFile;
    int rowNumber = 0;
    QString line; // the row as written to the data file
    QString sample;
    QString operatorName;
    QString testedAt; // yyyy-MM-ddThh:mm:ss, the instrument's clock; empty when unknown
    QString nominalRate;
    std::optional<double> stressMPa;
    QString specimen; // the specimen's identity from the row's fields (empty: the line is not a row)

    // Fills the copies from the content; false when the content is not a result's text.
    bool fillFromContent();
    // Whether the copies and the record still match the content.
    bool matchesContent() const;
    // The specimen's identity of a data file's row (empty when the line is not one).
    static QString SpecimenOf(const QString& line);
    // The items of a canonical text (length-prefixed); nullopt when it is not one.
    static std::optional<QList<QByteArray>> Items(const QByteArray& canonical);
};

// An audit trail entry and the store whose chain it belongs to.
struct LabEvent {
    QString instrument;
    AuditEvent event;
};
