#include "experiments/LoadTimeRecorder.h"

#include "instrument/ApTimer.h"

#include <utility>

LoadTimeRecorder::LoadTimeRecorder(QObject* parent) : QObject(parent) {
    m_clock = [] { return double(ApTimer::Now()) / double(ApTimer::CounterFrequency()); };
}

void LoadTimeRecorder::LtStart(float recordPeriod) {
    m_wrapped = false;
    m_index = 1;
    m_loadStep = DefaultLoadStep;
    m_nextLoad = 0;
    m_period = recordPeriod;
    m_breakSlot = 0;
    m_brokenSlot = 0;
    m_deadline = m_clock() + double(recordPeriod);
}

bool LoadTimeRecorder::LtSample(float currentLoad, qint32 position, double timeSeconds,
                                double commandedSpeed) {
    const double now = m_clock();
    if (now < m_deadline && !(currentLoad > m_nextLoad))
        return false;
    m_deadline = now + double(m_period);
    m_nextLoad += m_loadStep;
    const auto slot = size_t(m_index - 1);
    m_load[slot] = double(currentLoad);
    m_position[slot] = position;
    m_time[slot] = timeSeconds;
    m_speed[slot] = commandedSpeed;
    if (++m_index > Capacity) {
        m_index = 1;
        m_wrapped = true;
    }
    emit sampleTaken(timeSeconds, double(currentLoad), position, commandedSpeed);
    return true;
}

void LoadTimeRecorder::swapSlots(int a, int b) {
    m_breakSlot = 0;
    m_brokenSlot = 0;
    const auto i = size_t(a - 1);
    const auto j = size_t(b - 1);
    std::swap(m_load[i], m_load[j]);
    std::swap(m_position[i], m_position[j]);
    std::swap(m_time[i], m_time[j]);
    std::swap(m_speed[i], m_speed[j]);
    std::swap(m_stress[i], m_stress[j]);
    std::swap(m_strain[i], m_strain[j]);
}

void LoadTimeRecorder::reorder(const std::vector<int>& order) {
    m_breakSlot = 0;
    m_brokenSlot = 0;
    auto apply = [&order](auto& array) {
        auto copy = array;
        for (size_t i = 0; i < order.size(); ++i)
            array[i] = copy[size_t(order[i] - 1)];
    };
    apply(m_load);
    apply(m_position);
    apply(m_time);
    apply(m_speed);
    apply(m_stress);
    apply(m_strain);
}
