#pragma once

#include <QtGlobal>
#include <random>

// Seeded generator with its own normal deviates, so a seed gives the same run on every platform.
class SimRandom {
public:
    explicit SimRandom(quint64 seed = 1) : m_engine(seed) {}

    void reseed(quint64 seed);
    double uniform(); // in [0, 1)
    double normal();  // mean 0, standard deviation 1

private:
    std::mt19937_64 m_engine;
    double m_spare = 0;
    bool m_hasSpare = false;
};
