#pragma once

#include <QString>
#include <array>

class Datasheet;
class Operator;
struct Parameters;

// A rectangle of the grid: model rows and grid columns (0 to 17), corners in any order.
struct GridBlock {
    int row1 = 0, column1 = 1, row2 = 0, column2 = 1;
    int top() const { return qMin(row1, row2); }
    int bottom() const { return qMax(row1, row2); }
    int left() const { return qMin(column1, column2); }
    int right() const { return qMax(column1, column2); }
};

// What the operator does to the datasheet besides reading and recording: deleting a row, sorting,
// hiding and fitting columns, and getting data out to the clipboard or a file.
class DatasheetCommands {
public:
    enum class Kind { Whole, Visible, Selection };
    static constexpr int UnhideBelow = 20; // twips
    static constexpr int UnhiddenWidth = 100;

    DatasheetCommands(Datasheet& sheet, Operator& op, Parameters& params);

    // Deletes the result row shown at model row `row`, after both questions.
    void DeleteRow(int row);
    // Sorts by grid column 0 to 17; the same column again reverses the direction. False when
    // nothing was sorted.
    bool SortDatasheet(int column);
    int sortedColumn() const { return m_sortColumn; }
    // The rows are no longer in a sort's order (a row added at the end, another file read): the
    // next sort of any column starts ascending.
    void ClearSort() {
        m_sortColumn = -1;
        m_descending = false;
    }
    bool sortedDescending() const { return m_descending; }

    void HideColumn(int column);
    void UnhideAllColumns();

    // The text an export writes (every line ending in CR LF).
    QString ExportText(Kind kind, const QString& delimiter, bool header, const GridBlock& selection) const;
    // Every export, copy and "Save data file": a tab sends the text to the clipboard, a comma to a file.
    void ExportDatasheet(Kind kind, const QString& delimiter, bool header, bool saveAs, bool cancelAllowed,
                         const GridBlock& selection = {});
    // "Save data file": the whole datasheet under a new name, which becomes the data file.
    void SaveAs();

    // Copy special: up to five columns (1 to 17, 0 for nothing) of all rows or of model rows
    // first..last, tab-separated, onto the clipboard; the choices are stored. False when nothing was copied.
    QString CopySpecialText(const std::array<int, 5>& columns, int first, int last) const;
    bool CopySpecial(const std::array<int, 5>& columns, bool allRows, int first, int last);

    // The check mark of "include column Headers".
    bool includeHeaders() const { return m_headers; }
    void setIncludeHeaders(bool on) { m_headers = on; }

private:
    void sortRows(int column);

    Datasheet& m_sheet;
    Operator& m_op;
    Parameters& m_params;
    int m_sortColumn = -1;
    bool m_descending = false;
    bool m_headers = false;
};
