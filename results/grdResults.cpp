#include "results/grdResults.h"

#include "base/Operator.h"
#include "base/Twips.h"
#include "results/DataLine.h"
#include "results/Datasheet.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QValidator>
#include <cmath>

namespace {
constexpr int EditorInset = 8; // twips

// Only what the data file can hold: Windows-1252 characters on one line.
class CommentValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return DataLine::FileCanHold(input) ? Acceptable : Invalid;
    }
};
} // namespace

grdResults::grdResults(Datasheet& sheet, Operator& op, QWidget* parent)
    : QTableView(parent), m_sheet(sheet), m_op(op) {
    setObjectName(QStringLiteral("grdResults"));
    setModel(&sheet.model());
    setEditTriggers(NoEditTriggers);
    setSelectionMode(ContiguousSelection);
    setSelectionBehavior(SelectItems);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollMode(ScrollPerPixel);
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);
    rows->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->installEventFilter(this);
    rows->installEventFilter(this);
    horizontalHeader()->viewport()->installEventFilter(this);
    rows->viewport()->installEventFilter(this);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] { m_showLast = false; });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) { columnResized(section + 1, size); });

    txtEdit = new QLineEdit(viewport());
    txtEdit->setObjectName(QStringLiteral("txtEdit"));
    txtEdit->setText(QStringLiteral("for comment editing"));
    txtEdit->setValidator(new CommentValidator(txtEdit));
    txtEdit->installEventFilter(this);
    txtEdit->hide();
    connect(txtEdit, &QLineEdit::inputRejected, this, [this] { m_op.beep(); });

    connect(&sheet, &Datasheet::widthsChanged, this, &grdResults::applyWidths);
    connect(&sheet, &Datasheet::scrollToLastRow, this, &grdResults::scrollToLastRow);
    connect(&sheet.model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] { cancelEdit(); });
    connect(&sheet.model(), &QAbstractItemModel::modelReset, this, &grdResults::fitRowNumbers);
    connect(&sheet.model(), &QAbstractItemModel::rowsInserted, this, &grdResults::fitRowNumbers);
    sheet.setFont(font());
    applyWidths();
}

// ---- Widths and scrolling ---------------------------------------------------------------------

void grdResults::fitRowNumbers() {
    // The column's width, or more when the last row's number needs it (a file of 100,000 rows).
    const QString widest = QString::number(std::max(1, model() != nullptr ? model()->rowCount() : 0));
    const int needed = verticalHeader()->fontMetrics().horizontalAdvance(widest) + 12;
    verticalHeader()->setFixedWidth(std::max(twipsToPixels(m_sheet.columnWidth(0)), needed));
}

void grdResults::applyWidths() {
    m_applying = true;
    verticalHeader()->setVisible(!m_sheet.isHidden(0));
    fitRowNumbers();
    for (int c = 1; c < Datasheet::Columns; ++c) {
        const bool hidden = m_sheet.isHidden(c);
        setColumnHidden(c - 1, hidden);
        if (!hidden)
            setColumnWidth(c - 1, twipsToPixels(m_sheet.columnWidth(c)));
    }
    m_applying = false;
    if (editing())
        placeEditor();
}

void grdResults::columnResized(int column, int pixels) {
    if (m_applying || pixels == 0)
        return;
    m_sheet.setColumnWidth(column, int(std::lround(pixelsToTwips(pixels))), true);
}

void grdResults::scrollToLastRow() {
    m_showLast = true;
    // The view lays new rows out later; without their room the scroll stops short of the last row.
    updateGeometries();
    const int last = model()->rowCount() - 1;
    if (last >= 0) {
        scrollTo(model()->index(last, 0), PositionAtTop);
        if (!editing())
            selectionModel()->setCurrentIndex(model()->index(last, 0), QItemSelectionModel::ClearAndSelect);
    }
    horizontalScrollBar()->setValue(0);
}

// ---- Selection --------------------------------------------------------------------------------

GridBlock grdResults::selectedBlock() const {
    GridBlock block;
    const QModelIndex current = currentIndex();
    const QItemSelection selection = selectionModel() ? selectionModel()->selection() : QItemSelection();
    if (!selection.isEmpty()) {
        const QItemSelectionRange& range = selection.first();
        block.row1 = range.top();
        block.row2 = range.bottom();
        block.column1 = range.left() + 1;
        block.column2 = range.right() + 1;
    } else if (current.isValid()) {
        block.row1 = block.row2 = current.row();
        block.column1 = block.column2 = current.column() + 1;
    } else {
        block.row1 = block.row2 = -1;
    }
    return block;
}

void grdResults::selectCell(int row, int column) {
    if (row < 0 || row >= model()->rowCount() || column < 1)
        return;
    const QModelIndex at = model()->index(row, column - 1);
    selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
    scrollTo(at);
}

void grdResults::selectRowAt(int row, int column) {
    if (row < 0 || row >= model()->rowCount() || model()->columnCount() == 0)
        return;
    const QItemSelection whole(model()->index(row, 0), model()->index(row, model()->columnCount() - 1));
    selectionModel()->select(whole, QItemSelectionModel::ClearAndSelect);
    selectionModel()->setCurrentIndex(model()->index(row, qBound(0, column, model()->columnCount() - 1)),
                                      QItemSelectionModel::NoUpdate);
}

// ---- Comment editing --------------------------------------------------------------------------

bool grdResults::editing() const {
    return txtEdit != nullptr && !txtEdit->isHidden();
}

void grdResults::StartEdit(QChar key) {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || current.column() + 1 != DataLine::CommentsColumn)
        return;
    if (!editing()) {
        m_editing = current;
        m_before = m_sheet.model().cell(current.row(), DataLine::CommentsColumn);
    }
    if (key.unicode() > 32) {
        // What the file cannot hold is refused at once.
        if (!DataLine::FileCanHold(QString(key))) {
            m_op.beep();
            return;
        }
        txtEdit->setText(QString(key));
    } else {
        txtEdit->setText(m_sheet.model().cell(current.row(), DataLine::CommentsColumn));
    }
    txtEdit->setCursorPosition(int(txtEdit->text().size()));
    placeEditor();
    txtEdit->show();
    txtEdit->setFocus();
}

void grdResults::EditComment(int row) {
    if (row < 0 || row >= model()->rowCount())
        return;
    CommitEdit();
    selectCell(row, DataLine::CommentsColumn);
    StartEdit(QLatin1Char(' '));
}

void grdResults::placeEditor() {
    if (!m_editing.isValid())
        return;
    const QRect cell = visualRect(m_editing);
    const int inset = twipsToPixels(EditorInset);
    txtEdit->setGeometry(cell.left(), cell.top(), qMax(20, cell.width() - inset),
                         qMax(10, cell.height() - inset));
}

void grdResults::CommitEdit() {
    if (!editing())
        return;
    const QPersistentModelIndex at = m_editing;
    const QString text = txtEdit->text();
    const QString before = m_before;
    txtEdit->hide();
    m_editing = QPersistentModelIndex();
    if (at.isValid())
        m_sheet.SetComment(at.row(), text, before);
}

void grdResults::cancelEdit() {
    if (txtEdit != nullptr)
        txtEdit->hide();
    m_editing = QPersistentModelIndex();
}

// ---- Events -----------------------------------------------------------------------------------

void grdResults::keyPressEvent(QKeyEvent* event) {
    m_showLast = false;
    if (event->matches(QKeySequence::Copy) ||
        (event->key() == Qt::Key_C && (event->modifiers() & Qt::ControlModifier))) {
        emit copyRequested();
        return;
    }
    const QString text = event->text();
    const bool navigation = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (!text.isEmpty() && !navigation && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        StartEdit(text.at(0));
        return;
    }
    QTableView::keyPressEvent(event);
}

void grdResults::mousePressEvent(QMouseEvent* event) {
    m_showLast = false;
    if (event->button() == Qt::RightButton) {
        const QModelIndex at = indexAt(event->position().toPoint());
        CommitEdit();
        // The menu acts on what the operator sees selected: a click outside the selection selects
        // the row under the pointer first, so "Copy selection" and "Delete row" mean the same row.
        if (at.isValid() && !selectionModel()->isSelected(at))
            selectRowAt(at.row(), at.column());
        // Empty grid space is no row and no column.
        emit rightClicked(at.isValid() ? at.row() : -1, at.isValid() ? at.column() + 1 : -1,
                          event->globalPosition().toPoint());
        return;
    }
    QTableView::mousePressEvent(event);
}

void grdResults::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    if (at.isValid() && at.column() + 1 == DataLine::CommentsColumn) {
        selectCell(at.row(), DataLine::CommentsColumn);
        StartEdit(QLatin1Char(' '));
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void grdResults::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    // The grid gets its size after a load at start-up: the last row is still to be in view.
    if (m_showLast)
        scrollToLastRow();
}

void grdResults::focusInEvent(QFocusEvent* event) {
    CommitEdit();
    QTableView::focusInEvent(event);
}

void grdResults::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (editing() && previous != current)
        CommitEdit();
    QTableView::currentChanged(current, previous);
}

bool grdResults::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtEdit && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        // The grid takes the focus before the editor hides: a focused editor that hides passes
        // the focus on as a Tab would, and the grid would move its current cell one to the right.
        case Qt::Key_Return:
        case Qt::Key_Enter:
            setFocus(Qt::OtherFocusReason); // the grid commits when it gets the focus
            CommitEdit();
            return true;
        case Qt::Key_Escape:
            m_editing = QPersistentModelIndex(); // nothing to commit when the grid takes the focus
            setFocus(Qt::OtherFocusReason);
            cancelEdit();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down: {
            const QModelIndex at = m_editing;
            setFocus(Qt::OtherFocusReason);
            CommitEdit();
            if (at.isValid()) {
                const int row = at.row() + (key->key() == Qt::Key_Up ? -1 : 1);
                if (row >= 0 && row < model()->rowCount())
                    selectCell(row, DataLine::CommentsColumn);
            }
            return true;
        }
        default:
            break;
        }
        return false;
    }
    // The header row and the row numbers: right button and double click.
    QHeaderView* header = nullptr;
    if (watched == horizontalHeader()->viewport())
        header = horizontalHeader();
    else if (watched == verticalHeader()->viewport())
        header = verticalHeader();
    if (header != nullptr &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const int section = header->logicalIndexAt(mouse->position().toPoint());
        const bool rowNumbers = header == verticalHeader();
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton) {
            CommitEdit();
            if (rowNumbers && section >= 0 && !selectionModel()->isRowSelected(section, QModelIndex()))
                selectRowAt(section, 0);
            if (rowNumbers)
                emit rightClicked(section, section >= 0 ? 0 : -1, mouse->globalPosition().toPoint());
            else
                emit rightClicked(-1, section >= 0 ? section + 1 : -1, mouse->globalPosition().toPoint());
            return true;
        }
        // Only the header row sorts; a row number is a cell outside the comments, so nothing.
        if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
            if (!rowNumbers && section >= 0)
                emit headerDoubleClicked(section + 1);
            else if (rowNumbers && section >= 0)
                emit rowNumberDoubleClicked(section);
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}
