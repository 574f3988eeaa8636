#pragma once

#include <QLocale>
#include <QString>

// Texts the load cell puts before the operator.
namespace LoadCellTexts {

inline const QString UnusableSlopeTitle = QStringLiteral("LOAD CELL NOT CALIBRATED");
inline QString unusableSlope(int channel, double slope) {
    return QStringLiteral("The stored calibration of channel ") + QString::number(channel) +
           QStringLiteral(" has a slope of ") + QLocale::c().toString(slope, 'g', 6) +
           QStringLiteral(" au/N, which cannot turn signals into loads. Channel ") +
           QString::number(channel) +
           QStringLiteral(" counts as not calibrated: calibrate it again or load its calibration file.");
}

} // namespace LoadCellTexts
