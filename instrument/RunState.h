#pragma once

#include <QtGlobal>

// State shared by the break run, the servo loop and the move poll loop. Owned by Program; touched
// only from the user-interface thread.
struct RunState {
    qint16 BreakRunActive = 0; // 1 during the pull of a break run
    float CurrentLoad = 0;     // N, from the last status reply
    float PeakLoad = 0;        // N, from the controller's peak signal
    float RecordPeriod = 0;    // s between load/time samples; 0 until a break run sets it
    double CommandedSpeed = 0; // steps/s
    qint32 ElapsedMs = 0;      // controller time of the last status reply
};
