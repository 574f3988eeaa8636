#pragma once

#include <QString>
#include <QStringList>

// Where a reported break leaves its result row: the datasheet and its data file. The break analysis
// fills the 17 fields (columns 1 to 17, specimen number first) and hands them over in one call.
class ResultAppender {
public:
    virtual ~ResultAppender() = default;
    // Adds the row to the grid and appends its line to the data file. True only once the line is on
    // the disc; on false the row still stays in the grid and the caller reports the failure.
    virtual bool AppendResult(const QStringList& fields) = 0;
    // After a failed append: what the report adds to its message (empty when nothing).
    virtual QString appendFailureNote() const { return {}; }
};
