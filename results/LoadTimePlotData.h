#pragma once

#include "results/ChartData.h"

#include <QString>
#include <array>

// What the load/time plot window shows after a break: three charts with their captions, the text of
// the load/time data file and where that file and the picture go.
struct LoadTimePlotData {
    std::array<ChartData, 3> charts;
    std::array<QString, 3> captions;
    QString dataText;
    // Folder and base name of the files written on closing, without the suffix; empty: none.
    QString basePath;
    // What the row is (specimen, sample, operator, rate, stress, date): above the charts and in the
    // saved picture.
    QString title;
};
