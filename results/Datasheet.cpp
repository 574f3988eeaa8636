#include "results/Datasheet.h"

#include "base/Operator.h"
#include "base/ProductIdentity.h"
#include "base/Twips.h"
#include "params/NumberFormat.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "results/DatasheetTexts.h"
#include "results/SafeReplace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <cmath>
#include <limits>

namespace T = DatasheetTexts;

namespace {
QString mismatchText() {
    return QStringList{
        QStringLiteral("Header line in file did not match the correct headers."),
        QStringLiteral("This is usually a result of reading a data file written"),
        QStringLiteral("by an older version of ") + ProductIdentity::AppTitle + QStringLiteral("."),
        QString(),
        QStringLiteral("You can save the new header to the data file by clicking"),
        QStringLiteral("\"Save data file\" after the data are loaded."),
        QString(),
        QStringLiteral("The contents of the file header have been saved in the first row."),
        QStringLiteral("Do you want to keep this row?"),
    }
        .join(QLatin1Char('\r'));
}

QString faultText(const FileFault& fault, const QString& between) {
    return QStringLiteral("Error ") + QString::number(fault.number) + between + fault.description;
}
} // namespace

Datasheet::Datasheet(Operator& op, Parameters& params, ParameterTable& table, SettingsStore& settings,
                     QObject* parent)
    : QObject(parent), m_op(op), m_params(params), m_table(table), m_settings(settings) {
    m_widths.fill(DefaultWidth);
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        m_font = QGuiApplication::font();
}

// ---- Set-up and column widths -----------------------------------------------------------------

void Datasheet::SetupDatasheet() {
    m_model.setRows({});
    applyStoredWidths();
    readWidthsByHand();
    emit scrollToLastRow();
}

void Datasheet::applyStoredWidths() {
    // Runs of commas count as one separator.
    const QStringList items = m_params.GridColWidths.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (items.size() != Columns) {
        m_table.ResetParameter(QStringLiteral("GridColWidths"));
        m_op.msgBox(T::ResettingWidths);
    }
    // The widths read before the reset are the ones applied.
    for (int c = 0; c < Columns; ++c) {
        if (c < items.size()) {
            const auto value = toNumber(items.at(c));
            m_widths[size_t(c)] = value ? int(qBound(0.0, std::round(*value), 100000.0)) : 0;
        } else {
            m_widths[size_t(c)] = DefaultWidth;
            m_op.msgBox(T::WrongWidthCount + QString::number(Columns));
        }
    }
    emit widthsChanged();
}

void Datasheet::setColumnWidth(int column, int twips, bool byHand) {
    if (column < 0 || column >= Columns || m_widths[size_t(column)] == twips)
        return;
    m_widths[size_t(column)] = qMax(0, twips);
    if (byHand && !m_byHand[size_t(column)]) {
        m_byHand[size_t(column)] = true;
        storeWidthsByHand();
    }
    emit widthsChanged();
}

void Datasheet::readWidthsByHand() {
    m_byHand.fill(false);
    const QString text = m_settings.getText(ProductIdentity::AppTitle, WidthsByHandKey, QString());
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int c = item.trimmed().toInt(&ok);
        if (ok && c >= 0 && c < Columns)
            m_byHand[size_t(c)] = true;
    }
}

void Datasheet::storeWidthsByHand() {
    QStringList columns;
    for (int c = 0; c < Columns; ++c)
        if (m_byHand[size_t(c)])
            columns.append(QString::number(c));
    m_settings.saveText(ProductIdentity::AppTitle, WidthsByHandKey, columns.join(QLatin1Char(',')));
}

QString Datasheet::ColumnWidthsText() const {
    QStringList items;
    for (int w : m_widths)
        items.append(QString::number(w));
    return items.size() == Columns ? items.join(QLatin1Char(',')) : QString();
}

void Datasheet::FitUntouchedColumns() {
    // A width the operator never set by hand follows the titles and the contents.
    bool changed = false;
    for (int c = 0; c < Columns; ++c) {
        if (m_byHand[size_t(c)] || isHidden(c))
            continue;
        const int fitted =
            qBound(FitMinimum, int(std::lround(pixelsToTwips(m_model.widestText(c, m_font)))) + FitMargin,
                   FitMaximum);
        if (m_widths[size_t(c)] != fitted) {
            m_widths[size_t(c)] = fitted;
            changed = true;
        }
    }
    if (changed)
        emit widthsChanged();
}

void Datasheet::AutoFitColumns(int column, bool force) {
    const int first = column < 0 ? 0 : column;
    const int last = column < 0 ? Columns - 1 : column;
    bool changed = false;
    for (int c = first; c <= last && c < Columns; ++c) {
        if (isHidden(c))
            continue;
        const int fitted =
            qBound(FitMinimum, int(std::lround(pixelsToTwips(m_model.widestText(c, m_font)))) + FitMargin,
                   FitMaximum);
        int& width = m_widths[size_t(c)];
        // Fitting on request hands the column back to the fitting.
        if (force && m_byHand[size_t(c)]) {
            m_byHand[size_t(c)] = false;
            storeWidthsByHand();
        }
        if (force ? width != fitted : width < fitted) {
            width = fitted;
            changed = true;
        }
    }
    if (changed)
        emit widthsChanged();
}

// ---- Reading a data file ----------------------------------------------------------------------

bool Datasheet::file2grd(const QString& path) {
    const QString previous = m_fileName;
    if (load(path))
        return true;
    // "Select another data file" was the answer: the dialog, as the question promised. Only a
    // cancelled dialog brings the previous file back.
    if (m_chooseAnother) {
        m_chooseAnother = false;
        m_fileName = previous;
        const bool chosen = chooseDataFile();
        if (chosen)
            return false;
        m_fileName.clear();
    }
    // A file that could not be loaded leaves the grid empty; the grid must show the previous data
    // file again, or a later rewrite would empty that file. When even that fails, no file stays selected.
    const bool other = QFileInfo(previous).absoluteFilePath() != QFileInfo(path).absoluteFilePath();
    if (previous.isEmpty() || !other || !load(previous)) {
        m_fileName.clear();
        m_model.setRows({});
        finishLoad();
    }
    return false;
}

bool Datasheet::load(const QString& path) {
    m_model.setRows({});
    m_rowsNotInFile = 0;
    m_editsNotInFile = false;
    m_unreadTail.clear();
    m_tailRows.clear();
    m_rowsBeforeTail = 0;
    m_keptLines.clear();
    // What a rewrite killed half-way left beside the file is of no use to anyone.
    SafeReplace::RemoveStaleTemporaries(path);
    SafeReplace::RemoveStaleTemporaries(DataLine::BackupName(QFileInfo(path).absoluteFilePath()));
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
        QFile create(path);
        if (create.open(QIODevice::WriteOnly))
            create.close();
    }
    m_dataFolder = QFileInfo(path).absolutePath();

    const QStringList reasons = DataFile::Refusals(path);
    if (!reasons.isEmpty()) {
        QString text =
            T::NotAvailableBefore + QLatin1Char('"') + path + QLatin1Char('"') + T::Cr + T::NotAvailableAfter;
        for (const QString& r : reasons)
            text += T::Cr + r;
        m_op.msgBox(text, MsgStyle::OkOnly | MsgStyle::Exclamation, T::NotAvailableTitle);
        finishLoad();
        return false;
    }

    DataFileContents contents;
    std::optional<FileFault> fault = DataFile::Read(path, contents);
    if (!fault && !contents.notDataFile.isEmpty()) {
        // Rows of garbage, or another specimen's raw curve, must not become the data file.
        m_op.msgBox(T::NotAvailableBefore + QLatin1Char('"') + path + QLatin1Char('"') + T::Cr +
                        T::NotAvailableAfter + T::Cr + contents.notDataFile,
                    MsgStyle::OkOnly | MsgStyle::Exclamation, T::NotAvailableTitle);
        finishLoad();
        return false;
    }
    if (!fault && !contents.headerFound) {
        // A new or empty file gets the header line, after whatever notes it holds.
        QByteArray bytes;
        for (const KeptLines& kept : contents.keptLines)
            bytes += kept.bytes;
        fault = SafeReplace::WriteWhole(path, bytes + DataFile::Encoded(RowToLine(-1, QStringLiteral(","))));
        std::vector<KeptLines> kept = std::move(contents.keptLines);
        contents = DataFileContents();
        contents.keptLines = std::move(kept);
    }
    if (fault) {
        m_op.msgBox(faultText(*fault, QStringLiteral(", ")) + T::Cr + T::File2grdError,
                    MsgStyle::Exclamation);
        return false;
    }
    m_fileName = path;

    std::vector<DataRow> rows = std::move(contents.rows);
    int offset = 0;
    if (DataLine::HeaderMismatches(contents.header) > DataLine::HeaderMismatchLimit) {
        QStringList header;
        for (int c = 1; c < Columns; ++c)
            header.append(contents.header[size_t(c)]);
        m_model.setRows({DataRow(1, header)});
        QCoreApplication::processEvents();
        if (m_op.msgBox(mismatchText(), MsgStyle::YesNo | MsgStyle::Question, T::MismatchTitle) ==
            MsgResult::Yes) {
            offset = 1;
            for (DataRow& r : rows)
                r.setNumber(r.number() + offset);
            for (KeptLines& kept : contents.keptLines)
                if (kept.rowsBefore >= 0)
                    kept.rowsBefore += offset;
            rows.insert(rows.begin(), m_model.row(0));
        }
    }
    m_model.setRows(std::move(rows));

    // What reading did not reach goes back into the file unchanged at every rewrite, after the rows
    // read and before those added since.
    m_unreadTail = contents.unreadTail;
    m_tailRows = std::move(contents.tailRows);
    m_rowsBeforeTail = m_unreadTail.isEmpty() ? 0 : m_model.rows();
    m_keptLines = std::move(contents.keptLines);
    if (contents.badItems > DataLine::CorruptedThreshold) {
        QString text = T::CorruptedBefore + QString::number(contents.badItems) + T::CorruptedAfter + T::Cr;
        if (contents.unreadRows > 0)
            text += T::RowsNotRead(contents.unreadRows, m_model.rows()) + T::Cr;
        text += T::CorruptedQuestion + T::Cr + T::CorruptedSelect;
        if (m_op.msgBox(text, MsgStyle::YesNo | MsgStyle::Question, T::CorruptedTitle) == MsgResult::Yes) {
            m_model.setRows({});
            m_fileName.clear();
            m_unreadTail.clear();
            m_tailRows.clear();
            m_rowsBeforeTail = 0;
            m_keptLines.clear();
            m_chooseAnother = true;
            finishLoad();
            return false;
        }
    }
    if (!contents.longRows.empty()) {
        QStringList numbers;
        for (const int n : contents.longRows) {
            if (numbers.size() == 20) {
                numbers << QStringLiteral("and %1 more").arg(contents.longRows.size() - 20);
                break;
            }
            numbers << QString::number(n + offset);
        }
        m_op.msgBox(T::LongRows(numbers.join(QStringLiteral(", "))), MsgStyle::OkOnly | MsgStyle::Exclamation,
                    T::LongRowsTitle);
    }
    setSpecimenCount();
    // Every cell is measured once now, so that fitting the columns after each result stays quick.
    m_model.widestText(0, m_font);
    FitUntouchedColumns();
    finishLoad();
    emit dataFileLoaded(m_fileName);
    return true;
}

void Datasheet::finishLoad() {
    emit dataFileChanged();
    storeDataFileName();
    emit scrollToLastRow();
}

void Datasheet::storeDataFileName() {
    m_params.DataFileName = m_fileName;
    m_settings.saveText(ProductIdentity::AppTitle, QStringLiteral("DataFileName"), m_fileName);
}

void Datasheet::setSpecimenCount() {
    double largest = 0;
    // The unread lines count too: a result added goes behind them and must not repeat a number.
    for (const std::vector<DataRow>* rows :
         {&m_model.allRows(), static_cast<const std::vector<DataRow>*>(&m_tailRows)})
        for (const DataRow& r : *rows)
            if (const auto n = DataLine::Number(r, 1))
                largest = std::max(largest, std::nearbyint(*n));
    // Beyond the counter's reach the count stops at the largest number it holds.
    m_params.SpecimenCount = int(std::min(largest + 1, 2147483647.0));
    emit specimenCountChanged();
}

void Datasheet::useDataFile(const QString& path) {
    // The file was written whole from the grid: it holds every row, and after them the lines that
    // were never read.
    m_rowsNotInFile = 0;
    m_editsNotInFile = false;
    m_rowsBeforeTail = m_unreadTail.isEmpty() ? 0 : m_model.rows();
    // The new file holds the rows as the grid shows them, without the old file's notes.
    m_keptLines.clear();
    const QString previous = m_fileName;
    m_fileName = path;
    m_dataFolder = QFileInfo(path).absolutePath();
    emit dataFileChanged();
    emit savedUnderNewName(previous, path);
}

// ---- Rows and lines ---------------------------------------------------------------------------

std::optional<QStringList> Datasheet::grd2arr(int row, const QString& delimiter,
                                              const QString& prefix) const {
    const bool comma = delimiter == QStringLiteral(",");
    if (!comma && delimiter != QStringLiteral("\t") && delimiter != QStringLiteral(", ")) {
        m_op.msgBox(T::BadDelimiter);
        return std::nullopt;
    }
    QStringList fields;
    fields.reserve(DataRow::Fields);
    for (int c = 1; c < Columns; ++c) {
        const QString text = prefix + (row < 0 ? DataLine::Titles()[size_t(c)] : m_model.cell(row, c));
        fields.append(comma ? DataLine::QuoteField(text, c == 1) : text);
    }
    return fields;
}

QString Datasheet::RowToLine(int row, const QString& delimiter) const {
    const auto fields = grd2arr(row, delimiter, QString());
    return fields ? fields->join(delimiter) : QString();
}

QByteArray Datasheet::fileContents() const {
    QByteArray bytes;
    // The blank and ";" lines go back after the rows they followed.
    auto kept = m_keptLines.cbegin();
    auto writeKept = [&](int rowsBefore) {
        for (; kept != m_keptLines.cend() && kept->rowsBefore <= rowsBefore; ++kept)
            bytes += kept->bytes;
    };
    writeKept(-1);
    bytes += DataFile::Encoded(DataLine::HeaderLine());
    bytes.reserve(bytes.size() + qsizetype(m_model.rows()) * 160);
    bool tailWritten = m_unreadTail.isEmpty();
    auto writeTail = [&] {
        bytes += unreadTail();
        tailWritten = true;
    };
    for (int i : m_model.fileOrder()) {
        const int number = m_model.row(i).number();
        writeKept(number - 1);
        if (!tailWritten && number > m_rowsBeforeTail)
            writeTail();
        bytes += DataFile::Encoded(m_model.row(i));
    }
    writeKept(std::numeric_limits<int>::max());
    if (!tailWritten)
        writeTail();
    return bytes;
}

// ---- Appending and rewriting ------------------------------------------------------------------

bool Datasheet::AppendResult(const QStringList& fields) {
    m_appendFault = FileFault();
    m_appendTailLeft = false;
    m_model.appendRow(DataRow(m_model.rows() + 1, fields));
    AutoFitColumns(-1, false);
    emit scrollToLastRow();
    if (m_fileName.isEmpty()) {
        m_appendFault = {53, QStringLiteral("No data file is selected")};
        ++m_rowsNotInFile;
        emit fileStateChanged();
        return false;
    }
    std::optional<FileFault> fault;
    if (!QFileInfo::exists(m_fileName)) {
        // The file went while the program ran: the whole datasheet goes back, not the last row alone.
        fault = SafeReplace::WriteWhole(m_fileName, fileContents());
    } else if (m_rowsNotInFile > 0 || m_editsNotInFile) {
        // An earlier append failed: the whole datasheet goes to the file, the rows it missed and
        // whatever that failure may have left at its end put right.
        const SafeReplace::Outcome outcome =
            SafeReplace::Rewrite(m_fileName, DataLine::BackupName(m_fileName), fileContents());
        if (!outcome.ok())
            fault = outcome.fault;
    } else {
        fault = SafeReplace::AppendSynced(m_fileName, DataFile::Encoded(m_model.row(m_model.rows() - 1)),
                                          &m_appendTailLeft);
    }
    if (fault) {
        m_appendFault = *fault;
        ++m_rowsNotInFile;
        emit fileStateChanged();
        return false;
    }
    setInFile();
    return true;
}

QString Datasheet::appendFailureNote() const {
    if (!m_appendTailLeft)
        return {};
    return T::Cr + T::Cr + T::TailLeftBefore + m_fileName + T::TailLeftAfter;
}

void Datasheet::tellRewriteFailure(const QString& title, const QString& text) {
    MyMsgBoxRequest request;
    request.prompt = text;
    request.buttons[0] = T::Ok;
    request.icons = MsgStyle::Exclamation;
    request.title = title;
    m_op.myMsgBox(request);
}

bool Datasheet::RewriteDataFile() {
    if (m_fileName.isEmpty()) {
        m_op.msgBox(T::NoDataFile, MsgStyle::OkOnly | MsgStyle::Exclamation, T::NoDataFileTitle);
        return false;
    }
    const QString backup = DataLine::BackupName(m_fileName);
    const SafeReplace::Outcome outcome = SafeReplace::Rewrite(m_fileName, backup, fileContents());
    switch (outcome.failed) {
    case SafeReplace::Stage::None:
        setInFile();
        return true;
    case SafeReplace::Stage::DeleteBackup:
        tellRewriteFailure(T::DeleteBakTitle, faultText(outcome.fault, QStringLiteral(": ")) +
                                                  T::DeleteBakText + T::NotSavedTail);
        break;
    case SafeReplace::Stage::SaveBackup:
        tellRewriteFailure(T::SaveBakTitle,
                           faultText(outcome.fault, QStringLiteral(": ")) + T::SaveBakText + T::NotSavedTail);
        break;
    case SafeReplace::Stage::Write: {
        // Name the .BAK only where it exists, and only when the data file may not be whole.
        const QString text = faultText(outcome.fault, QStringLiteral(": ")) + T::WriteText;
        if (outcome.oldContentsWhole)
            tellRewriteFailure(T::WriteTitle, text + T::WriteWholeTail);
        else if (QFileInfo::exists(backup))
            tellRewriteFailure(T::WriteTitle, text + T::WriteTail + T::Cr + T::Cr + backup);
        else
            tellRewriteFailure(T::WriteTitle, text + T::WriteNoBackupTail);
        break;
    }
    }
    // The grid now differs from the file: the next result or edit writes it whole, and until then
    // the datasheet says so and the end of the program reminds the operator.
    m_editsNotInFile = true;
    emit fileStateChanged();
    return false;
}

QByteArray Datasheet::unreadTail() const {
    if (m_unreadTail.isEmpty() || m_unreadTail.endsWith('\n') || m_unreadTail.endsWith('\r'))
        return m_unreadTail;
    return m_unreadTail + "\r\n";
}

void Datasheet::setInFile() {
    const bool changed = m_rowsNotInFile > 0 || m_editsNotInFile;
    m_rowsNotInFile = 0;
    m_editsNotInFile = false;
    if (changed)
        emit fileStateChanged();
}

void Datasheet::rowRemoved(int number) {
    if (number <= m_rowsBeforeTail)
        --m_rowsBeforeTail;
    // Lines that followed the row now follow the one before it.
    for (KeptLines& kept : m_keptLines)
        if (kept.rowsBefore >= number)
            --kept.rowsBefore;
}

int Datasheet::fileRowNumber(int number) const {
    if (m_unreadTail.isEmpty() || number <= m_rowsBeforeTail)
        return number;
    return number + int(m_tailRows.size());
}

std::vector<DataRow> Datasheet::fileRows() const {
    std::vector<DataRow> rows;
    rows.reserve(m_model.allRows().size() + m_tailRows.size());
    bool tailPlaced = m_tailRows.empty();
    auto placeTail = [&] {
        for (size_t i = 0; i < m_tailRows.size(); ++i) {
            rows.push_back(m_tailRows[i]);
            rows.back().setNumber(m_rowsBeforeTail + int(i) + 1);
        }
        tailPlaced = true;
    };
    for (const DataRow& row : m_model.allRows()) {
        if (!tailPlaced && row.number() > m_rowsBeforeTail)
            placeTail();
        rows.push_back(row);
        rows.back().setNumber(fileRowNumber(row.number()));
    }
    if (!tailPlaced)
        placeTail();
    return rows;
}

bool Datasheet::askReason(int rowNumber, const QString& what) {
    m_lastReason.clear();
    if (!m_reasonAsker)
        return true;
    const std::optional<QString> reason = m_reasonAsker(rowNumber, what);
    if (!reason)
        return false;
    m_lastReason = *reason;
    return true;
}

void Datasheet::SetComment(int row, const QString& text, const QString& before) {
    if (row < 0 || row >= m_model.rows())
        return;
    // Without a reason the comment stays as it was.
    if (text != before && !askReason(fileRowNumber(m_model.row(row).number()),
                                     QStringLiteral("comment \"") + before +
                                         QStringLiteral("\" changed to \"") + text + QLatin1Char('"')))
        return;
    m_model.setCell(row, DataLine::CommentsColumn, text);
    AutoFitColumns(DataLine::CommentsColumn, false);
    if (text != before) {
        RewriteDataFile();
        emit commentEdited(fileRowNumber(m_model.row(row).number()), before, text);
    }
}

// ---- Choosing the data file -------------------------------------------------------------------

QString Datasheet::DefaultFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // A folder that is not there would come up as a file name of that folder's name.
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

FileDialogRequest Datasheet::dataFileRequest() const {
    FileDialogRequest request;
    request.title = T::OpenTitle;
    request.filter = T::DataFileFilter;
    request.initialFolder = m_dataFolder;
    request.initialName = QFileInfo(m_fileName).fileName();
    request.confirmCreate = true;
    request.refuseReadOnly = true;
    return request;
}

bool Datasheet::chooseDataFile() {
    if (m_dataFolder.isEmpty() || !QFileInfo(m_dataFolder).isDir())
        m_dataFolder = DefaultFolder();
    const QString chosen = m_op.openFileName(dataFileRequest());
    if (chosen.isEmpty())
        return false;
    m_dataFolder = QFileInfo(chosen).absolutePath();
    return file2grd(chosen) || !m_fileName.isEmpty();
}

void Datasheet::nameRequired() {
    if (!m_exitProgram) {
        m_op.msgBox(T::NameRequired, MsgStyle::OkOnly | MsgStyle::Exclamation);
        return;
    }
    MyMsgBoxRequest request;
    request.prompt = T::NameRequired;
    request.buttons = {T::Ok, T::ExitProgram, QString(), QString()};
    request.icons = MsgStyle::Exclamation;
    // The program ends there, unless the operator thinks better of it and chooses a file after all.
    if (m_op.myMsgBox(request) == 2)
        m_exitProgram();
}

void Datasheet::DataFileCommand() {
    if (m_dataFolder.isEmpty() || !QFileInfo(m_dataFolder).isDir())
        m_dataFolder = DefaultFolder();
    for (;;) {
        const QString chosen = m_op.openFileName(dataFileRequest());
        if (chosen.isEmpty()) {
            if (!m_fileName.isEmpty()) {
                m_op.msgBox(T::Cancelled, MsgStyle::OkOnly | MsgStyle::Information);
                break;
            }
            nameRequired();
            // Nobody is there to choose one: the datasheet goes on without a file.
            if (!m_op.watched())
                break;
            continue;
        }
        m_dataFolder = QFileInfo(chosen).absolutePath();
        if (file2grd(chosen) || !m_fileName.isEmpty())
            break;
    }
    emit dataFileChanged();
}
