#include "sim/SimRandom.h"

#include <cmath>

void SimRandom::reseed(quint64 seed) {
    m_engine.seed(seed);
    m_hasSpare = false;
}

double SimRandom::uniform() {
    return double(m_engine() >> 11) * 0x1.0p-53;
}

double SimRandom::normal() {
    if (m_hasSpare) {
        m_hasSpare = false;
        return m_spare;
    }
    // Marsaglia's polar method: two deviates per accepted pair.
    double u, v, s;
    do {
        u = 2 * uniform() - 1;
        v = 2 * uniform() - 1;
        s = u * u + v * v;
    } while (s >= 1 || s == 0);
    const double f = std::sqrt(-2 * std::log(s) / s);
    m_spare = v * f;
    m_hasSpare = true;
    return u * f;
}
