#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// What the moving window shows beside the live curve while a fiber is pulled.
struct RunProgress {
    qint32 specimen = 0;
    double stress = 0;          // MPa at the load just read
    double expectedSeconds = 0; // from the start of the pull to a typical break; 0: not known
};

// What the move poll loop calls at every poll while a break run is active: take a load/time
// sample, then let the servo loop correct the speed. Implemented by the break run.
class BreakRunHooks {
public:
    virtual ~BreakRunHooks() = default;
    virtual void LtSample() = 0;
    virtual void svoCheck() = 0;
    // The load the servo steers toward at this poll (rate modes), for the live curve; none by default.
    virtual std::optional<double> TargetLoad() const { return std::nullopt; }
    // The specimen, the stress at a load (N) and the time a typical break takes; none by default.
    virtual std::optional<RunProgress> Progress(double load) const {
        Q_UNUSED(load);
        return std::nullopt;
    }
    // Once per poll of a static hold, after the sample and the correction: false ends the hold (its
    // longest time has passed).
    virtual bool HoldGoesOn() { return true; }
    // The moving window's load line during a hold; empty for the usual one.
    virtual QString HoldText() const { return {}; }
};
