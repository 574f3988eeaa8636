#include "results/StatisticsRows.h"

#include "results/DatasheetModel.h"

#include <set>

QList<QStringList> StatisticsRows(const DatasheetModel& model, const QItemSelection& selection) {
    std::set<int> selected;
    for (const QItemSelectionRange& range : selection)
        for (int r = range.top(); r <= range.bottom(); ++r)
            if (r >= 0 && r < model.rows())
                selected.insert(r);
    QList<QStringList> rows;
    if (selected.size() > 1) {
        for (int r : selected)
            rows.append(model.row(r).fields());
    } else {
        rows.reserve(model.rows());
        for (const DataRow& row : model.allRows())
            rows.append(row.fields());
    }
    return rows;
}
