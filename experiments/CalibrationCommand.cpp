#include "experiments/CalibrationCommand.h"

#include "base/ProgramEnd.h"
#include "experiments/CalibrationTexts.h"
#include "experiments/frmLoadCalibrateMain.h"
#include "instrument/LoadCell.h"

CalibrationCommand::CalibrationCommand(LoadCell& cell, ControllerLink& link, Operator& op,
                                       SettingsStore& store, Parameters& params, ProgramEnd& end)
    : m_cell(cell), m_op(op), m_store(store), m_end(end), m_calibrator(cell, link, op, store, params) {}

void CalibrationCommand::run(QWidget* parent) {
    {
        frmLoadCalibrateMain window(m_calibrator, m_op, m_store, parent);
        window.exec();
    }
    if (!m_cell.currentIsCalibrated())
        m_end.EndProgram(QString(), CalibrationTexts::ProgramEndingTitle);
}
