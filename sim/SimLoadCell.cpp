#include "sim/SimLoadCell.h"

#include "sim/SimConfig.h"
#include "sim/SimRandom.h"

#include <algorithm>
#include <cmath>

void SimLoadCell::setSampling(int channel, int samples, quint16 recording, quint16 threshold) {
    if (channel >= 0 && channel <= 2)
        m_channel = channel;
    m_samples = std::clamp(samples, 1, MaxSamples);
    m_recording = recording;
    m_threshold = threshold;
}

double SimLoadCell::signal(double loadN, const SimConfig& config) const {
    const auto c = size_t(m_channel);
    return std::clamp(config.intercept[c] + config.gain[c] * loadN, 0.0, double(FullScale));
}

double SimLoadCell::readAverage(double loadN, const SimConfig& config, SimRandom& random) const {
    const auto c = size_t(m_channel);
    // The mean of n noisy samples scatters by sigma / sqrt(n); one deviate stands for them all.
    const double raw = config.intercept[c] + config.gain[c] * loadN +
                       random.normal() * config.noiseAu / std::sqrt(double(m_samples));
    return std::clamp(raw, 0.0, double(FullScale));
}

SimSampleStats SimLoadCell::readSamples(double loadN, const SimConfig& config, SimRandom& random) const {
    const auto c = size_t(m_channel);
    const double level = config.intercept[c] + config.gain[c] * loadN;
    SimSampleStats stats;
    stats.minimum = FullScale;
    double squares = 0;
    for (int i = 0; i < m_samples; ++i) {
        const int v = std::clamp(int(std::lround(level + random.normal() * config.noiseAu)), 0, FullScale);
        stats.sum += v;
        squares += double(v) * v;
        stats.minimum = std::min(stats.minimum, v);
        stats.maximum = std::max(stats.maximum, v);
    }
    stats.mean = double(stats.sum) / m_samples;
    const double variance =
        m_samples > 1 ? (squares - m_samples * stats.mean * stats.mean) / (m_samples - 1) : 0;
    stats.deviation = std::sqrt(std::max(0.0, variance));
    return stats;
}
