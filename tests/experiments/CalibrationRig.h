#pragma once

#include "base/ProgramEnd.h"
#include "experiments/LoadCalibrator.h"
#include "instrument/ControllerLink.h"
#include "instrument/LoadCell.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "sim/SimServer.h"
#include "tests/support/ScriptedOperator.h"

#include <QTemporaryDir>
#include <memory>

// Ends the program by throwing, so a test sees where it would have ended.
class EndByThrowing : public ProgramEnd {
public:
    [[noreturn]] void EndProgram(const QString& message, const QString& title) override {
        throw ProgramEnded{message, title};
    }
};

// A simulated instrument without noise or fiber: the load cell carries only the hung mass.
inline SimConfig quietLoadCell() {
    SimConfig c;
    c.seed = 11;
    c.noiseAu = 0;
    c.fiberPresent = false;
    c.autoThread = false;
    c.instant = true;
    return c;
}

// The load cell with its calibration logic, wired to the link as the program wires them; the link
// talks to a simulated System Controller over a pseudo-terminal once startSim() has run.
struct CalibrationRig {
    QTemporaryDir dir;
    ScriptedOperator op;
    EndByThrowing end;
    Parameters params;
    SettingsStore store{dir.filePath(QStringLiteral("settings.ini"))};
    ControllerLink link{op, end, params};
    LoadCell cell{params, store};
    LoadCalibrator calibrator{cell, link, op, store, params};
    std::unique_ptr<SimServer> sim;

    CalibrationRig() {
        link.setSamplingHandler([this](int samples) { cell.setSamplesPerReading(samples); });
        cell.readFrom(link);
    }
    ~CalibrationRig() {
        link.closePort();
        if (sim)
            sim->stop();
    }

    bool startSim(const SimConfig& config = quietLoadCell()) {
        const QString path = dir.filePath(QStringLiteral("COM1"));
        sim = std::make_unique<SimServer>(config);
        return sim->startInThread(path) && link.openPort(path);
    }
    void hang(double kilograms) { sim->setExtraLoad(kilograms * 9.81); }

    NewCalibration& calibration() { return calibrator.newCalibration(); }
    QString setting(const QString& name) const { return store.getText(QStringLiteral("STAVELY"), name, {}); }

    // A channel calibration as a fit would leave it.
    static LoadCalibration record(qint16 channel, double slope, double intercept,
                                  const QString& serial = {}) {
        LoadCalibration r;
        r.SerialNumber = serial;
        r.Channel = channel;
        r.Slope = CalField::number(slope);
        r.SlopeError = CalField::number(0.05);
        r.Intercept = CalField::number(intercept);
        r.InterceptError = CalField::number(0.5);
        r.FitB = CalField::number(600);
        r.FitBErr = CalField::number(0.2);
        r.MeanLoad = CalField::number(10);
        r.ZeroOffset = CalField::number(0);
        return r;
    }
};
