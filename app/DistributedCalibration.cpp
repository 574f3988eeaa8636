#include "app/DistributedCalibration.h"

#include "app/StartupTexts.h"
#include "experiments/CalibrationFile.h"
#include "instrument/LoadCell.h"

#include <QDir>

QString DistributedCalibration::fileFor(const QString& folder, const QString& serial) {
    return QDir(folder).filePath(serial + QStringLiteral(".cal"));
}

QString DistributedCalibration::takeIfUncalibrated(LoadCell& cell, const QString& folder,
                                                   const QString& serial) {
    if (cell.currentIsCalibrated() || serial.isEmpty())
        return {};
    const QString file = fileFor(folder, serial);
    const std::optional<QString> text = CalibrationFile::read(file);
    if (!text)
        return {};
    const std::optional<LoadCalibration> record = CalibrationFile::parse(*text);
    // Another cell's file under this name, or a channel the instrument does not have, is left for
    // the operator to sort out in the calibration window.
    if (!record || record->SerialNumber != serial || record->Channel < 0 || record->Channel > 2)
        return {};
    cell.record(record->Channel) = *record;
    cell.setChannel(record->Channel);
    cell.SaveCalibrations();
    return StartupTexts::DistributedCalibrationTaken(QDir::toNativeSeparators(file));
}
