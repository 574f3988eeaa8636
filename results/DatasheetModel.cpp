#include "results/DatasheetModel.h"

#include "results/DataLine.h"
#include "results/DatasheetTexts.h"
#include "results/TextWidth.h"

#include <algorithm>
#include <numeric>

DatasheetModel::DatasheetModel(QObject* parent) : QAbstractTableModel(parent) {}

int DatasheetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows();
}

int DatasheetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : DataRow::Fields;
}

QString DatasheetModel::cell(int i, int column) const {
    if (i < 0 || i >= rows())
        return {};
    if (column == 0)
        return QString::number(m_rows[size_t(i)].number());
    return m_rows[size_t(i)].field(column);
}

QVariant DatasheetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows())
        return {};
    const int column = index.column() + 1;
    if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole) {
        const QString text = m_rows[size_t(index.row())].field(column);
        if (role == Qt::ToolTipRole)
            return text.size() > 40 ? QVariant(text.left(ShownLength)) : QVariant();
        return text.left(ShownLength);
    }
    if (role == Qt::TextAlignmentRole) {
        const bool left = column == DataLine::CommentsColumn || column == DataLine::ParameterColumn;
        return QVariant::fromValue(Qt::AlignVCenter | (left ? Qt::AlignLeft : Qt::AlignRight));
    }
    return {};
}

QVariant DatasheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole && section >= 0 && section < DataRow::Fields)
            return DataLine::Titles()[size_t(section + 1)];
        if (role == Qt::ToolTipRole && section >= 0 && section < DataRow::Fields)
            return section == m_sortSection ? DataLine::TitleTips()[size_t(section + 1)] +
                                                  (m_sortDescending ? DatasheetTexts::SortedDescending
                                                                    : DatasheetTexts::SortedAscending)
                                            : DataLine::TitleTips()[size_t(section + 1)];
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignCenter);
        return {};
    }
    if (role == Qt::ToolTipRole)
        return DataLine::TitleTips()[0];
    if (role == Qt::DisplayRole && section >= 0 && section < rows())
        return m_rows[size_t(section)].number();
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | Qt::AlignRight);
    return {};
}

void DatasheetModel::setSortMark(int section, bool descending) {
    m_sortSection = section;
    m_sortDescending = descending;
    emit headerDataChanged(Qt::Horizontal, 0, DataRow::Fields - 1);
}

void DatasheetModel::setRows(std::vector<DataRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    invalidateWidths();
    endResetModel();
}

void DatasheetModel::appendRow(DataRow row) {
    const int i = rows();
    beginInsertRows({}, i, i);
    m_rows.push_back(std::move(row));
    if (m_widestValid) {
        const TextWidth measure(m_widestFont);
        const DataRow& added = m_rows.back();
        m_widest[0] = std::max(m_widest[0], measure(QString::number(added.number())));
        for (int c = 1; c < DataLine::Columns; ++c)
            m_widest[size_t(c)] = std::max(m_widest[size_t(c)], measure(added, c));
    }
    endInsertRows();
}

void DatasheetModel::setCell(int i, int column, const QString& text) {
    if (i < 0 || i >= rows() || column < 1 || column > DataRow::Fields)
        return;
    m_rows[size_t(i)].setField(column, text);
    invalidateWidths();
    const QModelIndex at = index(i, column - 1);
    emit dataChanged(at, at);
}

void DatasheetModel::removeRowAt(int i) {
    if (i < 0 || i >= rows())
        return;
    beginRemoveRows({}, i, i);
    m_rows.erase(m_rows.begin() + i);
    invalidateWidths();
    endRemoveRows();
}

void DatasheetModel::reorder(const std::vector<int>& order) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> newPlace(m_rows.size());
    for (size_t to = 0; to < order.size(); ++to)
        newPlace[size_t(order[to])] = int(to);
    std::vector<DataRow> sorted;
    sorted.reserve(m_rows.size());
    for (int from : order)
        sorted.push_back(std::move(m_rows[size_t(from)]));
    m_rows = std::move(sorted);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& p : before)
        after.append(index(newPlace[size_t(p.row())], p.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<int> DatasheetModel::fileOrder() const {
    std::vector<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return m_rows[size_t(a)].number() < m_rows[size_t(b)].number();
    });
    return order;
}

void DatasheetModel::measureAll(const QFont& font) {
    const TextWidth measure(font);
    for (int c = 0; c < DataLine::Columns; ++c)
        m_widest[size_t(c)] = measure(DataLine::Titles()[size_t(c)]);
    int largest = 0;
    for (const DataRow& r : m_rows) {
        largest = std::max(largest, r.number());
        for (int c = 1; c < DataLine::Columns; ++c)
            m_widest[size_t(c)] = std::max(m_widest[size_t(c)], measure(r, c));
    }
    if (!m_rows.empty())
        m_widest[0] = std::max(m_widest[0], measure(QString::number(largest)));
    m_widestFont = font;
    m_widestValid = true;
}

int DatasheetModel::widestText(int column, const QFont& font) {
    if (column < 0 || column >= DataLine::Columns)
        return 0;
    if (!m_widestValid || font != m_widestFont)
        measureAll(font);
    return m_widest[size_t(column)];
}
