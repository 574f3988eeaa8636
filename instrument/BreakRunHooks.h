#pragma once

// What the move poll loop calls at every poll while a break run is active: take a load/time
// sample, then let the servo loop correct the speed. Implemented by the break run.
class BreakRunHooks {
public:
    virtual ~BreakRunHooks() = default;
    virtual void LtSample() = 0;
    virtual void svoCheck() = 0;
};
