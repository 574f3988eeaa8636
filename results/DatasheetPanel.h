#pragma once

#include <functional>

#include "results/DatasheetCommands.h"

#include <QWidget>
#include <memory>

class Datasheet;
class Operator;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class frmExport;
class grdResults;
struct Parameters;

// The datasheet's part of the main window: the data file buttons and label above the grid, the grid
// itself, the "Data sheet" menu (also the grid's right-click menu), the "Export data" menu and
// "Copy Special". It displays and forwards to the datasheet and its commands.
class DatasheetPanel : public QWidget {
    Q_OBJECT
public:
    DatasheetPanel(Datasheet& sheet, DatasheetCommands& commands, Operator& op, Parameters& params,
                   QWidget* parent = nullptr);
    ~DatasheetPanel() override;

    grdResults* grid() const { return m_grid; }
    QList<QPushButton*> buttons() const;
    // Fills the main window's menus; copySpecial is the menu bar's own "Copy Special" entry.
    void fillMenus(QMenu* dataSheet, QMenu* exportData, QAction* copySpecial);

    // Shows the data file name in lblDataFile, shortened to its width with the full name as tool tip.
    void DisplayDataFileName();

    // The right button on the grid: remembers the place, relabels the menu and pops it up (unless
    // popup is false, for tests and keyboards).
    void RightClick(int row, int column, const QPoint& globalPos, bool popup = true);
    QMenu* popupMenu() const { return mnuGrid; }

    void ShowExport();
    // The export offered when a result could not be written to the data file: the whole datasheet
    // to a file, column names included, so that the file opens as a data file.
    void ShowRescueExport();
    void ShowCopySpecial();
    // Copies the selection to the clipboard as Ctrl+C does (with its two beeps).
    void CopySelection();
    void Sort(int column);
    // The grid's header shows the column the rows are sorted by and the direction; nothing when
    // they are in the data file's order.
    void ShowSortIndicator();

    // Whether a result row (model index) has a load/time record to show; none by default.
    void setPlotsAvailable(std::function<bool(int row)> available) {
        m_plotsAvailable = std::move(available);
    }
    bool plotsAvailable(int row) const;
    // The row numbers' double click: the row's load/time plots where it has them, else sorting by
    // row number as before.
    void RowNumberDoubleClick(int row);

signals:
    // Commands that end by moving the main window's focus on.
    void focusOnRequested();
    // "Show load/time plots" for a result row (model index).
    void plotsRequested(int row);
    // "Audit trail" of a result row (model index).
    void trailRequested(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QAction* entry(QMenu* menu, const char* name, const QString& caption);
    void exportFromMenu(DatasheetCommands::Kind kind, const QString& delimiter);
    frmExport& exportWindow();

    Datasheet& m_sheet;
    DatasheetCommands& m_commands;
    Operator& m_op;
    Parameters& m_params;
    grdResults* m_grid = nullptr;
    QPushButton* cmdDataFile = nullptr;
    QPushButton* cmdSaveAs = nullptr;
    QPushButton* cmdExport = nullptr;
    QLabel* lblDataFile = nullptr;
    QMenu* mnuGrid = nullptr;
    QAction* mnuGridCopy = nullptr;
    QAction* mnuGridComment = nullptr;
    QAction* mnuGridSort = nullptr;
    QAction* mnuGridHide = nullptr;
    QAction* mnuGridFit = nullptr;
    QAction* mnuGridDel = nullptr;
    QAction* mnuGridPlots = nullptr;
    QAction* mnuGridTrail = nullptr;
    std::function<bool(int)> m_plotsAvailable;
    QAction* mnuDataHeaders = nullptr;
    std::unique_ptr<frmExport> m_export;
    int m_rightRow = -1;
    int m_rightColumn = 1;
    int m_copyRows = 0; // the copy-special row choice, kept while the program runs
    bool m_showingSort = false;
};
