#include "experiments/HoldRecorder.h"

void HoldRecorder::Start(double recordPeriod) {
    m_period = recordPeriod > 0 ? recordPeriod : 0;
    m_spreadPeriod = m_period;
    m_spread.clear();
    m_spread.reserve(SpreadCapacity);
    m_tailNext = 0;
    m_tailCount = 0;
    m_offered = 0;
}

bool HoldRecorder::Sample(const HoldSample& sample) {
    ++m_offered;
    bool taken = false;
    // Times a little short of the period still count: polls do not come exactly on time.
    const double slack = 0.9;
    if (m_tailCount == 0 ||
        sample.time - m_tail[size_t((m_tailNext + TailCapacity - 1) % TailCapacity)].time >=
            slack * m_period) {
        m_tail[size_t(m_tailNext)] = sample;
        m_tailNext = (m_tailNext + 1) % TailCapacity;
        m_tailCount = qMin(m_tailCount + 1, TailCapacity);
        taken = true;
    }
    if (m_spread.empty() || sample.time - m_spread.back().time >= slack * m_spreadPeriod) {
        if (int(m_spread.size()) == SpreadCapacity) {
            // Full: every second sample goes (the first stays) and the period doubles.
            size_t kept = 0;
            for (size_t i = 0; i < m_spread.size(); i += 2)
                m_spread[kept++] = m_spread[i];
            m_spread.resize(kept);
            m_spreadPeriod *= 2;
            if (sample.time - m_spread.back().time < slack * m_spreadPeriod)
                return taken;
        }
        m_spread.push_back(sample);
        taken = true;
    }
    return taken;
}

std::vector<HoldSample> HoldRecorder::Samples() const {
    std::vector<HoldSample> out;
    out.reserve(size_t(Capacity));
    const int first = (m_tailNext + TailCapacity - m_tailCount) % TailCapacity;
    const double tailStart = m_tailCount > 0 ? m_tail[size_t(first)].time : 0;
    for (const HoldSample& s : m_spread)
        if (m_tailCount == 0 || s.time < tailStart)
            out.push_back(s);
    for (int i = 0; i < m_tailCount; ++i)
        out.push_back(m_tail[size_t((first + i) % TailCapacity)]);
    return out;
}
