#include "results/DatasheetPanel.h"

#include <QHeaderView>

#include "base/Operator.h"
#include "results/AnalysisExport.h"
#include "results/DataLine.h"
#include "results/Datasheet.h"
#include "results/DatasheetTexts.h"
#include "results/frmCopySpecial.h"
#include "results/frmExport.h"
#include "results/grdResults.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

namespace T = DatasheetTexts;

DatasheetPanel::DatasheetPanel(Datasheet& sheet, DatasheetCommands& commands, Operator& op,
                               Parameters& params, QWidget* parent)
    : QWidget(parent), m_sheet(sheet), m_commands(commands), m_op(op), m_params(params) {
    setObjectName(QStringLiteral("datasheetPanel"));
    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    cmdDataFile = button("cmdDataFile", QStringLiteral("&Open data file"));
    cmdSaveAs = button("cmdSaveAs", QStringLiteral("&Save data file"));
    cmdExport = button("cmdExport", QStringLiteral("E&xport data"));
    lblDataFile = new QLabel(this);
    lblDataFile->setObjectName(QStringLiteral("lblDataFile"));
    lblDataFile->setMinimumWidth(100);
    lblDataFile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblDataFile->installEventFilter(this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(cmdDataFile);
    layout->addWidget(cmdSaveAs);
    layout->addWidget(cmdExport);
    layout->addWidget(lblDataFile, 1);

    m_grid = new grdResults(sheet, op, this);
    m_grid->hide(); // the main window places it

    connect(cmdDataFile, &QPushButton::clicked, this, [this] {
        m_sheet.DataFileCommand();
        emit focusOnRequested();
        DisplayDataFileName();
    });
    connect(cmdSaveAs, &QPushButton::clicked, this, [this] { m_commands.SaveAs(); });
    connect(cmdExport, &QPushButton::clicked, this, [this] {
        ShowExport();
        emit focusOnRequested();
    });
    connect(&sheet, &Datasheet::dataFileChanged, this, &DatasheetPanel::DisplayDataFileName);
    connect(&sheet, &Datasheet::fileStateChanged, this, &DatasheetPanel::DisplayDataFileName);
    connect(m_grid, &grdResults::rightClicked, this,
            [this](int row, int column, const QPoint& at) { RightClick(row, column, at); });
    connect(m_grid, &grdResults::headerDoubleClicked, this, &DatasheetPanel::Sort);
    // A row appended after a sort stands at the end, out of the sort's order; another file comes
    // in its own order: the sort is cleared where the operator sees it.
    auto unsorted = [this] {
        m_commands.ClearSort();
        ShowSortIndicator();
    };
    connect(&sheet.model(), &QAbstractItemModel::rowsInserted, this, unsorted);
    connect(&sheet.model(), &QAbstractItemModel::modelReset, this, unsorted);
    // A click on a header would move the indicator without sorting anything.
    connect(m_grid->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, [this] {
        if (!m_showingSort)
            ShowSortIndicator();
    });
    connect(m_grid, &grdResults::rowNumberDoubleClicked, this, &DatasheetPanel::RowNumberDoubleClick);
    connect(m_grid, &grdResults::copyRequested, this, &DatasheetPanel::CopySelection);
}

DatasheetPanel::~DatasheetPanel() = default;

QList<QPushButton*> DatasheetPanel::buttons() const {
    return {cmdDataFile, cmdSaveAs, cmdExport};
}

QAction* DatasheetPanel::entry(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

void DatasheetPanel::fillMenus(QMenu* dataSheet, QMenu* exportData, QAction* copySpecial) {
    mnuGrid = dataSheet;
    mnuGridCopy = entry(dataSheet, "mnuGridCopy", QStringLiteral("&Copy selection to clipboard"));
    connect(mnuGridCopy, &QAction::triggered, this, [this] {
        m_commands.ExportDatasheet(DatasheetCommands::Kind::Selection, QStringLiteral("\t"), false, false,
                                   true, m_grid->selectedBlock());
    });
    connect(entry(dataSheet, "mnuGridCopySpecial", QStringLiteral("Copy S&pecial")), &QAction::triggered,
            this, &DatasheetPanel::ShowCopySpecial);
    mnuGridComment = entry(dataSheet, "mnuGridComment", QStringLiteral("&Edit comment"));
    connect(mnuGridComment, &QAction::triggered, this, [this] { m_grid->EditComment(m_rightRow); });
    mnuGridSort = entry(dataSheet, "mnuGridSort", QStringLiteral("&Sort column"));
    connect(mnuGridSort, &QAction::triggered, this, [this] { Sort(m_rightColumn); });
    mnuGridHide = entry(dataSheet, "mnuGridHide", QStringLiteral("&Hide column"));
    connect(mnuGridHide, &QAction::triggered, this, [this] { m_commands.HideColumn(m_rightColumn); });
    connect(entry(dataSheet, "mnuGridUnhide", QStringLiteral("&Unhide all columns")), &QAction::triggered,
            this, [this] {
                m_commands.UnhideAllColumns();
                emit focusOnRequested();
            });
    mnuGridFit = entry(dataSheet, "mnuGridFit", QStringLiteral("&Fit column widths"));
    connect(mnuGridFit, &QAction::triggered, this, [this] { m_sheet.AutoFitColumns(m_rightColumn, true); });
    connect(entry(dataSheet, "mnuGridFitAll", QStringLiteral("Fit all column &widths")), &QAction::triggered,
            this, [this] { m_sheet.AutoFitColumns(-1, true); });
    mnuGridDel = entry(dataSheet, "mnuGridDel", QStringLiteral("&Delete row"));
    connect(mnuGridDel, &QAction::triggered, this, [this] { m_commands.DeleteRow(m_rightRow); });
    mnuGridPlots = entry(dataSheet, "mnuGridPlots", QStringLiteral("Show load/time p&lots"));
    connect(mnuGridPlots, &QAction::triggered, this, [this] { emit plotsRequested(m_rightRow); });
    mnuGridTrail = entry(dataSheet, "mnuGridTrail", QStringLiteral("&Audit trail"));
    connect(mnuGridTrail, &QAction::triggered, this, [this] { emit trailRequested(m_rightRow); });
    mnuGridComment->setEnabled(false);
    mnuGridDel->setEnabled(false);
    mnuGridPlots->setEnabled(false);
    mnuGridTrail->setEnabled(false);

    using Kind = DatasheetCommands::Kind;
    const QString tab = QStringLiteral("\t"), comma = QStringLiteral(",");
    const std::array<std::tuple<const char*, QString, Kind, QString>, 6> exports{
        std::tuple{"mnuDataCopyAll", QStringLiteral("&Copy all data to clipboard"), Kind::Whole, tab},
        std::tuple{"mnuDataCopyVisible", QStringLiteral("Copy &visible columns to clipboard"), Kind::Visible,
                   tab},
        std::tuple{"mnuDataCopySelected", QStringLiteral("Copy &selected cells to clipboard"),
                   Kind::Selection, tab},
        std::tuple{"mnuDataFileAll", QStringLiteral("&Export all data to file"), Kind::Whole, comma},
        std::tuple{"mnuDataFileVisible", QStringLiteral("E&xport visible columns to file"), Kind::Visible,
                   comma},
        std::tuple{"mnuDataFileSelected", QStringLiteral("Ex&port selected cells"), Kind::Selection, comma},
    };
    for (const auto& [name, caption, kind, delimiter] : exports) {
        connect(entry(exportData, name, caption), &QAction::triggered, this,
                [this, kind = kind, delimiter = delimiter] { exportFromMenu(kind, delimiter); });
    }
    mnuDataHeaders = entry(exportData, "mnuDataHeaders", QStringLiteral("include column &Headers"));
    mnuDataHeaders->setCheckable(true);
    mnuDataHeaders->setChecked(m_commands.includeHeaders());
    connect(mnuDataHeaders, &QAction::toggled, this, [this](bool on) { m_commands.setIncludeHeaders(on); });

    if (copySpecial != nullptr)
        connect(copySpecial, &QAction::triggered, this, &DatasheetPanel::ShowCopySpecial);
}

void DatasheetPanel::exportFromMenu(DatasheetCommands::Kind kind, const QString& delimiter) {
    m_commands.ExportDatasheet(kind, delimiter, m_commands.includeHeaders(), false, true,
                               m_grid->selectedBlock());
}

void DatasheetPanel::RightClick(int row, int column, const QPoint& globalPos, bool popup) {
    m_rightRow = row;
    m_rightColumn = column;
    if (mnuGrid == nullptr)
        return;
    const bool result = row >= 0 && row < m_sheet.resultRows();
    const QString number = result ? QString::number(m_sheet.model().row(row).number()) : QString();
    // Empty grid space (column -1) names no column: the column entries keep their plain texts
    // and stay off.
    const bool onColumn = column >= 0 && column < Datasheet::Columns;
    const QString title =
        onColumn ? QStringLiteral(" \"") + DataLine::Titles()[size_t(column)] + QLatin1Char('"') : QString();
    mnuGridComment->setText(result ? QStringLiteral("&Edit comment for row ") + number
                                   : QStringLiteral("&Edit comment"));
    mnuGridSort->setText(QStringLiteral("&Sort column") + title);
    mnuGridHide->setText(QStringLiteral("&Hide column") + title);
    mnuGridFit->setText(QStringLiteral("&Fit width of column") + title);
    mnuGridDel->setText(QStringLiteral("&Delete row ") + number);
    mnuGridCopy->setEnabled(true);
    mnuGridComment->setEnabled(result);
    mnuGridDel->setEnabled(result);
    for (QAction* entry : {mnuGridSort, mnuGridHide, mnuGridFit})
        entry->setEnabled(onColumn);
    mnuGridPlots->setText(result ? QStringLiteral("Show load/time p&lots of row ") + number
                                 : QStringLiteral("Show load/time p&lots"));
    mnuGridPlots->setEnabled(result && plotsAvailable(row));
    mnuGridTrail->setText(result ? QStringLiteral("&Audit trail of row ") + number
                                 : QStringLiteral("&Audit trail"));
    mnuGridTrail->setEnabled(result);
    if (popup)
        mnuGrid->popup(globalPos);
}

bool DatasheetPanel::plotsAvailable(int row) const {
    return row >= 0 && row < m_sheet.resultRows() && m_plotsAvailable && m_plotsAvailable(row);
}

void DatasheetPanel::RowNumberDoubleClick(int row) {
    if (plotsAvailable(row))
        emit plotsRequested(row);
    else
        Sort(0);
}

void DatasheetPanel::Sort(int column) {
    m_grid->CommitEdit();
    if (m_commands.SortDatasheet(column)) {
        ShowSortIndicator();
        m_grid->selectCell(0, qMax(1, column));
    }
}

void DatasheetPanel::ShowSortIndicator() {
    QHeaderView* header = m_grid->horizontalHeader();
    const int column = m_commands.sortedColumn();
    m_showingSort = true;
    // Column 0 is the row number, the vertical header: no column title to mark.
    if (column >= 1) {
        header->setSortIndicator(column - 1,
                                 m_commands.sortedDescending() ? Qt::DescendingOrder : Qt::AscendingOrder);
        header->setSortIndicatorShown(true);
    } else {
        header->setSortIndicatorShown(false);
        header->setSortIndicator(-1, Qt::AscendingOrder);
    }
    m_showingSort = false;
    m_sheet.model().setSortMark(column >= 1 ? column - 1 : -1, m_commands.sortedDescending());
}

void DatasheetPanel::CopySelection() {
    m_commands.ExportDatasheet(DatasheetCommands::Kind::Selection, QStringLiteral("\t"), false, false, true,
                               m_grid->selectedBlock());
    m_op.beep();
    m_op.beep();
}

frmExport& DatasheetPanel::exportWindow() {
    if (!m_export) {
        m_export = std::make_unique<frmExport>(
            m_commands, [this] { return m_grid->selectedBlock(); }, window());
        m_export->setAnalysisExport([this](DatasheetCommands::Kind kind, const GridBlock& block) {
            return AnalysisExport(m_sheet, m_op).Run(kind, block);
        });
    }
    return *m_export;
}

void DatasheetPanel::ShowExport() {
    exportWindow().exec();
}

void DatasheetPanel::ShowRescueExport() {
    exportWindow().chooseRescue();
    m_export->exec();
}

void DatasheetPanel::ShowCopySpecial() {
    const GridBlock block = m_grid->selectedBlock();
    const bool any = block.top() >= 0 && m_sheet.resultRows() > 0;
    frmCopySpecial window(m_commands, m_params, any ? block.top() : -1, any ? block.bottom() : -1, m_copyRows,
                          this->window());
    window.exec();
}

void DatasheetPanel::DisplayDataFileName() {
    const QString name = m_sheet.dataFileName();
    // A datasheet that holds more than its file says so in front of the name, in red.
    const bool differs = m_sheet.differsFromFile() && !name.isEmpty();
    const QString mark = differs ? T::DiffersMark : QString();
    lblDataFile->setToolTip(differs ? T::DiffersTip + T::Cr + name : name);
    lblDataFile->setStyleSheet(differs ? QStringLiteral("color: #c00000;") : QString());
    lblDataFile->setText(
        mark + lblDataFile->fontMetrics().elidedText(name, Qt::ElideMiddle,
                                                     lblDataFile->width() -
                                                         lblDataFile->fontMetrics().horizontalAdvance(mark)));
}

void DatasheetPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    DisplayDataFileName();
}

bool DatasheetPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblDataFile && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        m_op.msgBox(T::FullPath + T::Cr + m_sheet.dataFileName(), MsgStyle::OkOnly | MsgStyle::Information);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
