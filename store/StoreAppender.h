#pragma once

#include "results/ResultAppender.h"
#include "store/StoredResult.h"

#include <functional>

class ResultsStore;

// Where a reported break leaves its row when the results store is on: first the datasheet and its
// data file, as always, then the store, which takes the row on its own thread.
class StoreAppender : public ResultAppender {
public:
    // What the program knows about the row just appended: its data file, row number, record and
    // context (the fields and the identity are filled in here).
    using Describe = std::function<StoredResult()>;

    StoreAppender(ResultAppender& sheet, ResultsStore& store, Describe describe);

    bool AppendResult(const QStringList& fields) override;
    QString appendFailureNote() const override { return m_sheet.appendFailureNote(); }

private:
    ResultAppender& m_sheet;
    ResultsStore& m_store;
    Describe m_describe;
};
