// Takes the manual's pictures of the options, preload speed and hardware windows and of the
// simulated instrument's panel: doc_pictures <folder>.
#include "app/frmInstrumentPanel.h"
#include "instrument/ControllerLink.h"
#include "instrument/LoadCell.h"
#include "instrument/Motion.h"
#include "instrument/RunState.h"
#include "instrument/frmHardware.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "params/frmOptions.h"
#include "params/frmPreloadSpeed.h"
#include "sim/SimServer.h"
#include "tests/instrument/LinkRig.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QRadioButton>
#include <QTemporaryDir>
#include <cstdio>

namespace {
bool save(QWidget& window, const QString& folder, const QString& name) {
    window.adjustSize();
    window.show();
    QCoreApplication::processEvents();
    const bool ok = window.grab().save(QDir(folder).filePath(name));
    std::printf("%s %s\n", qPrintable(name), ok ? "written" : "FAILED");
    window.hide();
    return ok;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir dir;
    ScriptedOperator op;
    ThrowingEnd end;
    Parameters params;
    SettingsStore store(dir.filePath(QStringLiteral("settings.ini")));
    ParameterTable table(params, store, op);
    bool ok = true;

    const QString sounds = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../Sounds"));
    params.BreakSound = QStringLiteral("Chime.wav");
    frmOptions options(params, table, sounds, {});
    ok &= save(options, folder, QStringLiteral("options.png"));

    params.PreloadSpeedMode = 2;
    params.PreloadUserSpeed = 500;
    frmPreloadSpeed preload(params, table);
    ok &= save(preload, folder, QStringLiteral("preload-speed.png"));

    SimServer sim;
    const QString port = dir.filePath(QStringLiteral("COM1"));
    if (!sim.startInThread(port))
        return 1;
    ControllerLink link(op, end, params);
    LoadCell cell(params, store);
    RunState run;
    Motion motion(link, cell, params, run, op);
    link.openPort(port);
    link.setControllerFound(true);
    link.setFirmwareVersion(QStringLiteral("1.05"));
    motion.InitMotor();
    frmInstrumentPanel panel(sim);
    panel.chkContactDisable->setChecked(true);
    {
        frmHardware hardware(link, motion, 1, sounds);
        hardware.optOutputs[HardwareIO::StepOpen]->click();
        for (int i = 0; i < 4; ++i)
            hardware.tick();
        ok &= save(hardware, folder, QStringLiteral("hardware.png"));
        hardware.done(0);
    }
    ok &= save(panel, folder, QStringLiteral("instrument-panel.png"));
    return ok ? 0 : 1;
}
