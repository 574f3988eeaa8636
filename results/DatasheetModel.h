#pragma once

#include "results/DataRow.h"

#include <QAbstractTableModel>
#include <QFont>
#include <array>
#include <optional>
#include <vector>

// The result rows of the datasheet as the grid shows them. The grid's column c (1 to 17) is the
// model's column c - 1; the row number (column 0) is the vertical header. Grid row 0 is the
// horizontal header; the grid's hidden placeholder row 1 has no model row, so grid row r is model
// row r - 2.
class DatasheetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // A cell shows at most this much of a very long text; the row keeps all of it.
    static constexpr int ShownLength = 2000;

    explicit DatasheetModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int rows() const { return int(m_rows.size()); }
    const DataRow& row(int i) const { return m_rows[size_t(i)]; }
    const std::vector<DataRow>& allRows() const { return m_rows; }
    // The text of grid column 0 to 17 of model row i.
    QString cell(int i, int column) const;

    void setRows(std::vector<DataRow> rows);
    void appendRow(DataRow row);
    void setCell(int i, int column, const QString& text);
    void removeRowAt(int i);
    // Rows in the order the grid is to show them (a permutation of 0..rows-1).
    void reorder(const std::vector<int>& order);
    // Model rows sorted by row number: the data file's order.
    std::vector<int> fileOrder() const;

    // Widest text of grid column c (header included), in pixels of the given font.
    int widestText(int column, const QFont& font);

    // The column (0 to 16) the rows are sorted by, or -1: its header's tip says so in words, since
    // the styles draw the arrow either way round.
    void setSortMark(int section, bool descending);

private:
    void invalidateWidths() { m_widestValid = false; }
    void measureAll(const QFont& font);

    std::vector<DataRow> m_rows;
    int m_sortSection = -1;
    bool m_sortDescending = false;
    std::array<int, 18> m_widest{};
    bool m_widestValid = false;
    QFont m_widestFont;
};
