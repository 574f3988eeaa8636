#pragma once

#include "results/ChartData.h"

#include <algorithm>
#include <cmath>

// Two charts hold the same curves, point for point, to the 15 significant digits the program writes
// its numbers with.
inline bool sameWithin15Digits(const ChartData& a, const ChartData& b) {
    auto close = [](double x, double y) {
        return std::abs(x - y) <= 1e-14 * std::max(std::abs(x), std::abs(y)) || x == y;
    };
    if (a.curveCount() != b.curveCount())
        return false;
    for (int c = 0; c < a.curveCount(); ++c) {
        const QList<ChartData::Point> pa = a.curvePoints(c);
        const QList<ChartData::Point> pb = b.curvePoints(c);
        if (pa.size() != pb.size())
            return false;
        for (qsizetype i = 0; i < pa.size(); ++i)
            if (pa[i].row != pb[i].row || !close(pa[i].value.x(), pb[i].value.x()) ||
                !close(pa[i].value.y(), pb[i].value.y()))
                return false;
    }
    return true;
}
