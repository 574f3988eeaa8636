#pragma once

#include "instrument/LoadCalibration.h"
#include "instrument/LoadCell.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <optional>

class ChartData;
class ControllerLink;
class Operator;
class SettingsStore;

// A calibration in progress: known masses hung on the load cell, the signal each gives, and the
// straight line fitted through them (signal against load). The points live in the load cell, so a
// calibration survives closing its window; the working record lives here for the same reason.
class NewCalibration {
public:
    enum Unit { Kilogram = 0, Gram = 1, Pound = 2 };
    static constexpr double Gravity = 9.81; // N per kg
    static constexpr double KilogramsPerPound = 0.45359237;

    NewCalibration(LoadCell& cell, ControllerLink& link, Operator& op, SettingsStore& store);

    const LoadCalibration& working() const { return m_working; }
    void setSerialNumber(const QString& serial) { m_working.SerialNumber = serial; }
    const QList<CalibrationPoint>& points() const { return m_cell.points(); }
    int CalCount() const { return int(m_cell.points().size()); }

    // The window opens: offers the current channel's serial number, takes the current channel for a
    // fresh calibration, sets the load sampling and reads the stored unit and snap choices.
    void Open();
    // The window closes: offers the fit as the new calibration when there is one worth having
    // (only while the window is on screen), then stores the unit and snap choices.
    void Close(bool visible);

    int unit() const { return m_unit; }
    void setUnit(int unit) { m_unit = qBound(0, unit, 2); }
    bool snapTo100g() const { return m_snap; }
    void setSnapTo100g(bool snap) { m_snap = snap; }
    // Masses snap to 100 g once the fit can tell the mass from the signal.
    bool snapMode() const { return m_snap && CalCount() >= 2; }
    static QString unitCaption(int unit);

    // The calibration in use on the current channel, in one line.
    QString currentDescription() const { return CalibrationText(m_cell.current()); }
    // The signal on the load cell now (one reading).
    double ReadSignal() { return m_cell.ReadSignal(); }
    // For the live display: nothing when the reply was garbled.
    std::optional<double> SampleSignal() { return m_cell.SampleSignal(); }
    // Live display: the signal and, with 2 points or more, the load the working fit gives for it.
    QString signalText(double signal) const;
    // The mass in grams the working fit gives for the signal; nullopt without a fit.
    std::optional<long> estimatedGrams(double signal) const;

    // Adds a point for the mass typed in loadText (or, in snap mode, the grams shown there) at the
    // signal read now. False, after telling the operator, when the text is not a usable mass.
    bool AddPoint(const QString& loadText);
    bool AddPoint(const QString& loadText, double signal);
    // Input box for an index; an empty answer does nothing.
    void AskDeletePoint();
    // A click on a row (1-based) asks before deleting.
    void ConfirmDeletePoint(int index);
    void DeletePoint(int index); // 1-based, then refits
    void DeleteAll();            // asks first
    void Refit();

    // The grid's cell texts, the header row first.
    QList<QStringList> tableRows() const;
    // The grid as tab-separated lines for the clipboard.
    QString tableText() const;
    // Signal against load, and residue against load.
    void fillSignalChart(ChartData& chart) const;
    void fillResidueChart(ChartData& chart) const;

    // Statistics status ("A"), then the load sampling again.
    void TestStatistics();
    void SendSampling();

private:
    LoadCell& m_cell;
    ControllerLink& m_link;
    Operator& m_op;
    SettingsStore& m_store;
    LoadCalibration m_working;
    int m_unit = Kilogram;
    bool m_snap = false;
};
