#pragma once

#include <QtGlobal>

// Fields of the System Controller's multi-field replies. A reply that failed the hex check reads as
// all zeros with valid false, so callers can tell it from a real zero.

struct ControllerStatus { // "?"
    int status = 0;
    qint32 position = 0;
    int recordCount = 0;
    bool valid = true;
};

struct LoadStatus { // "L"; load fields are sums over the samples of one reading
    int status = 0;
    qint32 position = 0;
    qint32 loadCounts = 0;
    qint32 maxLoadCounts = 0;
    qint32 timeMs = 0;
    bool valid = true;
};

struct FinalData { // "F" and "A"
    int unused1 = 0;
    qint32 loadCounts = 0;
    float value = 0;
    int value4 = 0;
    qint32 timeMs = 0;
    int unused2 = 0;
    int unused3 = 0;
    qint32 unused4 = 0;
    qint32 finalTimeMs = 0;
    qint32 position = 0;
    bool valid = true;
};

struct RecordCount { // "z"
    int records = 0;
    int second = 0;
    bool valid = true;
};
