#pragma once

#include "sim/SimConfig.h"

#include <QString>
#include <QStringList>

// The options of stavely-sim, parsed into an instrument configuration.
struct SimCommandLine {
    SimConfig config;
    QString link;
    bool help = false;
    QString helpText;
    QString error; // empty when the arguments are usable

    static SimCommandLine parse(const QStringList& arguments);
};
