#pragma once

#include "store/LabDatabase.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>

// Where the sending stands, for the status bar and the end of the program.
struct LabStatus {
    qint64 waiting = 0; // results not yet on the server; -1 when the store cannot be counted
    bool known = false; // false until the store has been read once
    LabError error;     // why the last attempt failed; None while the server answers
    QDateTime since;    // local time of the first failure of the current outage

    // "Lab database: up to date", "Lab database: 3 results waiting (server unreachable since 10:42)".
    QString text() const;
    // The note for the end of the program; empty when nothing waits.
    QString exitText() const;
};

Q_DECLARE_METATYPE(LabStatus)
