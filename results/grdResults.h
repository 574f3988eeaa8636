#pragma once

#include "results/DatasheetCommands.h"

#include <QPersistentModelIndex>
#include <QTableView>

class Datasheet;
class Operator;
class QLineEdit;

// The datasheet grid: the rows of the datasheet, the row numbers in the fixed column at the left,
// column widths kept in twips by the datasheet, and the comment editor that floats over a comments cell.
class grdResults : public QTableView {
    Q_OBJECT
public:
    grdResults(Datasheet& sheet, Operator& op, QWidget* parent = nullptr);

    // The comment editor (txtEdit) and whether it is open.
    QLineEdit* editor() const { return txtEdit; }
    bool editing() const;
    // Starts editing the comments cell of the current row as a typed key would (MSHFlexGridEdit).
    void StartEdit(QChar key);
    // Starts editing the comments cell of a result row, cursor at the end.
    void EditComment(int row);
    // Puts the editor's text into the cell (rewriting the file when it changed) and closes it.
    void CommitEdit();

    // The block of the selection, or the current cell.
    GridBlock selectedBlock() const;
    // Makes one cell current and the selection that cell.
    void selectCell(int row, int column);
    // Selects the whole row, the current cell in it at the model's column.
    void selectRowAt(int row, int column);

    void fitRowNumbers();
    void applyWidths();
    void scrollToLastRow();

signals:
    // Right button on a cell, the header row (row -1) or the row numbers (column 0).
    void rightClicked(int row, int column, const QPoint& globalPos);
    void headerDoubleClicked(int column);
    void rowNumberDoubleClicked(int row);
    void copyRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cancelEdit();
    void placeEditor();
    void columnResized(int section, int newSize);

    Datasheet& m_sheet;
    Operator& m_op;
    QLineEdit* txtEdit = nullptr;
    QPersistentModelIndex m_editing;
    QString m_before; // the cell's text when editing began
    bool m_applying = false;
    bool m_showLast = false; // the last row stays in view until the operator scrolls or clicks
};
