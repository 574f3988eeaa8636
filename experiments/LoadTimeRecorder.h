#pragma once

#include <QObject>
#include <array>
#include <functional>
#include <vector>

// The load/time recorder of a break run: a ring of the last 1000 samples of load, position, time
// and commanded speed. A sample is taken at least every record period, and once more for every
// 0.2 N the load climbs, so a fast rise is not thinned out. Slots count from 1, as LtIndex does.
class LoadTimeRecorder : public QObject {
    Q_OBJECT
public:
    static constexpr int Capacity = 1000;
    static constexpr float DefaultLoadStep = 0.2f;

    explicit LoadTimeRecorder(QObject* parent = nullptr);

    // Seconds on a steady clock for the record timer; the program's performance counter by default.
    void setClock(std::function<double()> seconds) { m_clock = std::move(seconds); }

    void LtStart(float recordPeriod);
    // Stores a sample when the record period has passed or the load is above the next threshold;
    // returns whether it did.
    bool LtSample(float currentLoad, qint32 position, double timeSeconds, double commandedSpeed);

    // Slot k (1..Capacity) of each array.
    double& LtLoad(int k) { return m_load[size_t(k - 1)]; }
    qint32& LtPosition(int k) { return m_position[size_t(k - 1)]; }
    double& LtTime(int k) { return m_time[size_t(k - 1)]; }
    double& LtSpeed(int k) { return m_speed[size_t(k - 1)]; }
    double& LtStress(int k) { return m_stress[size_t(k - 1)]; }
    double& LtStrain(int k) { return m_strain[size_t(k - 1)]; }
    double LtLoad(int k) const { return m_load[size_t(k - 1)]; }
    qint32 LtPosition(int k) const { return m_position[size_t(k - 1)]; }
    double LtTime(int k) const { return m_time[size_t(k - 1)]; }
    double LtSpeed(int k) const { return m_speed[size_t(k - 1)]; }
    double LtStress(int k) const { return m_stress[size_t(k - 1)]; }
    double LtStrain(int k) const { return m_strain[size_t(k - 1)]; }

    int LtIndex() const { return m_index; }
    void setLtIndex(int index) { m_index = index; }
    bool LtWrapped() const { return m_wrapped; }
    float LtNextLoad() const { return m_nextLoad; }
    void setLtNextLoad(float load) { m_nextLoad = load; }
    float LtLoadStep() const { return m_loadStep; }
    float RecordPeriod() const { return m_period; }
    // Samples held: the whole ring once it has wrapped.
    int SampleCount() const { return m_wrapped ? Capacity : m_index - 1; }
    // The slot the last sample went to (0 before any).
    int LastSlot() const { return m_index > 1 ? m_index - 1 : (m_wrapped ? Capacity : 0); }

    // The break reading the controller kept (its peak, taken after the pull) and the poll that saw
    // the fiber broken, by slot (0: none). Their clock readings may tie or even cross, but the order
    // of the two is known: the peak came first. Cleared by LtStart and by the analysis' reordering.
    void markBreak(int breakReadingSlot, int brokenPollSlot) {
        m_breakSlot = breakReadingSlot;
        m_brokenSlot = brokenPollSlot;
    }
    int BreakReadingSlot() const { return m_breakSlot; }
    int BrokenPollSlot() const { return m_brokenSlot; }

    // Swaps two slots in every array.
    void swapSlots(int a, int b);
    // Puts slot order[i] into slot i + 1 in every array (order holds slots 1..n once each).
    void reorder(const std::vector<int>& order);

signals:
    // Every stored sample, as it was stored (for live displays).
    void sampleTaken(double timeSeconds, double load, qint32 position, double commandedSpeed);

private:
    std::function<double()> m_clock;
    std::array<double, Capacity> m_load{};
    std::array<qint32, Capacity> m_position{};
    std::array<double, Capacity> m_time{};
    std::array<double, Capacity> m_speed{};
    std::array<double, Capacity> m_stress{};
    std::array<double, Capacity> m_strain{};
    int m_index = 1;
    bool m_wrapped = false;
    float m_loadStep = DefaultLoadStep;
    float m_nextLoad = 0;
    float m_period = 0;
    double m_deadline = 0;
    int m_breakSlot = 0;
    int m_brokenSlot = 0;
};
