#include "app/TimerCheck.h"

#include "app/StartupTexts.h"

QString TimerCheck::failureMessage(qint64 frequency) {
    if (frequency == 0)
        return StartupTexts::NoPrecisionTimer;
    if (frequency < MinimumFrequency)
        return StartupTexts::TimerTooSlow;
    return {};
}
