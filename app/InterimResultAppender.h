#pragma once

#include "results/ResultAppender.h"

#include <QString>
#include <functional>

// Stands in for the datasheet until it is wired in: appends each result row as one comma-separated
// line (CR LF) to the data file the parameters name. To be replaced by the datasheet itself.
class InterimResultAppender : public ResultAppender {
public:
    explicit InterimResultAppender(std::function<QString()> fileName) : m_fileName(std::move(fileName)) {}
    bool AppendResult(const QStringList& fields) override;

private:
    std::function<QString()> m_fileName;
};
