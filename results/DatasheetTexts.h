#pragma once

#include "base/ProductIdentity.h"

#include <QString>

// What the datasheet and its data file say to the operator, exactly as shown.
namespace DatasheetTexts {
inline const QString Cr = QStringLiteral("\r");

inline const QString DataFileFilter =
    QStringLiteral("Data files (*.dat)|*.dat|Comma separated values (*.csv)|*.csv|All files (*.*)|*.*");
// Ours: the export for analysis programs.
inline const QString AnalysisFilter =
    QStringLiteral("Comma separated values, UTF-8 (*.csv)|*.csv|All files (*.*)|*.*");

// Column widths
inline const QString ResettingWidths = QStringLiteral("Reseting GridColWidths");
inline const QString WrongWidthCount = QStringLiteral("ColWidths has the wrong number of items: expecting ");

// Reading a data file
inline const QString NotAvailableTitle = QStringLiteral("FILE NOT AVAILABLE FOR READ/WRITE");
inline const QString NotAvailableBefore = QStringLiteral("Data file ");
inline const QString NotAvailableAfter = QStringLiteral("can not be opened for saving results:");
inline const QString ReadOnlyFile = QStringLiteral("It is a read only file");
inline const QString HiddenFile = QStringLiteral("It is a hidden file");
inline const QString SystemFile = QStringLiteral("It is a system file");
inline const QString VolumeLabel = QStringLiteral("It is a volume label, not a file");
inline const QString DirectoryFile = QStringLiteral("It is a directory, not a file");
inline const QString OtherAttribute =
    QStringLiteral("It is an alias, is compressed or is some other read only file");
// Ours: a device, a pipe or a socket, and a file the program may not read or write.
inline const QString NotRegularFile = QStringLiteral("It is a device or other special file, not a file");
inline const QString NoAccess = QStringLiteral("It can not be read or written by this user");
// Ours: files that are plainly something else.
inline const QString NotDataFile =
    QStringLiteral("It is not a ") + ProductIdentity::AppTitle + QStringLiteral(" data file: ");
inline const QString Utf16Text = NotDataFile + QStringLiteral("it is UTF-16 text");
inline const QString NulBytes = NotDataFile + QStringLiteral("it holds NUL bytes");
inline const QString BinaryData = NotDataFile + QStringLiteral("it holds binary data");
inline const QString LoadTimeRecord =
    QStringLiteral("It is the load/time record of one specimen (tab-separated samples), not a ") +
    ProductIdentity::AppTitle + QStringLiteral(" data file of results");
// Ours: a file read in part. Its unread lines stay in the file as they are.
inline QString RowsNotRead(int unread, int lastRead) {
    return QString::number(unread) + (unread == 1 ? QStringLiteral(" row") : QStringLiteral(" rows")) +
           QStringLiteral(" after row ") + QString::number(lastRead) +
           (unread == 1 ? QStringLiteral(" was") : QStringLiteral(" were")) +
           QStringLiteral(" not read. They stay in the file as they are, after the rows shown.");
}
// Ours: rows whose extra fields a rewrite would drop.
inline const QString LongRowsTitle = QStringLiteral("ROWS WITH MORE THAN 17 FIELDS");
inline QString LongRows(const QString& rows) {
    return QStringLiteral("These rows of the data file hold more than 17 fields: ") + rows +
           QStringLiteral(".\rThe datasheet shows their first 17 fields only. The fields after them are lost "
                          "when the file is next rewritten (a comment edited or a row deleted); keep a "
                          "copy of the file if they matter.");
}

inline const QString MismatchTitle = QStringLiteral("DATA HEADER MISMATCH");
inline const QString CorruptedTitle = QStringLiteral("CORRUPTED DATA?");
inline const QString CorruptedBefore = QStringLiteral("There were ");
inline const QString CorruptedAfter = QStringLiteral(" non-numeric items read.");
inline const QString CorruptedQuestion =
    QStringLiteral("Do you want to clear the table (without affecting the file contents)");
inline const QString CorruptedSelect = QStringLiteral("and select another data file?");
inline const QString File2grdError = QStringLiteral("encountered in module DataHandling.file2grd");

// Rewriting the data file
inline const QString DeleteBakTitle = QStringLiteral("ERROR DELETING OLD .BAK FILE");
inline const QString DeleteBakText =
    QStringLiteral(" encountered while attempting to delete the old .BAK file. ");
inline const QString SaveBakTitle = QStringLiteral("ERROR SAVING DATASHEET TO .BAK FILE");
inline const QString SaveBakText =
    QStringLiteral(" encountered while attempting to save the old data file. ");
inline const QString NotSavedTail =
    QStringLiteral("The changes to the datasheet have not been saved! Save the datasheet to a new file.");
inline const QString WriteTitle = QStringLiteral("ERROR WRITING DATASHEET");
inline const QString WriteText = QStringLiteral(" encountered while attempting to rewrite the data file. ");
inline const QString WriteTail =
    QStringLiteral("The changes to the datasheet have not been saved! Save the datasheet to a new file. "
                   "The existing data file might have been corrupted but you should find the old "
                   "contents in:");
// Ours: what a failed rewrite left, named only as far as it is so.
inline const QString WriteWholeTail =
    QStringLiteral("The changes to the datasheet have not been saved! Save the datasheet to a new file. "
                   "The data file on the disc is whole: it holds what it held before this change.");
inline const QString WriteNoBackupTail =
    QStringLiteral("The changes to the datasheet have not been saved! Save the datasheet to a new file. "
                   "The existing data file might have been corrupted.");
inline const QString Ok = QStringLiteral("&Ok");
// Ours: a rewrite while no data file is selected would have nowhere to go.
inline const QString NoDataFileTitle = QStringLiteral("NO DATA FILE");
inline const QString NoDataFile =
    QStringLiteral("No data file is selected, so the change to the datasheet has not been saved.\r"
                   "Please open a data file or save the datasheet to a new file.");

// Choosing the data file
inline const QString OpenTitle = QStringLiteral("OPEN DATA FILE");
inline const QString Cancelled = QStringLiteral("Cancelled - no changes made");
inline const QString NameRequired = QStringLiteral("A data file name must be given");
// Ours: the way out of the question above.
inline const QString ExitProgram = QStringLiteral("E&xit program");
// Ours: a failed append whose line could not be taken off the file again.
inline const QString TailLeftBefore = QStringLiteral("The end of the data file\r");
inline const QString TailLeftAfter =
    QStringLiteral("\rcould not be restored: it may hold part of this result. The next result rewrites "
                   "the whole file from the datasheet, which puts it right.");
inline const QString FullPath = QStringLiteral("Full data file path and name:");

// Deleting a row
inline const QString DeleteRowTitle = QStringLiteral("DELETE ROW");
inline const QString DeleteWarning =
    QStringLiteral("It is not a good idea to delete a row since all information in it will be lost. "
                   "As an alternative you could add a comment to this row to remind you to ignore the "
                   "data later.\r\rAre you sure you want to delete row ");
inline const QString Yes = QStringLiteral("&Yes");
inline const QString No = QStringLiteral("&No");
inline const QString CancelButton = QStringLiteral("&Cancel");
inline const QString ConfirmButton = QStringLiteral("Con&firm");
inline const QString RowWord = QStringLiteral("Row ");
inline const QString RowContains = QStringLiteral(" contains:");
inline const QString ConfirmDelete = QStringLiteral("Confirm that you want to delete this row.");
inline const QString BugTitle = QStringLiteral("BUG ENCOUNTERED!");
inline const QString RowNotFound =
    QStringLiteral("Sorry! Row not found in mnuGridDel_Click\rPlease report this error to Corvane");

// Sorting
inline const QString SortErrorTitle = QStringLiteral("SORT ERROR");
inline const QString SortError =
    QStringLiteral("Sorry, the sort failed due to an unknown bug:\r\rRuntime error ");

// Exporting
inline const QString EmptyTitle = QStringLiteral("EMPTY DATASHEET");
inline const QString NoData = QStringLiteral("No data to export!");
inline const QString ExportTitle = QStringLiteral("OPEN FILE FOR EXPORT");
inline const QString SaveAsTitle = QStringLiteral("SAVE DATASHEET AS");
inline const QString NotSavedTitle = QStringLiteral("DATA HAVE NOT BEEN SAVED");
inline const QString NotSaved =
    QStringLiteral("The data have not been saved because you clicked the Cancel button. The data must be "
                   "saved or they will be lost and/or the current data file will be corrupted. Try again!");
inline const QString ExportErrorTitle = QStringLiteral("ERROR WRITING EXPORT FILE");
inline const QString ExportErrorTail = QStringLiteral("encountered while exporting data to file.");
// Ours: an export of some columns must not replace the data file in use.
inline const QString ExportOverDataFile = QStringLiteral(
    "The data file in use can not be overwritten by an export.\r"
    "Please choose another file, or use \"Save data file\" to save the datasheet under a new name.");
// Ours: exports and "Save data file" never replace a file that is read-only or not the user's to write.
inline const QString ReadOnlyTarget =
    QStringLiteral("\rThis file is read-only or may not be written by you: it has not been replaced.\r"
                   "Please choose another file.");
// Ours: where the results go after "Save data file".
inline const QString SavedTitle = QStringLiteral("DATASHEET SAVED");
inline const QString SavedBefore = QStringLiteral("The datasheet has been saved as\r");
inline const QString SavedAfter =
    QStringLiteral("\r\rThis is now the data file: the next results are added to it.");
// Ours: at the end, rows the data file does not hold.
inline const QString RowsNotInFileTitle = QStringLiteral("RESULTS NOT IN THE DATA FILE");
inline QString RowsNotInFile(int rows, const QString& file) {
    return (rows == 1 ? QStringLiteral("1 result of the datasheet is")
                      : QString::number(rows) + QStringLiteral(" results of the datasheet are")) +
           QStringLiteral(" not in the data file\r") + file +
           QStringLiteral("\rbecause writing to it failed. They will be lost when the program ends "
                          "unless you export the datasheet to another data file.\r\r"
                          "Do you want to export the datasheet now?");
}
// Ours: the datasheet holds changes its data file lacks.
inline const QString DiffersMark = QStringLiteral("NOT SAVED: ");
inline const QString DiffersTip =
    QStringLiteral("The datasheet holds changes that the data file lacks, because writing to it failed. "
                   "The next result or edit writes the whole file.");
inline QString EditsNotInFile(const QString& file) {
    return QStringLiteral("Changes made to the datasheet (an edited comment or a deleted row) are not in the "
                          "data file\r") +
           file +
           QStringLiteral("\rbecause rewriting it failed. They will be lost when the program ends unless you "
                          "export the datasheet to another data file.\r\r"
                          "Do you want to export the datasheet now?");
}
inline const QString BadDelimiter = QStringLiteral("BUG! Delim in DataHandling.grd2arr not tab or comma");

// Copy special
inline const QString NoColumnsTitle = QStringLiteral("NO DATA COPIED TO CLIPBOARD");
inline const QString NoColumns = QStringLiteral("No columns were selected for copying.");
inline const QString CopiedTitle = QStringLiteral("COPY SPECIAL FINISHED");
inline const QString Copied = QStringLiteral("Data successfully copied to clipboard");
// Added to the tip of the column the rows are sorted by.
inline const QString SortedAscending =
    QStringLiteral("\nThe rows are sorted by this column, smallest first.");
inline const QString SortedDescending =
    QStringLiteral("\nThe rows are sorted by this column, largest first.");
} // namespace DatasheetTexts
