#pragma once

#include "experiments/LoadCalibrator.h"

class ProgramEnd;
class QWidget;

// The main window's calibration button: the review window, modally; a program left without a
// calibration of the channel in use cannot go on and ends. Keeps the calibration in progress
// between uses.
class CalibrationCommand {
public:
    CalibrationCommand(LoadCell& cell, ControllerLink& link, Operator& op, SettingsStore& store,
                       Parameters& params, ProgramEnd& end);

    void run(QWidget* parent);

    LoadCalibrator& calibrator() { return m_calibrator; }

private:
    LoadCell& m_cell;
    Operator& m_op;
    SettingsStore& m_store;
    ProgramEnd& m_end;
    LoadCalibrator m_calibrator;
};
