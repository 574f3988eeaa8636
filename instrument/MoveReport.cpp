#include "instrument/MoveReport.h"

#include "instrument/MotionTexts.h"

std::optional<MoveReport> ReportMoveResult(int moveResult, int reportMask) {
    using namespace MotionTexts;
    reportMask &= ~1;
    struct Row {
        int bit;
        int status;
        const QString& title;
        const QString& text;
    };
    const Row rows[] = {
        {2, MoveStatus::Contact, ContactTitle, Contact},
        {8, MoveStatus::HardLimit, HardLimitTitle, HardLimit},
        {16, MoveStatus::ContactDisabled, NotSafeTitle, ContactDisabled},
        {64, MoveStatus::Overload, NotSafeTitle, Overload},
    };
    if (moveResult == MoveStatus::LocalControl)
        return MoveReport{LocalControlTitle, LocalControl};
    for (const Row& row : rows)
        if (row.status == moveResult && (reportMask & row.bit) != 0)
            return MoveReport{row.title, row.text};
    return std::nullopt;
}
