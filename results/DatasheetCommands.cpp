#include "results/DatasheetCommands.h"

#include "base/Operator.h"
#include "params/Cp1252.h"
#include "params/Parameters.h"
#include "results/DataLine.h"
#include "results/Datasheet.h"
#include "results/DatasheetTexts.h"
#include "results/SafeReplace.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>
#include <numeric>
#include <vector>

namespace T = DatasheetTexts;

namespace {
const QString CrLf = QStringLiteral("\r\n");

void toClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

// One sort key of a cell under the comparison of the numeric columns.
struct NumericKey {
    bool number;
    double value;
    QString text; // only for a cell that is no number
};
} // namespace

DatasheetCommands::DatasheetCommands(Datasheet& sheet, Operator& op, Parameters& params)
    : m_sheet(sheet), m_op(op), m_params(params) {}

// ---- Deleting a row ---------------------------------------------------------------------------

void DatasheetCommands::DeleteRow(int row) {
    DatasheetModel& model = m_sheet.model();
    if (row < 0 || row >= model.rows())
        return;
    const int n = model.row(row).number();
    MyMsgBoxRequest ask;
    ask.prompt = T::DeleteWarning + QString::number(n) + QStringLiteral("?");
    ask.buttons = {T::Yes, T::No, QString(), QString()};
    ask.icons = MsgStyle::Critical;
    ask.title = T::DeleteRowTitle;
    ask.focusButton = 2;
    if (m_op.myMsgBox(ask) != 1)
        return;

    int found = -1;
    for (int i = 0; i < model.rows(); ++i)
        if (model.row(i).number() == n)
            found = i;
    if (found < 0) {
        m_op.msgBox(T::RowNotFound, MsgStyle::OkOnly | MsgStyle::Exclamation, T::BugTitle);
        return;
    }

    MyMsgBoxRequest confirm;
    confirm.prompt = T::RowWord + QString::number(n) + T::RowContains + T::Cr + T::Cr +
                     m_sheet.RowToLine(found, QStringLiteral(", ")) + T::Cr + T::Cr + T::ConfirmDelete;
    confirm.buttons = {T::CancelButton, T::ConfirmButton, QString(), QString()};
    confirm.icons = MsgStyle::Exclamation;
    confirm.title = T::DeleteRowTitle;
    confirm.focusButton = 1;
    if (m_op.myMsgBox(confirm) != 2)
        return;

    const QString line = DataLine::FileLine(model.row(found));
    const int place = m_sheet.fileRowNumber(n);
    if (!m_sheet.askReason(place, QStringLiteral("row deleted")))
        return;
    model.removeRowAt(found);
    std::vector<DataRow> rows = model.allRows();
    for (DataRow& r : rows)
        if (r.number() > n)
            r.setNumber(r.number() - 1);
    model.setRows(std::move(rows));
    m_sheet.rowRemoved(n);
    m_sheet.RewriteDataFile();
    emit m_sheet.rowDeleted(place, line);
}

// ---- Sorting ----------------------------------------------------------------------------------

bool DatasheetCommands::SortDatasheet(int column) {
    if (m_sheet.resultRows() == 0 || column < 0 || column >= DataLine::Columns)
        return false;
    m_descending = column == m_sortColumn ? !m_descending : false;
    m_sortColumn = column;
    try {
        sortRows(column);
    } catch (const std::exception& e) {
        m_op.beep();
        m_op.msgBox(T::SortError + QStringLiteral("7 in SortDatasheet: ") + QString::fromLocal8Bit(e.what()),
                    MsgStyle::OkOnly, T::SortErrorTitle);
        return false;
    }
    return true;
}

void DatasheetCommands::sortRows(int column) {
    const DatasheetModel& model = m_sheet.model();
    const int n = model.rows();
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    const bool down = m_descending;
    if (column <= DataLine::LastNumericColumn) {
        std::vector<NumericKey> keys(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            const DataRow& r = model.row(i);
            if (column == 0) {
                keys[size_t(i)] = {true, double(r.number()), {}};
                continue;
            }
            const auto value = DataLine::Number(r, column);
            keys[size_t(i)] = {value.has_value(), value.value_or(0), value ? QString() : r.field(column)};
        }
        // Numbers come first in both directions; equal keys keep their order.
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const NumericKey& x = keys[size_t(a)];
            const NumericKey& y = keys[size_t(b)];
            if (x.number != y.number)
                return x.number;
            if (x.number)
                return down ? x.value > y.value : x.value < y.value;
            const int c = x.text.compare(y.text, Qt::CaseSensitive);
            return down ? c > 0 : c < 0;
        });
    } else {
        // The date sorts with the time as its second key.
        const bool withTime = column == DataLine::DateColumn;
        // Each cell is turned into text once, not at every comparison.
        std::vector<QString> keys(static_cast<size_t>(n)), times(withTime ? static_cast<size_t>(n) : 0);
        for (int i = 0; i < n; ++i) {
            keys[size_t(i)] = model.row(i).field(column);
            if (withTime)
                times[size_t(i)] = model.row(i).field(DataLine::TimeColumn);
        }
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            int c = keys[size_t(a)].compare(keys[size_t(b)], Qt::CaseInsensitive);
            if (c == 0 && withTime)
                c = times[size_t(a)].compare(times[size_t(b)], Qt::CaseInsensitive);
            return down ? c > 0 : c < 0;
        });
    }
    m_sheet.model().reorder(order);
}

// ---- Hiding and fitting -----------------------------------------------------------------------

void DatasheetCommands::HideColumn(int column) {
    m_sheet.setColumnWidth(column, 0);
}

void DatasheetCommands::UnhideAllColumns() {
    for (int c = 0; c < DataLine::Columns; ++c)
        if (m_sheet.columnWidth(c) < UnhideBelow)
            m_sheet.setColumnWidth(c, UnhiddenWidth);
    m_sheet.AutoFitColumns(-1, true);
    m_sheet.AutoFitColumns(-1, false);
}

// ---- Exporting --------------------------------------------------------------------------------

QString DatasheetCommands::ExportText(Kind kind, const QString& delimiter, bool header,
                                      const GridBlock& selection) const {
    int top = 0, bottom = m_sheet.resultRows() - 1, left = 1, right = DataLine::Columns - 1;
    if (kind == Kind::Selection) {
        top = selection.top();
        bottom = qMin(selection.bottom(), m_sheet.resultRows() - 1);
        left = selection.left();
        right = selection.right();
    }
    std::vector<int> columns;
    for (int c = left; c <= right; ++c)
        if (kind == Kind::Whole || !m_sheet.isHidden(c))
            columns.push_back(c);

    QString text;
    auto addRow = [&](int row) {
        const auto fields = m_sheet.grd2arr(row, delimiter, QString());
        if (!fields)
            return;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i > 0)
                text += delimiter;
            // The row number column has no field of its own.
            if (columns[i] > 0)
                text += fields->at(columns[i] - 1);
        }
        text += CrLf;
    };
    if (header)
        addRow(-1);
    for (int row = qMax(0, top); row <= bottom; ++row)
        addRow(row);
    return text;
}

void DatasheetCommands::ExportDatasheet(Kind kind, const QString& delimiter, bool header, bool saveAs,
                                        bool cancelAllowed, const GridBlock& selection) {
    QString delim = delimiter;
    if (saveAs) {
        delim = QStringLiteral(",");
        header = true;
    } else if (m_sheet.resultRows() == 0) {
        m_op.msgBox(T::NoData, MsgStyle::OkOnly, T::EmptyTitle);
        return;
    }
    const QString text = ExportText(kind, delim, header, selection);
    if (delim == QStringLiteral("\t")) {
        toClipboard(text);
        return;
    }

    QString name;
    for (;;) {
        FileDialogRequest request;
        request.title = saveAs ? T::SaveAsTitle : T::ExportTitle;
        request.filter = T::DataFileFilter;
        // An export is comma separated values: a name typed without an extension gets ".csv".
        request.filterIndex = saveAs ? 0 : 1;
        request.initialFolder = m_sheet.dataFolder();
        request.confirmOverwrite = true;
        request.refuseReadOnly = true;
        name = m_op.saveFileName(request);
        if (name.isEmpty()) {
            if (cancelAllowed)
                return;
            MyMsgBoxRequest notSaved;
            notSaved.prompt = T::NotSaved;
            notSaved.buttons[0] = T::Ok;
            notSaved.icons = MsgStyle::Critical;
            notSaved.title = T::NotSavedTitle;
            m_op.myMsgBox(notSaved);
            if (!m_op.watched())
                return;
            continue;
        }
        // The dialog refuses these too, but the file may have changed since; a replace by rename
        // would get past its protection.
        if (SafeReplace::ReadOnly(name)) {
            m_op.msgBox(name + T::ReadOnlyTarget, MsgStyle::OkOnly | MsgStyle::Exclamation,
                        saveAs ? T::SaveAsTitle : T::ExportTitle);
            if (!m_op.watched())
                return;
            continue;
        }
        break;
    }
    // An export of some columns over the data file in use would leave it unreadable for later
    // results, under whatever name it is reached (a link, another hard link, another letter case).
    if (!saveAs && m_sheet.hasDataFile() && SafeReplace::SameFile(name, m_sheet.dataFileName())) {
        m_op.msgBox(T::ExportOverDataFile, MsgStyle::OkOnly | MsgStyle::Exclamation, T::ExportErrorTitle);
        return;
    }
    QByteArray bytes = Cp1252::encode(text);
    // The lines of a data file read only in part go along, after every row, as they are.
    if (saveAs)
        bytes += m_sheet.unreadTail();
    if (const auto fault = SafeReplace::WriteWhole(name, bytes)) {
        m_op.msgBox(QStringLiteral("Error ") + QString::number(fault->number) + QStringLiteral(": ") +
                        fault->description + T::Cr + T::ExportErrorTail,
                    MsgStyle::OkOnly | MsgStyle::Exclamation, T::ExportErrorTitle);
        return;
    }
    if (saveAs) {
        m_sheet.useDataFile(name);
        // Say where the next results go, so that nobody looks for them in the old file.
        m_op.msgBox(T::SavedBefore + name + T::SavedAfter, MsgStyle::OkOnly | MsgStyle::Information,
                    T::SavedTitle);
    }
}

void DatasheetCommands::SaveAs() {
    // All 17 columns, hidden ones too, so that later results and rewrites match the file's header.
    ExportDatasheet(Kind::Whole, QStringLiteral(","), true, true, true);
}

// ---- Copy special -----------------------------------------------------------------------------

QString DatasheetCommands::CopySpecialText(const std::array<int, 5>& columns, int first, int last) const {
    int count = 0;
    for (int i = 0; i < 5; ++i)
        if (columns[size_t(i)] > 0)
            count = i + 1;
    if (count == 0)
        return {};
    const DatasheetModel& model = m_sheet.model();
    QString text;
    for (int row = qMax(0, first); row <= qMin(last, model.rows() - 1); ++row) {
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                text += QLatin1Char('\t');
            if (columns[size_t(i)] > 0)
                text += model.row(row).field(columns[size_t(i)]);
        }
        text += CrLf;
    }
    return text;
}

bool DatasheetCommands::CopySpecial(const std::array<int, 5>& columns, bool allRows, int first, int last) {
    if (allRows) {
        first = 0;
        last = m_sheet.resultRows() - 1;
    } else if (first > last) {
        std::swap(first, last);
    }
    m_params.CopySpecialColumn1 = qint16(columns[0]);
    m_params.CopySpecialColumn2 = qint16(columns[1]);
    m_params.CopySpecialColumn3 = qint16(columns[2]);
    m_params.CopySpecialColumn4 = qint16(columns[3]);
    m_params.CopySpecialColumn5 = qint16(columns[4]);
    if (std::all_of(columns.begin(), columns.end(), [](int c) { return c <= 0; })) {
        m_op.msgBox(T::NoColumns, MsgStyle::OkOnly | MsgStyle::Exclamation, T::NoColumnsTitle);
        return false;
    }
    toClipboard(CopySpecialText(columns, first, last));
    m_op.msgBox(T::Copied, MsgStyle::OkOnly | MsgStyle::Information, T::CopiedTitle);
    return true;
}
