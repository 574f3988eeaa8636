#pragma once

#include <QString>
#include <QtGlobal>

namespace TimerCheck {
// Counts per second the program needs to resolve its 0.1 s steps finely.
constexpr qint64 MinimumFrequency = 50000;

// The reason the program cannot run with this counter frequency; empty when it can.
QString failureMessage(qint64 frequency);
} // namespace TimerCheck
