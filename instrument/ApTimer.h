#pragma once

#include <QtGlobal>
#include <functional>

// A deadline on the steady clock, in counter ticks.
struct IntervalTimer {
    qint64 Start = 0;
    qint64 Deadline = 0;
};

// Interval timing on the steady clock. Waits run a nested event loop woken by a precise timer,
// so windows stay alive and no core is spent spinning.
namespace ApTimer {
qint64 CounterFrequency(); // counts per second (read by InitTimer)
void InitTimer();
qint64 Now();
void SetTimer(IntervalTimer& timer, float seconds);
void RestartTimer(IntervalTimer& timer);
bool Expired(const IntervalTimer& timer);
double ElapsedSeconds(const IntervalTimer& timer);
double RemainingSeconds(const IntervalTimer& timer);

// Lets window events run until the timer expires or stop() turns true; returns true when stopped early.
bool WaitUntil(const IntervalTimer& timer, const std::function<bool()>& stop = {});
// Wakes the innermost WaitUntil so that it re-checks its stop condition (call after setting a flag).
void Wake();

void Delay(double seconds);
void DelayMs(double milliseconds);
} // namespace ApTimer
