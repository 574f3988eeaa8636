#pragma once

#include <QString>
#include <optional>

// Move endings the System Controller reports in its status byte.
namespace MoveStatus {
enum : int {
    Done = 0,
    OperatorStop = 1,
    Contact = 2,
    Break = 3, // rcBrk
    HardLimit = 4,
    ContactDisabled = 5,
    Overload = 7,
    LocalControl = 10,
    Moving = 11,
    Interrupted = 12,
};
}

struct MoveReport {
    QString title;
    QString text;
    bool operator==(const MoveReport&) const = default;
};

// How a move that ended with moveResult is reported under reportMask, if at all. The operator's own
// stop (bit 1) is never reported; local control (10) always is.
std::optional<MoveReport> ReportMoveResult(int moveResult, int reportMask);
