#include "experiments/NewCalibration.h"

#include "base/Operator.h"
#include "experiments/CalibrationTexts.h"
#include "instrument/ControllerLink.h"
#include "params/NumberEntry.h"
#include "params/NumberFormat.h"
#include "params/SettingText.h"
#include "results/Chart.h"
#include "results/ChartData.h"
#include "results/LineFit.h"

#include <cmath>

namespace T = CalibrationTexts;

namespace {
constexpr double MassLimit = 1000000; // in the selected unit; far beyond any load cell

CalField fitField(const std::optional<double>& value) {
    return value ? CalField::number(*value) : CalField{false, 0, LineFitResult::text(value)};
}

bool hasLine(const LoadCalibration& r) {
    return r.Slope.numeric && r.Intercept.numeric && r.Slope.value != 0;
}
} // namespace

NewCalibration::NewCalibration(LoadCell& cell, ControllerLink& link, Operator& op, SettingsStore& store)
    : m_cell(cell), m_link(link), m_op(op), m_store(store),
      m_working(LoadCalibration::uncalibrated(qint16(cell.channel()))) {}

QString NewCalibration::unitCaption(int unit) {
    return T::Units.value(qBound(0, unit, 2));
}

void NewCalibration::Open() {
    const QString currentSerial = m_cell.current().SerialNumber;
    if (m_working.SerialNumber.isEmpty() && !currentSerial.isEmpty() &&
        m_op.msgBox(T::SameSerialQuestion, MsgStyle::YesNo | MsgStyle::Question, T::SerialTitle) ==
            MsgResult::Yes)
        m_working.SerialNumber = currentSerial;
    if (CalCount() == 0)
        m_working.Channel = qint16(m_cell.channel());
    SendSampling();
    // The stored unit gets its range before it becomes a number of the window: anything but one of
    // the three offered (a damaged or hand-edited store) falls back to kilograms.
    const auto unit = toNumber(GetSettingText(m_store, true, T::UnitsKey, QStringLiteral("0")));
    const bool offered =
        unit && *unit >= double(Kilogram) && *unit <= double(Pound) && *unit == std::floor(*unit);
    setUnit(offered ? int(*unit) : Kilogram);
    m_snap = toBoolean(GetSettingText(m_store, true, T::SnapKey, booleanText(false))).value_or(false);
}

void NewCalibration::Close(bool visible) {
    if (visible && CalCount() > 2 && m_working.Slope.numeric && m_working.Intercept.numeric &&
        m_op.msgBox(T::UseNew, MsgStyle::YesNo | MsgStyle::Exclamation, T::UseNewTitle) == MsgResult::Yes) {
        LoadCalibration record = m_working;
        record.Channel = qint16(m_cell.channel());
        m_cell.current() = record;
    }
    SaveSettingText(m_store, true, T::UnitsKey, QString::number(m_unit));
    SaveSettingText(m_store, true, T::SnapKey, booleanText(m_snap));
}

QString NewCalibration::signalText(double signal) const {
    QString text = formatPattern(signal, QStringLiteral("0.0")) + QStringLiteral(" au\n");
    if (CalCount() < 2 || !hasLine(m_working))
        return text + T::NoEstimate;
    const double load = (signal - m_working.Intercept.value) / m_working.Slope.value;
    return text + formatPattern(load, QStringLiteral("0.00")) + QStringLiteral(" N");
}

std::optional<long> NewCalibration::estimatedGrams(double signal) const {
    if (CalCount() < 2 || !hasLine(m_working))
        return std::nullopt;
    const double load = (signal - m_working.Intercept.value) / m_working.Slope.value;
    return std::lround(100 * load / 0.981);
}

bool NewCalibration::AddPoint(const QString& loadText) {
    return AddPoint(loadText, m_cell.ReadSignal());
}

bool NewCalibration::AddPoint(const QString& loadText, double signal) {
    if (CalCount() >= LoadCell::MaxCalibrationPoints) {
        m_op.msgBox(T::TableFull, MsgStyle::OkOnly | MsgStyle::Exclamation);
        return false;
    }
    const bool snapping = snapMode();
    const int unit = snapping ? Gram : m_unit;
    double typed = 0;
    if (CheckNumber(m_op, loadText, T::LoadDescription, unitCaption(unit), -MassLimit, MassLimit, typed))
        return false;

    CalibrationPoint point;
    double kilograms = 0;
    if (snapping) {
        const double grams = std::floor((typed + 50) / 100) * 100;
        kilograms = grams / 1000;
        point.label = QString::number(qint64(grams)) + QStringLiteral(" g");
    } else {
        kilograms = unit == Gram ? typed / 1000 : unit == Pound ? typed * KilogramsPerPound : typed;
        point.label = loadText.trimmed() + QLatin1Char(' ') + unitCaption(unit);
    }
    point.load = kilograms * Gravity;
    point.signal = signal;
    m_cell.points().append(point);
    Refit();
    return true;
}

void NewCalibration::AskDeletePoint() {
    const std::optional<QString> answer = m_op.inputBox(T::DeletePointPrompt, T::DeletePointTitle, QString());
    if (!answer || answer->trimmed().isEmpty())
        return;
    QString text = *answer;
    qint32 index = 0;
    if (CheckRange(m_op, text, 1, CalCount(), index))
        DeletePoint(index);
}

void NewCalibration::ConfirmDeletePoint(int index) {
    if (index < 1 || index > CalCount())
        return;
    if (m_op.msgBox(T::deletePointQuestion(index), MsgStyle::YesNo | MsgStyle::Question,
                    T::DeletePointTitle) == MsgResult::Yes)
        DeletePoint(index);
}

void NewCalibration::DeletePoint(int index) {
    if (index < 1 || index > CalCount())
        return;
    m_cell.points().removeAt(index - 1);
    Refit();
}

void NewCalibration::DeleteAll() {
    if (m_op.msgBox(T::DeleteAllQuestion, MsgStyle::YesNo | MsgStyle::Exclamation, T::DeleteAllTitle) !=
        MsgResult::Yes)
        return;
    m_cell.ClearCalibrationPoints();
    Refit();
}

void NewCalibration::Refit() {
    QList<CalibrationPoint>& points = m_cell.points();
    QList<double> loads, levels;
    for (const CalibrationPoint& p : points) {
        loads.append(p.load);
        levels.append(p.signal);
    }
    const LineFitResult fit = LineFit(loads, levels);
    m_working.Slope = fitField(fit.m);
    m_working.SlopeError = fitField(fit.delm);
    m_working.Intercept = fitField(fit.c);
    m_working.InterceptError = fitField(fit.delc);
    m_working.FitB = fitField(fit.b);
    m_working.FitBErr = fitField(fit.delb);
    m_working.MeanLoad = fitField(fit.xbar);
    m_working.ZeroOffset = CalField::number(0);
    // Residues of an earlier, larger fit would mislead: without a fit to three points there are none.
    const bool residues = points.size() >= 3 && fit.m && fit.c;
    for (CalibrationPoint& p : points)
        p.residue = residues ? p.signal - (*fit.m * p.load + *fit.c) : 0;
}

QList<QStringList> NewCalibration::tableRows() const {
    QList<QStringList> rows{T::GridHeader};
    const bool residues = CalCount() >= 3 && m_working.Slope.numeric && m_working.Intercept.numeric;
    for (int i = 0; i < CalCount(); ++i) {
        const CalibrationPoint& p = points()[i];
        rows.append({QString::number(i + 1), p.label, fixedText(p.load, 3), fixedText(p.signal, 1),
                     residues ? fixedText(p.residue, 2) : QString()});
    }
    return rows;
}

QString NewCalibration::tableText() const {
    QString text;
    for (const QStringList& row : tableRows())
        text += row.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    return text;
}

void NewCalibration::fillSignalChart(ChartData& chart) const {
    InitXYChart(chart, 2);
    chart.xAxis.title = T::LoadAxis;
    SetYAxisTitle(chart, T::SignalAxis);
    chart.setRowCount(0);
    QList<QPointF> measured;
    double low = 0, high = 0;
    for (const CalibrationPoint& p : points()) {
        measured.append({p.load, p.signal});
        low = measured.size() == 1 ? p.load : qMin(low, p.load);
        high = measured.size() == 1 ? p.load : qMax(high, p.load);
    }
    chart.setCurve(0, measured);
    chart.styles[0].name = T::MeasuredCurve;
    chart.styles[1].name = T::FittedCurve;
    chart.styles[0].showLine = false;
    chart.styles[0].showMarkers = true;
    // The fitted line across the measured loads.
    if (measured.size() >= 2 && hasLine(m_working)) {
        const double m = m_working.Slope.value, c = m_working.Intercept.value;
        chart.setCurve(1, {{low, m * low + c}, {high, m * high + c}});
    }
}

void NewCalibration::fillResidueChart(ChartData& chart) const {
    InitXYChart(chart, 1);
    chart.xAxis.title = T::LoadAxis;
    SetYAxisTitle(chart, T::ResidueAxis);
    chart.setRowCount(0);
    QList<QPointF> residues;
    if (CalCount() >= 3 && m_working.Slope.numeric && m_working.Intercept.numeric)
        for (const CalibrationPoint& p : points())
            residues.append({p.load, p.residue});
    chart.setCurve(0, residues);
    chart.styles[0].name = T::ResidueCurve;
    chart.styles[0].showLine = false;
    chart.styles[0].showMarkers = true;
}

void NewCalibration::TestStatistics() {
    m_link.GetAdcData();
    SendSampling();
}

void NewCalibration::SendSampling() {
    m_link.SetLoadSampling(m_cell.channel(), 256, -1, 4090);
}
