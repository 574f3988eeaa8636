#pragma once

#include "app/MainActions.h"
#include "app/frmMain.h"
#include "instrument/ControllerLink.h"
#include "instrument/LoadCell.h"
#include "instrument/Motion.h"
#include "instrument/RunState.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "tests/instrument/LinkRig.h"

#include <QTemporaryDir>

// The main window with its services, on a settings file in a temporary folder and with no System
// Controller unless a test says it was found.
template <class Op = StrictOperator> struct MainRigWith {
    QTemporaryDir dir;
    Op op;
    ThrowingEnd end;
    Parameters params;
    SettingsStore store{dir.filePath(QStringLiteral("settings.ini"))};
    ParameterTable table{params, store, op};
    ControllerLink link{op, end, params};
    LoadCell loadCell{params, store};
    RunState run;
    Motion motion{link, loadCell, params, run, op};
    MainActions actions{params, op, link, loadCell, motion};
    frmMain window{MainServices{params, table, actions, link, loadCell, motion, run}};

    // A calibration of channel 0: 100 au per newton, 100 au at no load; readings give counts.
    void calibrate(const std::function<qint32()>& counts = {}) {
        LoadCalibration& r = loadCell.record(0);
        r.SerialNumber = QStringLiteral("SIM-2041");
        r.Slope = CalField::number(100);
        r.SlopeError = CalField::number(0.1);
        r.Intercept = CalField::number(100);
        r.InterceptError = CalField::number(0.5);
        loadCell.setLoadCountSource(counts);
    }

    template <class W> W* find(const char* name) const { return window.findChild<W*>(QLatin1String(name)); }
};
using MainRig = MainRigWith<>;
