#include "instrument/LoadCalibration.h"

#include <QLocale>
#include <QStringList>
#include <cmath>

namespace {
const QString kUnfitted = QStringLiteral("------");

bool parseNumber(const QString& text, double& value) {
    bool ok = false;
    value = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok;
}

bool sameField(const CalField& a, const CalField& b) {
    return a.numeric == b.numeric && (a.numeric ? a.value == b.value : a.text == b.text);
}
} // namespace

CalField CalField::textual(const QString& t) {
    double v = 0;
    if (parseNumber(t, v))
        return number(v);
    return {false, 0, t};
}

QString CalField::toText() const {
    if (!numeric)
        return text;
    return QLocale::c().toString(value, 'g', QLocale::FloatingPointShortest);
}

LoadCalibration LoadCalibration::uncalibrated(qint16 channel) {
    LoadCalibration r;
    r.Channel = channel;
    const CalField unfitted{false, 0, kUnfitted};
    r.Slope = r.SlopeError = r.Intercept = r.InterceptError = r.FitB = r.FitBErr = r.MeanLoad = unfitted;
    r.ZeroOffset = CalField{false, 0, QString()};
    return r;
}

bool LoadCalibration::operator==(const LoadCalibration& o) const {
    return SerialNumber == o.SerialNumber && Channel == o.Channel && sameField(Slope, o.Slope) &&
           sameField(SlopeError, o.SlopeError) && sameField(Intercept, o.Intercept) &&
           sameField(InterceptError, o.InterceptError) && sameField(FitB, o.FitB) &&
           sameField(FitBErr, o.FitBErr) && sameField(MeanLoad, o.MeanLoad) &&
           sameField(ZeroOffset, o.ZeroOffset);
}

bool IsCalibrated(const LoadCalibration& r) {
    // A number that is not finite (a damaged store) would make every load NaN and hide every break.
    for (const CalField* f : {&r.Slope, &r.SlopeError, &r.Intercept, &r.InterceptError, &r.FitB, &r.FitBErr,
                              &r.MeanLoad, &r.ZeroOffset})
        if (f->numeric && !std::isfinite(f->value))
            return false;
    return r.Slope.numeric && r.SlopeError.numeric && r.SlopeError.value != 0 && !HasUnusableSlope(r);
}

bool HasUnusableSlope(const LoadCalibration& r) {
    return r.Slope.numeric && !(r.Slope.value >= MinimumSlope);
}

QString RecordToText(const LoadCalibration& r) {
    QStringList fields;
    fields << QLatin1Char('"') + r.SerialNumber + QLatin1Char('"') << QString::number(r.Channel)
           << r.Slope.toText() << r.SlopeError.toText() << r.Intercept.toText() << r.InterceptError.toText()
           << r.FitB.toText() << r.FitBErr.toText() << r.MeanLoad.toText() << r.ZeroOffset.toText();
    return fields.join(QLatin1Char(','));
}

bool TextToRecord(const QString& text, LoadCalibration& record) {
    const QStringList f = text.trimmed().split(QLatin1Char(','));
    if (f.size() != 9 && f.size() != 10)
        return false;
    double channel = 0, slope = 0;
    if (!parseNumber(f[1], channel) || !parseNumber(f[2], slope))
        return false;
    LoadCalibration r;
    r.SerialNumber = f[0].trimmed().remove(QLatin1Char('"'));
    r.Channel = qint16(qBound(-32768.0, channel, 32767.0));
    r.Slope = CalField::textual(f[2].trimmed());
    r.SlopeError = CalField::textual(f[3].trimmed());
    r.Intercept = CalField::textual(f[4].trimmed());
    r.InterceptError = CalField::textual(f[5].trimmed());
    r.FitB = CalField::textual(f[6].trimmed());
    r.FitBErr = CalField::textual(f[7].trimmed());
    r.MeanLoad = CalField::textual(f[8].trimmed());
    if (f.size() == 10 && !f[9].trimmed().isEmpty())
        r.ZeroOffset = CalField::textual(f[9].trimmed());
    else
        r.ZeroOffset = CalField::number(0);
    record = r;
    return true;
}

double ZeroSignal(const LoadCalibration& r) {
    return r.Intercept.toDouble() + r.ZeroOffset.toDouble();
}

QString CalibrationText(const LoadCalibration& r) {
    if (!IsCalibrated(r))
        return QStringLiteral("uncalibrated");
    const QLocale c = QLocale::c();
    const QString intercept = r.Intercept.numeric ? c.toString(ZeroSignal(r), 'f', 2) : r.Intercept.text;
    return QStringLiteral("Serial # ") + r.SerialNumber + QStringLiteral(":  slope ") +
           c.toString(r.Slope.value, 'f', 3) + QStringLiteral(" \u00B1 ") +
           c.toString(r.SlopeError.value, 'f', 3) + QStringLiteral(" au/N,  intercept ") + intercept +
           QStringLiteral(" \u00B1 ") + c.toString(r.InterceptError.toDouble(), 'f', 2) +
           QStringLiteral(" au");
}
