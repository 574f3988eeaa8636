#pragma once

#include <QtGlobal>
#include <array>
#include <vector>

// One load/time sample of a hold.
struct HoldSample {
    double time = 0; // s, controller time
    double load = 0; // N, as measured
    qint32 position = 0;
    double speed = 0; // steps/s commanded
};

// The load/time record of a static hold, which may last days: at most Capacity samples in all. The
// whole hold is kept evenly spread (its record period doubles and every second sample goes whenever
// its store fills), while a short ring keeps the latest samples at the full record period, so the
// stretch just before the break is always seen in full.
class HoldRecorder {
public:
    static constexpr int Capacity = 1000;
    static constexpr int TailCapacity = 100;
    static constexpr int SpreadCapacity = Capacity - TailCapacity;

    void Start(double recordPeriod);
    // Keeps the sample where its time calls for it; returns whether either store took it.
    bool Sample(const HoldSample& sample);

    // Every sample kept, in time order, the full-resolution stretch last.
    std::vector<HoldSample> Samples() const;
    double SpreadPeriod() const { return m_spreadPeriod; }
    double RecordPeriod() const { return m_period; }
    // Samples offered since the start.
    qint64 Offered() const { return m_offered; }

private:
    double m_period = 0;
    double m_spreadPeriod = 0;
    std::vector<HoldSample> m_spread;
    std::array<HoldSample, TailCapacity> m_tail{};
    int m_tailNext = 0;
    int m_tailCount = 0;
    qint64 m_offered = 0;
};
