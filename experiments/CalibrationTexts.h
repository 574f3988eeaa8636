#pragma once

#include "params/NumberFormat.h"

#include <QString>
#include <QStringList>

// Texts of the load-cell calibration windows, kept together so tests compare them exactly.
namespace CalibrationTexts {
// Review window
inline const QString ReviewCaption = QStringLiteral("REVIEW CALIBRATION");
inline QString channelCaption(int channel) {
    return QStringLiteral("Channel ") + QString::number(channel);
}
inline QString rangeCaption(int channel, long low, long high) {
    return channelCaption(channel) + QStringLiteral(": range  ") + QString::number(low) +
           QStringLiteral(" to ") + QString::number(high) + QStringLiteral(" N");
}
inline const QString ChannelNote =
    QStringLiteral("Select which analog to digital converter channel will; be used to make measurements. "
                   "A higher number channel is more sensitive but has a smaller load range.");
inline QString loadText(double load) {
    return QStringLiteral("Load =  ") + FormatNum(load, 5, 2) + QStringLiteral(" N");
}
inline const QString NewCalibration = QStringLiteral("&New calibration");
inline const QString ZeroTare = QStringLiteral("&Zero / Tare");
inline const QString ZeroTareTip = QStringLiteral("Force load to read zero");
inline const QString LoadFromDisc = QStringLiteral("&Load calibration data from disc");
inline const QString SaveToDisc = QStringLiteral("&Save calibration data to disc");
inline const QString Done = QStringLiteral("&Done");
inline const QString ChangeQuestion = QStringLiteral("Are you sure you want to change the calibration?");
inline const QString ProgramEndingTitle = QStringLiteral("PROGRAM ENDING");
inline const QString NotCalibratedTitle = QStringLiteral("LOAD CELL NOT CALIBRATED");
inline const QString NotCalibrated = QStringLiteral("The load cell is not calibrated - the program ") +
                                     QStringLiteral("can not continue until this is done.") +
                                     QStringLiteral("\r\r") +
                                     QStringLiteral("Click Yes to continue to perform a calibration.") +
                                     QStringLiteral("\r") + QStringLiteral("Click No to end the program.");

// Calibration files
inline const QString FileFilter = QStringLiteral("Calibration files (*.cal)|*.cal|All files (*.*)|*.*");
inline const QString SaveNotCalibrated =
    QStringLiteral("The load cell is not calibrated - can not save calibration parameters");
inline const QString SaveTitle = QStringLiteral("SAVE CALIBRATION PARAMETERS");
inline const QString WriteErrorTitle = QStringLiteral("ERROR WRITING CALIBRATION FILE");
inline QString writeError(int number, const QString& description) {
    return QStringLiteral("Error ") + QString::number(number) + QStringLiteral(": ") + description +
           QStringLiteral("\r") + QStringLiteral("encountered while writing calibration parameters.");
}
inline const QString ReadTitle = QStringLiteral("READ CALIBRATION PARAMETERS FROM FILE");
inline const QString Cancelled = QStringLiteral("Cancelled - no changes made");
inline const QString Invalid = QStringLiteral("Invalid calibration information - no changes made");

// Calibration window
inline const QString CalibrateCaption = QStringLiteral("LOAD CELL CALIBRATION");
inline const QString SameSerialQuestion =
    QStringLiteral("Do you want to use the same load cell serial number?");
inline const QString SerialTitle = QStringLiteral("LOAD CELL SERIAL NUMBER");
inline const QString SerialLabel = QStringLiteral("Load cell serial #");
inline const QStringList GridHeader = {QStringLiteral("   "), QStringLiteral("Load  "),
                                       QStringLiteral("Load (N)  "), QStringLiteral("Signal (au)  "),
                                       QStringLiteral("Residue  ")};
inline const QStringList Units = {QStringLiteral("kg"), QStringLiteral("g"), QStringLiteral("lb")};
inline const QString Snap = QStringLiteral("Snap to nearest 100g");
inline const QString AddPoint = QStringLiteral("Add a point");
inline const QString DeletePoint = QStringLiteral("Delete a point");
inline const QString DeleteAll = QStringLiteral("Delete all data");
inline const QString CopyToClipboard = QStringLiteral("Copy to clipboard");
inline const QString TestStatistics = QStringLiteral("Test - statistics");
inline const QString Finish = QStringLiteral("Finish");
inline const QString DeletePointTitle = QStringLiteral("DELETE CALIBRATION POINT");
inline const QString DeletePointPrompt =
    QStringLiteral("What is the index of the calibration point you want to delete?") +
    QStringLiteral("\r\n") + QStringLiteral("Leave blank to ignore.");
inline QString deletePointQuestion(int index) {
    return QStringLiteral("Are you sure you want to delete calibration point ") + QString::number(index) +
           QStringLiteral("?");
}
inline const QString DeleteAllTitle = QStringLiteral("ALL DATA WILL BE LOST");
inline const QString DeleteAllQuestion = QStringLiteral("Are you sure you want to delete all the data?");
inline const QString UseNewTitle = QStringLiteral("USE NEW CALIBRATION");
inline const QString UseNew =
    QStringLiteral(
        "Do you want to replace the current calibration parameters with the parameters measured here?") +
    QStringLiteral("\r\r") +
    QStringLiteral(
        "If you select Yes the current parameters will be lost if they were not saved to disc earlier.") +
    QStringLiteral("\r\r") +
    QStringLiteral(
        "If you want to save the current parameters, click no, save them and then return to this window.");
inline const QString LoadDescription = QStringLiteral("Load");
inline const QString TableFull = QStringLiteral("The calibration table is full - delete a point first");
inline const QString NoEstimate = QStringLiteral("------");
inline const QString LoadAxis = QStringLiteral("Load(N)");
inline const QString SignalAxis = QStringLiteral("Signal (au)");
inline const QString ResidueAxis = QStringLiteral("Residue (au)");
// The curves, as a point's read-out names them.
inline const QString MeasuredCurve = QStringLiteral("measured");
inline const QString FittedCurve = QStringLiteral("fitted line");
inline const QString ResidueCurve = QStringLiteral("residues");
inline const QString ParametersNew = QStringLiteral("New:");
inline const QString ParametersOld = QStringLiteral("Current:");

// Settings store values
inline const QString UnitsKey = QStringLiteral("CalibrationUnits");
inline const QString SnapKey = QStringLiteral("CalibrationSnapTo100g");
} // namespace CalibrationTexts
