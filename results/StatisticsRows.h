#pragma once

#include <QItemSelection>
#include <QList>
#include <QStringList>

class DatasheetModel;

// The rows the statistics are taken over, as their 17 fields: the selected rows when the selection
// spans more than one row, otherwise every row of the datasheet.
QList<QStringList> StatisticsRows(const DatasheetModel& model, const QItemSelection& selection);
