#include "instrument/LoadCell.h"

#include "base/ProductIdentity.h"
#include "instrument/ApTimer.h"
#include "instrument/ControllerLink.h"
#include "instrument/LoadCellTexts.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"

#include <cmath>

LoadCell::LoadCell(Parameters& parameters, SettingsStore& store) : m_params(parameters), m_store(store) {
    for (qint16 c = 0; c < 3; ++c)
        m_records[size_t(c)] = LoadCalibration::uncalibrated(c);
}

int LoadCell::channel() const {
    return qBound(0, int(m_params.ADchannel), 2);
}

void LoadCell::setChannel(int c) {
    m_params.ADchannel = qint16(qBound(0, c, 2));
}

LoadCalibration& LoadCell::current() {
    return m_records[size_t(channel())];
}

const LoadCalibration& LoadCell::current() const {
    return m_records[size_t(channel())];
}

void LoadCell::LoadCalibrations() {
    const QString& section = ProductIdentity::AppTitle;
    for (qint16 c = 0; c < 3; ++c)
        m_records[size_t(c)] = LoadCalibration::uncalibrated(c);

    LoadCalibration old;
    if (TextToRecord(m_store.getText(section, QStringLiteral("CalibrationParms"), QString()), old)) {
        m_params.ADchannel = old.Channel;
        if (old.Channel >= 0 && old.Channel <= 2)
            m_records[size_t(old.Channel)] = old;
    }
    for (qint16 c = 0; c < 3; ++c) {
        LoadCalibration& r = m_records[size_t(c)];
        const QString stored =
            m_store.getText(section, QStringLiteral("CalibrationData") + QString::number(c), RecordToText(r));
        TextToRecord(stored, r);
        r.Channel = c;
    }
    const int ad = m_params.ADchannel;
    if (ad < 0 || ad > 2 || !IsCalibrated(m_records[size_t(ad)])) {
        m_params.ADchannel = 0;
        for (qint16 c = 2; c >= 0; --c)
            if (IsCalibrated(m_records[size_t(c)]))
                m_params.ADchannel = c;
    }
    m_points.clear();
    m_loaded = true;
}

QStringList LoadCell::UnusableCalibrations() const {
    QStringList notes;
    for (int c = 0; c < 3; ++c)
        if (HasUnusableSlope(m_records[size_t(c)]))
            notes << LoadCellTexts::unusableSlope(c, m_records[size_t(c)].Slope.value);
    return notes;
}

void LoadCell::SaveCalibrations() {
    for (int c = 0; c < 3; ++c)
        m_store.saveText(ProductIdentity::AppTitle, QStringLiteral("CalibrationData") + QString::number(c),
                         RecordToText(m_records[size_t(c)]));
    m_store.sync();
}

double LoadCell::SignalToLoad(double signal, int ch) const {
    const LoadCalibration& r = m_records.at(size_t(qBound(0, ch, 2)));
    const double slope = r.Slope.toDouble();
    // A record read from a damaged store may carry a zero slope: read it as no load, not infinity.
    if (slope == 0)
        return 0;
    return (signal - r.Intercept.toDouble() - r.ZeroOffset.toDouble()) / slope;
}

qint16 LoadCell::LoadToSignal(double load) const {
    const LoadCalibration& r = current();
    const double signal = r.Slope.toDouble() * load + r.Intercept.toDouble() + r.ZeroOffset.toDouble();
    return qint16(std::lround(qBound(-32768.0, signal, 32767.0)));
}

void LoadCell::readFrom(ControllerLink& link) {
    m_loadCounts = [&link]() -> std::optional<qint32> {
        const LoadStatus status = link.GetLoadStatus();
        if (!status.valid)
            return std::nullopt;
        return status.loadCounts;
    };
    m_garbled = [&link] { link.GarbledTimeout(QStringLiteral("L")); };
}

std::optional<double> LoadCell::SampleSignal() {
    if (!m_loadCounts)
        return 0.0;
    const std::optional<qint32> counts = m_loadCounts();
    if (!counts)
        return std::nullopt;
    return double(*counts) / double(m_samplesPerReading);
}

std::optional<double> LoadCell::SampleLoad() {
    if (!currentIsCalibrated())
        return 0.0;
    const std::optional<double> signal = SampleSignal();
    if (!signal)
        return std::nullopt;
    return SignalToLoad(*signal, channel());
}

double LoadCell::ReadSignal() {
    // Garbled replies are no reading: ask again, and after as long as a reply may take, like a
    // reply that does not come, let the operator retry or end.
    IntervalTimer garbled;
    bool garbling = false;
    for (;;) {
        if (const std::optional<double> signal = SampleSignal())
            return *signal;
        if (!garbling) {
            ApTimer::SetTimer(garbled, ControllerLink::SilenceSeconds);
            garbling = true;
        } else if (ApTimer::Expired(garbled)) {
            if (!m_garbled) {
                qWarning("LoadCell: no valid reading and nobody to ask");
                return 0;
            }
            m_garbled();
            garbling = false;
        }
    }
}

double LoadCell::ReadLoad() {
    if (!currentIsCalibrated())
        return 0;
    return SignalToLoad(ReadSignal(), channel());
}
