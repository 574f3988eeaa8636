#include "store/StoreAppender.h"

#include "store/ResultIdentity.h"
#include "store/ResultsStore.h"

#include <QDateTime>

StoreAppender::StoreAppender(ResultAppender& sheet, ResultsStore& store, Describe describe)
    : m_sheet(sheet), m_store(store), m_describe(std::move(describe)) {}

bool StoreAppender::AppendResult(const QStringList& fields) {
    // The data file first: it is the record of the test; the store follows it.
    const bool onDisc = m_sheet.AppendResult(fields);
    StoredResult result = m_describe ? m_describe() : StoredResult();
    // A row the grid holds but the file missed goes to the store as well: the next write of the
    // file takes it in too.
    if (!result.dataFile.isEmpty()) {
        // Named by its row, so a store rebuilt from the data file or the lab database names it alike.
        result.uuid = ResultIdentity::of(fields);
        result.fields = fields;
        result.origin = QStringLiteral("test");
        result.recordedUtc = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
        m_store.resultAppended(result);
    }
    return onDisc;
}
