#pragma once

#include <QString>
#include <QtGlobal>

// One field of a calibration record: a number, or a text such as "------" for a channel never fitted.
struct CalField {
    bool numeric = false;
    double value = 0;
    QString text;

    static CalField number(double v) { return {true, v, {}}; }
    static CalField textual(const QString& t);
    // The stored text form: numbers in one fixed, locale-independent form that reads back exactly.
    QString toText() const;
    double toDouble() const { return numeric ? value : 0.0; }
};

// The load-cell calibration of one A/D channel: signal (au) = Slope * load (N) + Intercept + ZeroOffset.
struct LoadCalibration {
    QString SerialNumber;
    qint16 Channel = 0;
    CalField Slope, SlopeError, Intercept, InterceptError, FitB, FitBErr, MeanLoad;
    CalField ZeroOffset; // text "" when absent

    static LoadCalibration uncalibrated(qint16 channel);
    bool operator==(const LoadCalibration& other) const;
};

// The smallest slope a calibration may have (au/N): below it every load would read as next to
// nothing (or infinite), and no break could be seen.
inline constexpr double MinimumSlope = 0.00001;
// Calibrated: numeric slope of at least MinimumSlope, numeric slope error other than 0, no field
// that is not finite.
bool IsCalibrated(const LoadCalibration& record);
// A record that has a fit whose slope cannot be right (0, negative, too small): not calibrated.
bool HasUnusableSlope(const LoadCalibration& record);
QString RecordToText(const LoadCalibration& record);
// Replaces the record when the text is accepted (nine or ten fields, numeric channel and slope).
bool TextToRecord(const QString& text, LoadCalibration& record);
// One-line description for windows ("uncalibrated" or serial, slope and intercept with their errors).
QString CalibrationText(const LoadCalibration& record);
// Signal at zero load: the fitted intercept plus the tare.
double ZeroSignal(const LoadCalibration& record);
