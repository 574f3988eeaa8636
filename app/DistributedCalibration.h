#pragma once

#include <QString>

class LoadCell;

// On the simulated instrument the program knows its load cell: a settings store that holds no
// calibration for the channel in use takes the file distributed for that cell ("<serial>.cal" in
// the program's folder) instead of sending a new user through the calibration windows.
namespace DistributedCalibration {
// The file for a load cell's serial number in a folder.
QString fileFor(const QString& folder, const QString& serial);
// Takes the distributed file into the load cell and the settings store when the channel in use is
// uncalibrated. Returns the one line that tells the operator so, or an empty text when nothing was
// taken (already calibrated, no such file, a file that is not a calibration of that cell).
QString takeIfUncalibrated(LoadCell& cell, const QString& folder, const QString& serial);
} // namespace DistributedCalibration
