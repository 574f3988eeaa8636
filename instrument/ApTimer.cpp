#include "instrument/ApTimer.h"

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;
constexpr qint64 kFrequency = Clock::period::den / Clock::period::num;
qint64 g_frequency = kFrequency;
std::vector<QEventLoop*> g_waits; // innermost last
} // namespace

namespace ApTimer {

qint64 CounterFrequency() {
    return g_frequency;
}

void InitTimer() {
    g_frequency = kFrequency;
}

qint64 Now() {
    return Clock::now().time_since_epoch().count();
}

void SetTimer(IntervalTimer& timer, float seconds) {
    timer.Start = Now();
    timer.Deadline = timer.Start + static_cast<qint64>(std::llround(double(seconds) * double(g_frequency)));
}

void RestartTimer(IntervalTimer& timer) {
    const qint64 interval = timer.Deadline - timer.Start;
    timer.Start = Now();
    timer.Deadline = timer.Start + interval;
}

bool Expired(const IntervalTimer& timer) {
    return Now() > timer.Deadline;
}

double ElapsedSeconds(const IntervalTimer& timer) {
    return double(Now() - timer.Start) / double(g_frequency);
}

double RemainingSeconds(const IntervalTimer& timer) {
    return double(timer.Deadline - Now()) / double(g_frequency);
}

bool WaitUntil(const IntervalTimer& timer, const std::function<bool()>& stop) {
    QEventLoop loop;
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
    g_waits.push_back(&loop);
    bool stopped = false;
    for (;;) {
        if (stop && stop()) {
            stopped = true;
            break;
        }
        const double remaining = RemainingSeconds(timer);
        if (remaining < 0 || Expired(timer))
            break;
        // Round up so that one wake-up normally lands just past the deadline.
        wake.start(int(std::ceil(remaining * 1000.0)));
        loop.exec();
    }
    wake.stop();
    g_waits.pop_back();
    return stopped;
}

void Wake() {
    if (!g_waits.empty())
        g_waits.back()->quit();
}

void Delay(double seconds) {
    IntervalTimer timer;
    SetTimer(timer, float(seconds));
    WaitUntil(timer);
}

void DelayMs(double milliseconds) {
    Delay(milliseconds / 1000.0);
}

} // namespace ApTimer
