#pragma once

#include "app/Program.h"
#include "app/frmMain.h"
#include "instrument/PortMap.h"
#include "params/Cp1252.h"
#include "params/SettingsStore.h"
#include "results/DataLine.h"
#include "results/frmLoadTimePlots.h"
#include "sim/SimServer.h"
#include "tests/support/ScriptedOperator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPair>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>
#include <memory>
#include <optional>

// The whole program on the simulator with its default fiber (it breaks near 60-70 N), the load
// cell calibrated to the simulator's channel 0, a data file in a temporary folder and both load/time
// files switched on. Break fiber, answer Yes, and the plot window is watched for: when it shows, how
// long after Yes, and what was on the disc by then.
struct DefaultFiberRig {
    QTemporaryDir dir;
    SimServer sim;
    ScriptedOperator* op = nullptr;
    std::unique_ptr<Program> program;

    // Answers to what start-up asks after the kept position (a sign-in).
    std::function<void(ScriptedOperator&)> moreAnswers;
    // Seen when the plot window first showed.
    bool plotsSeen = false;
    qint64 yesToPlotsMs = -1;
    QStringList rowsWhenShown; // the data file's result lines
    qint32 positionWhenShown = 0;
    // Called once the plot window shows; the default closes it as the operator would.
    std::function<void(frmLoadTimePlots&)> onPlots = [](frmLoadTimePlots& plots) { plots.cmdClose->click(); };

    // folder: where the rig makes its temporary folder (the system's by default).
    explicit DefaultFiberRig(const QString& folder = QDir::tempPath()) : DefaultFiberRig(config(), folder) {}
    // Another fiber or instrument: simConfig instead of the default.
    explicit DefaultFiberRig(const SimConfig& simConfig, const QString& folder = QDir::tempPath())
        : dir(QDir(folder).filePath(QStringLiteral("break-XXXXXX"))), sim(simConfig) {}

    // The default fiber, load cell and motor; replies without the wire time, as in the other flows.
    static SimConfig config() {
        SimConfig c;
        c.instant = true;
        return c;
    }
    ~DefaultFiberRig() {
        program.reset();
        qunsetenv(qPrintable(PortMap::environmentName(1)));
    }

    QString dataFile() const { return dir.filePath(QStringLiteral("results.csv")); }

    // settings: key/value pairs of the [STAVELY] section on top of the rig's own.
    bool start(const QList<QPair<QString, QString>>& settings) {
        const QString link = dir.filePath(QStringLiteral("COM1"));
        if (!dir.isValid() || !sim.startInThread(link))
            return false;
        qputenv(qPrintable(PortMap::environmentName(1)), link.toLocal8Bit());
        // A position the instrument kept from an earlier run, so no zero window is needed.
        sim.update([](SimInstrument& instrument) { instrument.receive("s000007D0\r", instrument.now()); });

        const QString file = dir.filePath(QStringLiteral("Corvane.ini"));
        SettingsStore store(file);
        const QString section = QStringLiteral("STAVELY");
        store.saveText(section, QStringLiteral("COMnum"), QStringLiteral("1"));
        store.saveText(section, QStringLiteral("CalibrationData0"),
                       QStringLiteral("\"SIM-2041\",0,51,0.1,100,0.5,------,------,------,"));
        store.saveText(section, QStringLiteral("DataFileName"), dataFile());
        store.saveText(section, QStringLiteral("SaveLoadTimeData"), QStringLiteral("True"));
        store.saveText(section, QStringLiteral("SaveLoadTimePlots"), QStringLiteral("True"));
        for (const auto& [key, value] : settings)
            store.saveText(section, key, value);
        store.sync();

        auto scripted = std::make_unique<ScriptedOperator>();
        op = scripted.get();
        ProgramOptions options;
        options.settingsFile = file;
        options.instanceName =
            QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        program = std::make_unique<Program>(options, std::move(scripted));
        program->setEndHook([](const ProgramEnded& how) { throw how; });
        op->answer(MsgResult::Yes); // the position the instrument kept
        if (moreAnswers)
            moreAnswers(*op);
        return program->start() == Program::Started::Running;
    }

    QStringList resultLines() const {
        QFile data(dataFile());
        if (!data.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = Cp1252::splitLines(Cp1252::decode(data.readAll()));
        lines.removeAll(DataLine::HeaderLine());
        lines.removeAll(QString());
        return lines;
    }

    // Break fiber with Yes to "REPORT RESULTS"; returns when the run is over.
    void breakFiber() {
        QElapsedTimer sinceYes;
        op->answerWith([&sinceYes](const Prompt&) {
            sinceYes.start();
            return QVariant(int(MsgResult::Yes));
        });
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            frmLoadTimePlots* plots = program->plotWindow();
            if (plots == nullptr || !plots->isVisible() || plotsSeen)
                return;
            plotsSeen = true;
            yesToPlotsMs = sinceYes.isValid() ? sinceYes.elapsed() : -1;
            rowsWhenShown = resultLines();
            positionWhenShown = sim.state().position;
            onPlots(*plots);
        });
        watch.start(20);
        program->mainWindow()->findChild<QPushButton*>(QStringLiteral("cmdBreak"))->click();
    }
};
