#pragma once

#include "instrument/LoadCalibration.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

struct Parameters;
class ControllerLink;
class SettingsStore;

// One point of a calibration in progress.
struct CalibrationPoint {
    double load = 0;   // N
    double signal = 0; // au
    double residue = 0;
    QString label; // the mass as entered, e.g. "500 g"
};

// The load cell: three channel calibrations, the channel in use (ADchannel) and the conversions
// between A/D signal sums and newtons.
class LoadCell {
public:
    static constexpr int MaxCalibrationPoints = 30;

    LoadCell(Parameters& parameters, SettingsStore& store);

    // Where the raw load-count field of a status reply comes from (one "L" exchange); nothing when
    // the reply was garbled.
    void setLoadCountSource(std::function<std::optional<qint32>()> source) {
        m_loadCounts = std::move(source);
    }
    // Told when readings have stayed garbled for as long as a reply may take; returns when the
    // operator has chosen to try again.
    void setGarbledHandler(std::function<void()> handler) { m_garbled = std::move(handler); }
    // Both of the above from the System Controller's link.
    void readFrom(ControllerLink& link);

    void LoadCalibrations();
    void SaveCalibrations();
    // Whether the stored calibrations have been read; until then the records are placeholders that
    // must never be written back over them.
    bool CalibrationsLoaded() const { return m_loaded; }
    // The stored records just read whose slope cannot be right; each text tells the operator why the
    // channel counts as not calibrated.
    QStringList UnusableCalibrations() const;
    void ClearCalibrationPoints() { m_points.clear(); }

    LoadCalibration& record(int channel) { return m_records.at(size_t(channel)); }
    const LoadCalibration& record(int channel) const { return m_records.at(size_t(channel)); }
    LoadCalibration& current();
    const LoadCalibration& current() const;
    bool currentIsCalibrated() const { return IsCalibrated(current()); }
    int channel() const;
    // The A/D channel in use (ADchannel), bounded to the three channels.
    void setChannel(int channel);

    double SignalToLoad(double signal, int channel) const;
    qint16 LoadToSignal(double load) const;
    // One reading: nothing when the reply was garbled (live displays keep what they showed).
    std::optional<double> SampleSignal();
    std::optional<double> SampleLoad();
    // A reading that is used as a measurement: a garbled reply is asked again.
    double ReadSignal();
    double ReadLoad();

    // Follows every "l" command; the divisor of every load-count field.
    int SamplesPerReading() const { return m_samplesPerReading; }
    void setSamplesPerReading(int samples) { m_samplesPerReading = samples > 0 ? samples : 1; }

    QList<CalibrationPoint>& points() { return m_points; }

private:
    Parameters& m_params;
    SettingsStore& m_store;
    std::array<LoadCalibration, 3> m_records;
    std::function<std::optional<qint32>()> m_loadCounts;
    std::function<void()> m_garbled;
    int m_samplesPerReading = 1;
    bool m_loaded = false;
    QList<CalibrationPoint> m_points;
};
