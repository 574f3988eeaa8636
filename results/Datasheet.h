#pragma once

#include "results/DataFile.h"
#include "results/DatasheetModel.h"
#include "results/FileFault.h"
#include "results/ResultAppender.h"

#include <QFont>
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <optional>

class Operator;
struct FileDialogRequest;
class ParameterTable;
class SettingsStore;
struct Parameters;

// The datasheet and its data file (module DataHandling): the grid's rows and column widths, reading
// a data file into the grid, appending a result, rewriting the file through its .BAK, and choosing
// the data file. Windows show it through model() and follow its signals.
class Datasheet : public QObject, public ResultAppender {
    Q_OBJECT
public:
    static constexpr int Columns = DataLine::Columns;
    static constexpr int HiddenWidth = 15; // twips; a column this narrow or narrower counts as hidden
    static constexpr int DefaultWidth = 800;
    static constexpr int FitMargin = 100;
    static constexpr int FitMinimum = 100;
    static constexpr int FitMaximum = 10000;

    Datasheet(Operator& op, Parameters& params, ParameterTable& table, SettingsStore& settings,
              QObject* parent = nullptr);

    DatasheetModel& model() { return m_model; }
    const DatasheetModel& model() const { return m_model; }
    int resultRows() const { return m_model.rows(); }

    // Empties the grid and applies the stored column widths.
    void SetupDatasheet();
    // Makes the path the data file and loads it into the grid; true when it is now the data file in use.
    bool file2grd(const QString& path);
    // Adds a result row (fields of columns 1 to 17) and appends its line to the data file; true only
    // once the line is on the disc.
    bool AppendResult(const QStringList& fields) override;
    // Writes the whole datasheet to the data file, the old contents kept as the .BAK; false when it
    // could not (the operator has been told).
    bool RewriteDataFile();
    // The failure of the last append, for the message of whoever reports it.
    const FileFault& lastAppendFault() const { return m_appendFault; }
    // What the operator must know beyond the failure itself (empty when nothing): the failed line
    // could not be taken back off the file's end.
    QString appendFailureNote() const override;
    // Rows of the grid that the data file does not hold, because their append failed. The next
    // result then writes the whole file, so these rows get back in.
    int rowsNotInFile() const { return m_rowsNotInFile; }
    // An edit (a comment, a deletion) the data file does not hold, because rewriting it failed.
    // The next result or edit writes the whole file, which puts it right.
    bool editsNotInFile() const { return m_editsNotInFile; }
    bool differsFromFile() const { return m_rowsNotInFile > 0 || m_editsNotInFile; }
    // Lines at the end of the data file that reading did not reach; a rewrite keeps them as they are.
    bool readInPart() const { return !m_unreadTail.isEmpty(); }
    // Those lines as a file holds them, line end included; empty when the file was read whole.
    QByteArray unreadTail() const;
    // A row of that number has been taken out of the grid (the rows after it renumbered).
    void rowRemoved(int number);
    // The place in the data file of the grid's row of that number: the rows read come first, then
    // the unread lines' rows, then the rows added since.
    int fileRowNumber(int number) const;
    // Every row the data file holds, numbered by its place there: the grid's rows (in the grid's
    // order) with the unread lines' rows among them where the file has them.
    std::vector<DataRow> fileRows() const;

    // "Open data file": choose a data file and load it; never leaves without one while nobody is loaded.
    void DataFileCommand();
    // The way out of the question for a data file name: ends the program (returns only when the
    // operator stays after all). Without it the question offers no way out.
    void setExitProgram(std::function<bool()> exitProgram) { m_exitProgram = std::move(exitProgram); }
    // The folder the data file dialog starts in when no data file has been chosen yet: the
    // documents folder, or the home folder where there is none.
    static QString DefaultFolder();
    bool hasDataFile() const { return !m_fileName.isEmpty(); }
    QString dataFileName() const { return m_fileName; }
    QString dataFolder() const { return m_dataFolder; }
    // A file saved under a new name becomes the data file in use ("DataFileName" stays as it was);
    // it holds every row, then the unread lines, if any.
    void useDataFile(const QString& path);

    // The header line (row < 0) or a result row as one text: its fields through grd2arr, joined.
    QString RowToLine(int row, const QString& delimiter) const;
    // The 17 fields of a row (row < 0: the titles) with the prefix, quoted when the delimiter is a
    // comma; nullopt (and the operator told) for a delimiter other than comma, tab or comma-space.
    std::optional<QStringList> grd2arr(int row, const QString& delimiter, const QString& prefix) const;

    // Column widths in twips, columns 0 to 17.
    int columnWidth(int column) const { return m_widths[size_t(column)]; }
    // byHand: the operator dragged it; such a width is kept when a data file is opened.
    void setColumnWidth(int column, int twips, bool byHand = false);
    bool widthSetByHand(int column) const { return m_byHand[size_t(column)]; }
    // Settings value naming the columns whose width the operator set by hand ("3,16").
    static inline const QString WidthsByHandKey = QStringLiteral("GridColWidthsByHand");
    bool isHidden(int column) const { return m_widths[size_t(column)] <= HiddenWidth; }
    QString ColumnWidthsText() const;
    // Fits every column whose width is still the default one (never set by hand) to its title and
    // contents; done whenever a data file is opened.
    void FitUntouchedColumns();
    // Fits one column (or all, column < 0) to its widest text; without force a column only widens.
    void AutoFitColumns(int column, bool force);
    // The font cells are measured in (the main window's).
    void setFont(const QFont& font) { m_font = font; }

    // The comment of a result row: the grid takes it; the file is rewritten when it changed.
    void SetComment(int row, const QString& text, const QString& before);

    // Signed-in use: a change of a recorded result needs a reason, asked with the row's number in the
    // file and what changes; nullopt: the change is not made. lastReason() is the one given for the
    // change just told (empty: none asked).
    using ReasonAsker = std::function<std::optional<QString>(int rowNumber, const QString& what)>;
    void setReasonAsker(ReasonAsker asker) { m_reasonAsker = std::move(asker); }
    bool askReason(int rowNumber, const QString& what);
    QString lastReason() const { return m_lastReason; }

signals:
    void dataFileChanged();
    void widthsChanged();
    void scrollToLastRow();
    void specimenCountChanged();
    // Whether the datasheet differs from its data file changed (differsFromFile()).
    void fileStateChanged();
    // What the results store follows: a data file loaded (its rows are in the model), the comment of
    // the row at place n of the file edited, the row at place n deleted (its line as the file held
    // it), the datasheet saved under a new name that is now the data file. Places are those of
    // fileRowNumber().
    void dataFileLoaded(const QString& path);
    void commentEdited(int rowNumber, const QString& before, const QString& after);
    void rowDeleted(int rowNumber, const QString& line);
    void savedUnderNewName(const QString& previous, const QString& path);

private:
    // Loads without bringing the previous data file back on failure.
    bool load(const QString& path);
    // The data file dialog until a file is loaded or the operator cancels; true when one was chosen
    // and loaded.
    bool chooseDataFile();
    FileDialogRequest dataFileRequest() const;
    void nameRequired();
    void finishLoad();
    void applyStoredWidths();
    void readWidthsByHand();
    void storeWidthsByHand();
    void setSpecimenCount();
    void storeDataFileName();
    QByteArray fileContents() const;
    void tellRewriteFailure(const QString& title, const QString& text);
    void setInFile();

    Operator& m_op;
    ReasonAsker m_reasonAsker;
    QString m_lastReason;
    Parameters& m_params;
    ParameterTable& m_table;
    SettingsStore& m_settings;
    DatasheetModel m_model;
    std::array<int, Columns> m_widths{};
    std::array<bool, Columns> m_byHand{};
    QString m_fileName;
    QString m_dataFolder;
    QFont m_font;
    FileFault m_appendFault;
    bool m_appendTailLeft = false;
    int m_rowsNotInFile = 0;
    bool m_editsNotInFile = false;
    QByteArray m_unreadTail;
    std::vector<DataRow> m_tailRows;    // the unread lines' rows
    int m_rowsBeforeTail = 0;           // the unread tail follows the row of this number
    std::vector<KeptLines> m_keptLines; // blank and ";" lines, after the rows they followed
    bool m_chooseAnother = false;
    std::function<bool()> m_exitProgram;
};
