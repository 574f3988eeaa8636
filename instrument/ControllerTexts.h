#pragma once

#include "base/ProductIdentity.h"

#include <QString>

// Every text the System Controller link and its discovery put before the operator.
namespace ControllerTexts {

inline const QString ProgramEnding = QStringLiteral("PROGRAM ENDING");

// Link
inline const QString CommTimeoutTitle = QStringLiteral("COMMUNICATIONS TIMEOUT");
inline const QString Retry = QStringLiteral("&Retry");
inline const QString Cancel = QStringLiteral("&Cancel");
inline QString commTimeout(const QString& operation) {
    return QStringLiteral("Communications with System Controller timed out during \"") + operation +
           QStringLiteral("\". Check that the System Controller is functioning and connected to the PC.");
}
inline QString terminateQuestion() {
    return QStringLiteral("Are you sure you want to terminate ") + ProductIdentity::AppTitle;
}
inline QString shortString(qsizetype received, int expected) {
    return QStringLiteral("Short string (") + QString::number(received) + QStringLiteral(" of ") +
           QString::number(expected) + QLatin1Char(')');
}
inline const QString BadHex = QStringLiteral("Bad hex");
// Added to a fault's message while a move runs: whether the capstans could be stopped first.
inline const QString CapstansStopped = QStringLiteral("\r\n\r\nThe capstans have been stopped.");
inline const QString CapstansStoppedAfterReopen =
    QStringLiteral("\r\n\r\nThe System Controller's port dropped and was opened again: the capstans have "
                   "been stopped.");
inline const QString CapstansMayTurn =
    QStringLiteral("\r\n\r\nThe System Controller's port has gone and could not be opened again: the "
                   "capstans may still be turning. Stop them at the instrument now.");
inline const QString CapstansMayTurnTitle = QStringLiteral("CAPSTANS MAY STILL BE TURNING");
inline const QString CapstansMayTurnAtEnd =
    QStringLiteral("The program is ending while a move runs and the System Controller's port has gone: "
                   "the capstans may still be turning.\r\n\r\nStop them at the instrument now.");

// Discovery
inline const QString MinimumFirmware = QStringLiteral("1.02");
inline const QString FirmwareTitle = QStringLiteral("NEWER SYSTEM CONTROLLER FIRMWARE NEEDED");
inline QString firmwareTooOld(const QString& version) {
    return QStringLiteral("The System Controller firmware version (") + version +
           QStringLiteral(") is less than is needed\r(") + MinimumFirmware +
           QStringLiteral(") for this version of ") + ProductIdentity::AppTitle +
           QStringLiteral(".\r\rPlease update the firmware of the System Controller.\r\r"
                          "More information can be found in the online help file\r\r"
                          "or in the printed User's Manual.");
}
inline const QString FirmwareEnding = QStringLiteral("Newer System Controller firmware needed");
inline QString probeError(int number, const QString& description) {
    return QStringLiteral("Error ") + QString::number(number) +
           QStringLiteral(" encountered in CheckForRabbit\r\n") + description;
}

inline const QString ScanTitle = QStringLiteral("Scanning COM ports for System Controller");
inline QString scanLineHead(int n) {
    return QStringLiteral("            COM") + QString::number(n) + QStringLiteral(":  ");
}
inline const QString PortNotFound = QStringLiteral("port not found");
inline const QString PortBusy = QStringLiteral("port busy");
inline const QString ControllerFoundOnPort = QStringLiteral("System Controller found");
inline const QString ControllerNotFoundOnPort = QStringLiteral("System Controller not found");

inline const QString NoPortAssigned = QStringLiteral("No COM port assigned to System Controller");
inline QString storedPortBusy(int n) {
    return QStringLiteral("System Controller port COM") + QString::number(n) + QStringLiteral(" is busy");
}
inline QString storedPortMissing(int n) {
    return QStringLiteral("System Controller port COM") + QString::number(n) +
           QStringLiteral(" does not exist");
}
inline QString notFoundOn(int n) {
    return QStringLiteral("System Controller not found on COM") + QString::number(n);
}
inline const QString NoPorts = QStringLiteral("No COM ports found on this computer");
inline const QString PortsFound = QStringLiteral("COM ports found:");
inline const QString Choices =
    QStringLiteral("Select what you want to do:\n\n"
                   "Scan: automatically scan all available COM ports for the System Controller\r\r"
                   "Exit: exit the program\r\r"
                   "Continue: continue without the System Controller - the program will have limited "
                   "functionality but can be used, for example, to examine data or use the stress/strain "
                   "calculator");
inline const QString ChooseTitle = QStringLiteral("SCAN FOR SYSTEM CONTROLLER");
inline const QString Scan = QStringLiteral("&Scan");
inline const QString ExitProgram = QStringLiteral("&Exit program");
inline const QString Continue = QStringLiteral("&Continue");
inline const QString Checklist = QStringLiteral(
    "Make sure:\r\n"
    "  1. System Controller is turned on with the power light NOT flashing\r"
    "  2. Serial cable is securely connected between System Controller RUN port and PC COM port "
    "or the USB/Serial adapter cable\r"
    "  3. Program/Run switch is set to Run\r"
    "  4. Stop any programs on the PC accessing the COM port\r"
    "  5. Check the System Controller firmware is up-to-date\r\r");
inline const QString RescanPrefix = QStringLiteral("No System Controller found!  Re-scan?\r\r");
inline QString exitNoController() {
    return QStringLiteral("No System Controller - ") + ProductIdentity::AppTitle +
           QStringLiteral(" is ending");
}
inline QString scanCancelled() {
    return QStringLiteral("Scan cancelled - ") + ProductIdentity::AppTitle + QStringLiteral(" is ending");
}
inline const QString FoundTitle = QStringLiteral("SYSTEM CONTROLLER FOUND");
inline QString foundOn(int n, const QString& version) {
    return QStringLiteral("System Controller found on COM") + QString::number(n) +
           QStringLiteral("\r\nFirmware version ") + version;
}

} // namespace ControllerTexts
