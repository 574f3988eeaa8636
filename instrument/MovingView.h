#pragma once

#include "instrument/BreakRunHooks.h"

#include <QString>
#include <QtGlobal>
#include <optional>

// The moving window as the move poll loop sees it: it only displays; its stop controls call back
// into Motion.
class MovingView {
public:
    virtual ~MovingView() = default;
    // Shows the window modally (without blocking) with the move's caption.
    virtual void beginMove(const QString& caption) = 0;
    virtual void showMoveLoad(const QString& text) = 0;
    virtual void showMovePosition(qint32 position) = 0;
    // Hides the window and clears the load text.
    virtual void endMove() = 0;
    // One poll of a break run: the load (N) a number of seconds into the move, and the servo's target
    // load when it has one. Moves outside a break run send none.
    virtual void showLivePoint(double seconds, double load, std::optional<double> target) {
        Q_UNUSED(seconds);
        Q_UNUSED(load);
        Q_UNUSED(target);
    }
    // The same poll: which specimen, its stress and how far it is toward a typical break.
    virtual void showRunProgress(double seconds, const RunProgress& progress) {
        Q_UNUSED(seconds);
        Q_UNUSED(progress);
    }
};
