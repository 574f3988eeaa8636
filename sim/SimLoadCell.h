#pragma once

#include <QtGlobal>

class SimRandom;
struct SimConfig;

// Statistics of the samples of one reading, taken sample by sample.
struct SimSampleStats {
    qint64 sum = 0;
    int minimum = 0;
    int maximum = 0;
    double mean = 0;
    double deviation = 0;
};

// The load cell amplifier and the 12-bit converter behind it, with the sampling set by "l".
class SimLoadCell {
public:
    static constexpr int FullScale = 4095;
    static constexpr int MaxSamples = 256;

    int channel() const { return m_channel; }
    int samples() const { return m_samples; }
    quint16 recording() const { return m_recording; }
    quint16 threshold() const { return m_threshold; }

    // "l": a channel outside 0..2 keeps the current one; samples are held to 1..256.
    void setSampling(int channel, int samples, quint16 recording, quint16 threshold);

    // Noiseless signal of the current channel for a load, in au, clipped to the converter.
    double signal(double loadN, const SimConfig& config) const;
    // Average of one reading's samples, with noise, clipped to the converter.
    double readAverage(double loadN, const SimConfig& config, SimRandom& random) const;
    qint64 sumOf(double average) const { return qRound64(average * m_samples); }
    SimSampleStats readSamples(double loadN, const SimConfig& config, SimRandom& random) const;

private:
    int m_channel = 0;
    int m_samples = 64;
    quint16 m_recording = 0xFFFF;
    quint16 m_threshold = 4090;
};
