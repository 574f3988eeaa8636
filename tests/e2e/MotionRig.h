#pragma once

#include "instrument/ControllerLink.h"
#include "instrument/LoadCell.h"
#include "instrument/Motion.h"
#include "instrument/RunState.h"
#include "instrument/frmMoving.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "sim/SimServer.h"
#include "tests/instrument/LinkRig.h"
#include "tests/sim/SimTestSupport.h"

#include <QTemporaryDir>
#include <QTest>

// The program's motion over its real serial port, against the simulated System Controller.
struct MotionRig {
    QTemporaryDir dir;
    SimServer sim;
    StrictOperator op;
    ThrowingEnd end;
    Parameters params;
    SettingsStore store{dir.filePath(QStringLiteral("settings.ini"))};
    ControllerLink link{op, end, params};
    LoadCell loadCell{params, store};
    RunState run;
    Motion motion{link, loadCell, params, run, op};
    frmMoving window{motion};

    explicit MotionRig(const SimConfig& config = quiet()) : sim(config) {}

    static SimConfig quiet() {
        SimConfig c = SimTest::quietConfig();
        c.fiberPresent = false; // nothing to pull against unless a test threads one
        return c;
    }

    QString portPath() const { return dir.filePath(QStringLiteral("COM1")); }

    // Serves the simulator and opens the link; the motion state is as after start-up.
    bool start(bool openLink = true) {
        if (!dir.isValid() || !sim.startInThread(portPath()))
            return false;
        if (openLink && !link.openPort(portPath()))
            return false;
        motion.setView(&window);
        motion.InitMotor();
        return true;
    }

    QList<QByteArray> commands() const { return sim.commandLog(); }
    int count(const QByteArray& command) const { return int(commands().count(command)); }
    qsizetype indexOf(const QByteArray& command) const { return commands().indexOf(command); }
};

inline QByteArray moveCommand(qint32 target, const char* rateHex, int checkMask = 0, int breaks = 0) {
    return "M" + SimInstrument::hex(quint32(target), 8) + rateHex +
           SimInstrument::hex(quint32(checkMask), 2) + SimInstrument::hex(quint32(breaks), 2);
}
