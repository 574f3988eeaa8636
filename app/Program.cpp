#include "app/Program.h"

#include "app/Operator.h"
#include "app/ProcessPriority.h"
#include "app/Shutdown.h"
#include "app/SimulatedInstrument.h"
#include "app/SingleInstance.h"
#include "app/StartupTexts.h"
#include "app/TimerCheck.h"
#include "app/WindowUnloader.h"
#include "app/frmAbout.h"
#include "app/frmMain.h"
#include "app/frmSplash.h"
#include "experiments/Calculator.h"
#include "experiments/Fiber.h"
#include "instrument/ApTimer.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"

#include <QApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

Program::Program(const ProgramOptions& options, std::unique_ptr<Operator> op)
    : m_options(options), m_settings(std::make_unique<SettingsStore>(options.settingsPath())),
      m_parameters(std::make_unique<Parameters>()), m_op(std::move(op)),
      m_table(std::make_unique<ParameterTable>(*m_parameters, *m_settings, *m_op)),
      m_fiber(std::make_unique<Fiber>(*m_parameters, *m_op)),
      m_end(std::make_unique<OrderlyEnd>(*m_op, *m_parameters)),
      m_shutdown(std::make_unique<Shutdown>(*m_op, *m_parameters, *m_settings, *m_end)),
      m_instance(std::make_unique<SingleInstance>(
          options.instanceName.isEmpty() ? SingleInstance::defaultName() : options.instanceName)),
      m_counterFrequency(&ApTimer::CounterFrequency), m_versionMajor(ProductIdentity::VersionMajor),
      m_versionMinor(ProductIdentity::VersionMinor) {
    m_end->setEndHook([settings = m_settings.get(), instance = m_instance.get()](const ProgramEnded& how) {
        // At once: no further window events may run.
        settings->sync();
        instance->release();
        std::fflush(nullptr);
        std::_Exit(OrderlyEnd::exitCode(how));
    });
    m_end->setUnloadWindows([this] { WindowUnloader::unloadAll(m_main.get()); });
    m_shutdown->setSaveParameters([this] { m_table->SaveParameters(); });
    // Closing the System Controller's port and the datasheet's column widths join here with the
    // link and the datasheet.
}

Program::~Program() = default;

void Program::setEndHook(OrderlyEnd::EndHook hook) {
    m_end->setEndHook(std::move(hook));
}

void Program::setVersion(int major, int minor) {
    m_versionMajor = major;
    m_versionMinor = minor;
}

Program::Started Program::start() {
    // 1. Product identity and debug mode.
    m_identity = SetProductIdentity(*m_parameters, *m_settings, *m_op, QCoreApplication::applicationDirPath(),
                                    m_versionMajor, m_versionMinor);
    QApplication::setWindowIcon(QIcon(m_identity.iconFile));

    // 2. Fiber mechanics constants for the product.
    m_fiber->Initialise();

    // The simulated instrument must be on its port before the port number is read.
    if (m_options.simulate) {
        m_simulator = std::make_unique<SimulatedInstrument>();
        QString error;
        if (!m_simulator->start(*m_settings, &error))
            m_op->msgBox(StartupTexts::SimulatorNotStarted + error, MsgStyle::OkOnly | MsgStyle::Exclamation);
    }

    // 3. Every parameter from the settings store.
    m_table->LoadParameters();

    // 4. The splash window, without waiting for it.
    m_splash = std::make_unique<frmSplash>(m_identity);
    m_splash->show();
    QCoreApplication::processEvents();

    // 5. One instance per user.
    if (!m_instance->acquire()) {
        m_op->msgBox(StartupTexts::SecondInstance, MsgStyle::OkOnly | MsgStyle::Critical,
                     StartupTexts::SecondInstanceTitle);
        closeSplash();
        return Started::SecondInstance;
    }

    // 6. Load the main window (its load handler shows it), hide it until start-up is done.
    m_main = std::make_unique<frmMain>();
    if (m_mainWindowListener)
        m_mainWindowListener(m_main.get());
    connectMainWindow();
    m_main->load(m_identity.caption, m_parameters->DebugMode);
    m_main->hide();
    QCoreApplication::processEvents();

    // 7.-9. The precision timer.
    ApTimer::InitTimer();
    const QString timerFault = TimerCheck::failureMessage(m_counterFrequency());
    if (!timerFault.isEmpty())
        m_end->EndProgram(timerFault, StartupTexts::ProgramEndingTitle);

    // 10. Find the System Controller, set its load sampling, load the calibrations: joins with the link.
    // 11. The motor drive's output-line state: joins with motion.
    // 12.-13. Motor settings, the position kept by the System Controller and the question about it.
    // 14.-15. The zero window unless the position is known; a silent end without a valid zero.
    // 16. Loader output lines off.
    // 17. The datasheet and the data file named in the parameters: joins with the datasheet.

    // 18. Show the main window.
    m_main->show();

    // 19. Menu check mark from the parameters. The position, the option buttons and the text boxes
    // join with the main window's controls.
    m_main->setNoisyChecked(m_parameters->Noisy);

    // 20. Ahead of ordinary processes, as far as the system allows.
    ProcessPriority::raise();

    // 21.
    closeSplash();

    // 22. No data file attached: the "OPEN DATA FILE" warning and the data file command join with
    // the datasheet.
    return Started::Running;
}

void Program::closeSplash() {
    if (!m_splash)
        return;
    m_splash->close();
    m_splash.reset();
    QCoreApplication::processEvents();
}

void Program::connectMainWindow() {
    frmMain* main = m_main.get();
    main->setUnloadHandler([this] { return m_shutdown->run(); });
    QObject::connect(main, &frmMain::noisyToggled, main,
                     [this](bool checked) { m_parameters->Noisy = checked; });
    QObject::connect(main, &frmMain::helpRequested, main, [this] { openHelp(); });
    QObject::connect(main, &frmMain::aboutRequested, main, [this] { showAbout(); });
    QObject::connect(main, &frmMain::calculatorRequested, main, [this] { showCalculator(); });
}

void Program::openHelp() {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(m_identity.helpFile)))
        m_op->msgBox(StartupTexts::HelpNotOpened + m_identity.helpFile,
                     MsgStyle::OkOnly | MsgStyle::Exclamation);
}

void Program::showAbout() {
    frmAbout about(m_identity, *m_op, m_main.get());
    about.exec();
}

void Program::showCalculator() {
    Calculator calculator(*m_parameters, *m_fiber, *m_table, *m_op, m_main.get());
    calculator.exec();
}
