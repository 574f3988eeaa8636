#include "app/Program.h"

#include "app/DistributedCalibration.h"
#include "app/ElidedLabel.h"
#include "app/FrameKnown.h"
#include "app/HelpKey.h"
#include "app/MainActions.h"
#include "app/MainTexts.h"
#include "app/ProcessPriority.h"
#include "app/ProofCommands.h"
#include "app/Shutdown.h"
#include "app/SignInGuard.h"
#include "app/SignInTexts.h"
#include "app/SimulatedInstrument.h"
#include "app/SingleInstance.h"
#include "app/StartupTexts.h"
#include "app/StoreCommands.h"
#include "app/TerminationSignal.h"
#include "app/TimerCheck.h"
#include "app/UpdateCheck.h"
#include "app/WindowUnloader.h"
#include "app/frmAbout.h"
#include "app/frmHelp.h"
#include "app/frmInstrumentPanel.h"
#include "app/frmMain.h"
#include "app/frmSplash.h"
#include "base/Operator.h"
#include "base/ProgramFolder.h"
#include "experiments/BreakAnalysis.h"
#include "experiments/BreakRun.h"
#include "experiments/Calculator.h"
#include "experiments/CalibrationCommand.h"
#include "experiments/Fiber.h"
#include "instrument/ApTimer.h"
#include "instrument/BreakSound.h"
#include "instrument/ControllerDiscovery.h"
#include "instrument/ControllerLink.h"
#include "instrument/ControllerStartup.h"
#include "instrument/ControllerTexts.h"
#include "instrument/LoadCell.h"
#include "instrument/Motion.h"
#include "instrument/PortMap.h"
#include "instrument/RunState.h"
#include "instrument/ZeroPosition.h"
#include "instrument/frmHardware.h"
#include "instrument/frmMoving.h"
#include "instrument/zero.h"
#include "params/Cp1252.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/RegularFile.h"
#include "params/SettingsStore.h"
#include "params/WindowPlacement.h"
#include "params/frmOptions.h"
#include "params/frmPreloadSpeed.h"
#include "results/BatchStatistics.h"
#include "results/Datasheet.h"
#include "results/DatasheetCommands.h"
#include "results/DatasheetPanel.h"
#include "results/DatasheetTexts.h"
#include "results/RowTitle.h"
#include "results/StatisticsRows.h"
#include "results/frmLoadTimePlots.h"
#include "results/frmStatistics.h"
#include "results/grdResults.h"
#include "sim/SimServer.h"
#include "store/DatasheetStoreLink.h"
#include "store/LabAddress.h"
#include "store/LabSender.h"
#include "store/LabStoreSource.h"
#include "store/LabTexts.h"
#include "store/ResultsStore.h"
#include "store/Signatures.h"
#include "store/StoreAppender.h"
#include "store/StoreTexts.h"
#include "store/frmAuditTrail.h"
#include "store/frmResultsStore.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QSysInfo>
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
      m_ports(std::make_unique<PortMap>(m_settings.get())),
      m_link(std::make_unique<ControllerLink>(*m_op, *m_end, *m_parameters)),
      m_discovery(std::make_unique<ControllerDiscovery>(*m_op, *m_end, *m_link, *m_parameters, *m_settings,
                                                        *m_ports)),
      m_loadCell(std::make_unique<LoadCell>(*m_parameters, *m_settings)), m_run(std::make_unique<RunState>()),
      m_motion(std::make_unique<Motion>(*m_link, *m_loadCell, *m_parameters, *m_run, *m_op)),
      m_zeroActions(std::make_unique<ZeroPosition>(*m_motion, *m_link, *m_op, *m_end)),
      m_controllerStartup(
          std::make_unique<ControllerStartup>(*m_link, *m_loadCell, *m_motion, *m_parameters, *m_op, *m_end)),
      m_breakSound(std::make_unique<BreakSound>(*m_parameters, *m_op)),
      m_actions(std::make_unique<MainActions>(*m_parameters, *m_op, *m_link, *m_loadCell, *m_motion)),
      m_calibration(std::make_unique<CalibrationCommand>(*m_loadCell, *m_link, *m_op, *m_settings,
                                                         *m_parameters, *m_end)),
      m_datasheet(std::make_unique<Datasheet>(*m_op, *m_parameters, *m_table, *m_settings)),
      m_datasheetCommands(std::make_unique<DatasheetCommands>(*m_datasheet, *m_op, *m_parameters)),
      m_store(std::make_unique<ResultsStore>(StoreCommands::StorePath(options))),
      m_storeAppender(
          std::make_unique<StoreAppender>(*m_datasheet, *m_store, [this] { return describeResult(); })),
      m_instance(std::make_unique<SingleInstance>(
          options.instanceName.isEmpty() ? SingleInstance::defaultName() : options.instanceName)),
      m_counterFrequency(&ApTimer::CounterFrequency), m_programFolder(ProgramFolder::path()),
      m_versionMajor(ProductIdentity::VersionMajor), m_versionMinor(ProductIdentity::VersionMinor) {
    m_end->setEndHook([this, settings = m_settings.get(), instance = m_instance.get(),
                       store = m_store.get()](const ProgramEnded& how) {
        // At once: no further window events may run. What the store still has to write is written
        // first (a row it misses is taken from the data file at the next start anyway).
        store->finish(2000);
        stopLabSender(false);
        if (m_simulator) {
            m_simulator->keepPosition(*settings);
            m_simulator->removeLink();
        }
        settings->sync();
        instance->release();
        std::fflush(nullptr);
        std::_Exit(OrderlyEnd::exitCode(how));
    });
    m_end->setUnloadWindows([this] { WindowUnloader::unloadAll(m_main.get()); });
    m_shutdown->setSaveParameters([this] { m_table->SaveParameters(); });
    m_end->setClosePort([this] {
        // The drive's lines go back to rest while the port can still carry them.
        if (m_hardware != nullptr)
            m_hardware->restoreLinesNow();
        // The capstan must not run on after the program has gone; with the port gone only the
        // operator can stop it.
        if (m_motion->moving() && !m_link->StopIfPortAnswers())
            m_op->msgBox(ControllerTexts::CapstansMayTurnAtEnd, MsgStyle::Exclamation,
                         ControllerTexts::CapstansMayTurnTitle);
        m_link->closePort();
    });
    // Until the datasheet has taken the stored widths, its own are placeholders: an end before then
    // leaves the stored ones alone.
    m_shutdown->setGridColumnWidths(
        [this] { return m_datasheetSetUp ? m_datasheet->ColumnWidthsText() : QString(); });

    m_link->setSamplingHandler([this](int samples) { m_loadCell->setSamplesPerReading(samples); });
    m_loadCell->readFrom(*m_link);
    m_connectController = [this] { return m_discovery->ConnectController(); };
    // Saving the parameters writes the calibrations back as they are now, once they have been read:
    // an end before that must leave the stored ones alone.
    m_table->setCalibrationTextProvider([this](int channel) -> std::optional<QString> {
        if (!m_loadCell->CalibrationsLoaded())
            return std::nullopt;
        return RecordToText(m_loadCell->record(channel));
    });
    m_link->setSerialErrorHandler([this](int error) { m_actions->SerialPortError(error); });

    MainActions::Hooks& hooks = m_actions->hooks();
    hooks.ZeroWindow = [this] { showZeroWindow(); };
    hooks.Calculator = [this] { showCalculator(); };
    hooks.Calibrate = [this] {
        const QString before = calibrationInUse();
        m_calibration->run(m_main.get());
        recordChanges(StoreTexts::EventCalibration, before, calibrationInUse());
    };
    hooks.DataFileCommand = [this] { m_datasheet->DataFileCommand(); };
    hooks.DataFileAttached = [this] { return m_datasheet->hasDataFile(); };

    // The break test: its rows go to the datasheet and its data file.
    m_breakRun = std::make_unique<BreakRun>(*m_parameters, *m_fiber, *m_link, *m_loadCell, *m_motion, *m_run,
                                            *m_breakSound, *m_op, *m_end, *m_storeAppender);
    BreakRun::Hooks& run = m_breakRun->hooks();
    run.GotoLoadPosition = [this] { m_actions->LoadFiber(); };
    run.DataFolder = [this] {
        const QString file = m_datasheet->dataFileName();
        if (!file.isEmpty())
            return QFileInfo(file).absolutePath();
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    };
    run.ShowPlots = [this](const LoadTimePlotData& data) {
        m_pendingRecord = data.dataText;
        if (!m_plots)
            return;
        // The row is in the datasheet by now: its record file's name finds it whatever the sort.
        LoadTimePlotData titled = data;
        const QString record = data.basePath + QStringLiteral(".dat");
        for (int row = m_datasheet->resultRows() - 1; row >= 0 && titled.title.isEmpty(); --row)
            if (!data.basePath.isEmpty() && QFileInfo(rowDataFile(row)) == QFileInfo(record))
                titled.title = RowTitle::Text(m_datasheet->model().row(row).fields());
        m_plots->Show(titled);
    };
    run.TypicalBreakStress = [this](const QString& rate) -> std::optional<double> {
        const BatchStatistics statistics(m_datasheet->model().allRows());
        for (const GroupStatistics& group : statistics.groups())
            if (group.rate == rate)
                return group.median;
        return std::nullopt;
    };
    run.ServoInfo = [this](const QString& text) {
        if (m_main)
            m_main->setServoInfo(text);
    };
    run.ExportDatasheet = [this] {
        if (m_datasheetPanel)
            m_datasheetPanel->ShowRescueExport();
    };
    // The way out when no data file is chosen, and the last word on results the data file lacks.
    m_datasheet->setExitProgram([this] { return m_shutdown->run(); });
    m_shutdown->setBeforeExit([this] {
        if (!offerUnsavedResults())
            return false;
        stopLabSender(true);
        return true;
    });
    m_shutdown->setLoadedFiber([this]() -> std::optional<double> {
        if (!m_link->ControllerFound() || !m_loadCell->currentIsCalibrated() || m_motion->moving())
            return std::nullopt;
        const std::optional<double> load = m_loadCell->SampleLoad();
        if (!load || !(std::abs(*load) > BreakRun::LoadedLimit))
            return std::nullopt;
        return load;
    });
    hooks.BreakRun = [this] {
        // What the row will say is on disc before the pull, whatever happens to the program during it.
        m_table->SaveParameters();
        m_pendingRecord.clear();
        m_breakRun->stavelyRunToBreak();
    };
    hooks.FiberLoaded = [this] { return m_breakRun->FiberLeftLoaded(); };
    hooks.Review = [this] {
        if (!m_plots)
            return;
        if (!m_plots->hasData()) {
            m_op->msgBox(MainTexts::NothingToReview, MsgStyle::OkOnly | MsgStyle::Information,
                         MainTexts::NothingToReviewTitle);
            return;
        }
        m_plots->Review();
    };
    hooks.Options = [this] { showOptions(); };
    hooks.PreloadSpeed = [this] { showPreloadSpeed(); };
    hooks.HardwareWindow = [this] { showHardware(); };
}

Program::~Program() {
    delete m_help;
}

ResultAppender& Program::resultAppender() {
    return *m_storeAppender;
}

void Program::setEndHook(OrderlyEnd::EndHook hook) {
    m_end->setEndHook(std::move(hook));
}

void Program::setVersion(int major, int minor) {
    m_versionMajor = major;
    m_versionMinor = minor;
}

Program::Started Program::start() {
    // 1. Product identity and debug mode.
    m_identity = SetProductIdentity(*m_parameters, *m_settings, *m_op, m_programFolder, m_versionMajor,
                                    m_versionMinor);
    QApplication::setWindowIcon(QIcon(m_identity.iconFile));
    m_update = std::make_unique<UpdateCheck>(*m_op, *m_settings, m_identity.title, m_identity.version);
    m_update->setWaitNotice([this](const QString& text) {
        if (!m_main)
            return;
        if (text.isEmpty())
            m_main->statusBar()->clearMessage();
        else
            m_main->statusBar()->showMessage(text);
    });
    m_helpKey = std::make_unique<HelpKey>([this](const QString& topic) { openHelp(topic); });
    qApp->installEventFilter(m_helpKey.get());

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
    m_main = std::make_unique<frmMain>(
        MainServices{*m_parameters, *m_table, *m_actions, *m_link, *m_loadCell, *m_motion, *m_run});
    if (m_mainWindowListener)
        m_mainWindowListener(m_main.get());
    connectMainWindow();
    connectDatasheet();
    m_main->load(m_identity.caption, m_parameters->DebugMode);
    m_plots = new frmLoadTimePlots(*m_parameters, *m_op, *m_settings, m_main.get());
    m_main->hide();
    QCoreApplication::processEvents();

    // 7.-9. The precision timer.
    ApTimer::InitTimer();
    const QString timerFault = TimerCheck::failureMessage(m_counterFrequency());
    if (!timerFault.isEmpty())
        m_end->EndProgram(timerFault, StartupTexts::ProgramEndingTitle);

    // 10.-16. Find the System Controller; its load sampling and the calibrations; the motor drive's
    // state; the position it kept, or the zero window; a silent end without a valid zero; the
    // loader's lines off.
    m_moving = std::make_unique<frmMoving>(*m_motion);
    m_moving->setMainWindow(m_main.get());
    m_moving->setMainPositionLabel(m_main->positionLabel());
    // A choice clicked during a move would be lost: the controls say so by looking disabled.
    m_moving->setMainControls({m_main->centralWidget(), m_main->menuWidget()});
    m_motion->setView(m_moving.get());
    const bool found = m_connectController();
    m_controllerStartup->Run(found, [this] { showZeroWindow(); });
    // Without the instrument the calibrations are still read, so that closing the program writes
    // them back unchanged instead of as uncalibrated.
    if (!found)
        m_loadCell->LoadCalibrations();
    // The simulated load cell is known: its distributed calibration spares a new user the
    // calibration windows.
    QString calibrationNote;
    if (m_simulator && found)
        calibrationNote = DistributedCalibration::takeIfUncalibrated(*m_loadCell, m_programFolder,
                                                                     m_simulator->loadCellSerial());
    // The results store, before the data file so that opening it is compared with the store.
    connectStore();
    startLabSender();
    // 17. The datasheet, and the data file named in the parameters (a file that cannot be read is
    // forgotten).
    m_datasheet->SetupDatasheet();
    m_datasheetSetUp = true;
    // (A corrupted file may have led to another one chosen in its place.)
    if (!m_parameters->DataFileName.isEmpty() && !m_datasheet->file2grd(m_parameters->DataFileName) &&
        !m_datasheet->hasDataFile())
        m_parameters->DataFileName.clear();

    // Widths nobody set yet follow the column titles, also while no data file is attached.
    m_datasheet->FitUntouchedColumns();

    // 18. Show the main window.
    m_main->show();
    if (!calibrationNote.isEmpty())
        m_main->showNote(calibrationNote);
    showInstrumentPanel();

    // 19. The position, the Noisy check mark, both option groups and the text boxes.
    m_motion->showPosition();
    m_main->setNoisyChecked(m_parameters->Noisy);
    m_main->StuffTextBoxes();

    // 20. Ahead of ordinary processes, as far as the system allows.
    ProcessPriority::raise();

    // 21.
    closeSplash();

    // Stored values the load could not take are told once the program is up.
    m_table->ReportLoadResets();

    if (!startSignIn())
        m_end->EndProgram(SignInTexts::NoUserSignedIn, StartupTexts::ProgramEndingTitle);

    // 22. A data file must be attached.
    if (!m_datasheet->hasDataFile())
        askForDataFile();
    return Started::Running;
}

bool Program::startSignIn() {
    m_signIn = std::make_unique<SignInGuard>(*m_op, m_store->path(), ResultsStore::SystemUser());
    if (!m_signIn->on())
        return true;
    // The signed-in user is the operator of every record and entry: the Operator box shows it.
    auto* box = m_main->findChild<QLineEdit*>(QStringLiteral("txtOperator"));
    auto* who = new QLabel(m_main->statusBar());
    who->setObjectName(QStringLiteral("lblSignedIn"));
    m_main->statusBar()->addPermanentWidget(who);
    m_signIn->setSignedIn([this, box, who](const UserInfo& user) {
        m_parameters->OperatorName = user.name;
        if (box) {
            box->setText(user.name);
            box->setReadOnly(true);
        }
        who->setText(SignInTexts::SignedInAs(user.name, user.role));
    });
    m_signIn->setBusy([this] { return m_motion->moving() || QApplication::activeModalWidget() != nullptr; });
    m_datasheet->setReasonAsker(
        [this](int row, const QString& what) { return m_signIn->askReason(row, what); });
    if (auto* file = m_main->findChild<QMenu*>(QStringLiteral("mnuFile"))) {
        QAction* exit = file->actions().value(file->actions().size() - 1);
        auto* switchUser = new QAction(SignInTexts::SwitchUserMenu, file);
        switchUser->setObjectName(QStringLiteral("mnuFileSwitchUser"));
        QObject::connect(switchUser, &QAction::triggered, file, [this] { m_signIn->switchUser(); });
        auto* lock = new QAction(SignInTexts::LockMenu, file);
        lock->setObjectName(QStringLiteral("mnuFileLock"));
        QObject::connect(lock, &QAction::triggered, file, [this] { m_signIn->lock(true); });
        file->insertActions(exit, {switchUser, lock});
    }
    if (!m_signIn->signIn(SignInTexts::SignInTitle))
        return false;
    m_signIn->watchIdle(m_signIn->idleMinutes());
    return true;
}

void Program::connectDatasheet() {
    frmMain* main = m_main.get();
    m_datasheetPanel = new DatasheetPanel(*m_datasheet, *m_datasheetCommands, *m_op, *m_parameters, main);
    main->dataArea()->layout()->addWidget(m_datasheetPanel);
    main->setGrid(m_datasheetPanel->grid());
    main->setCommentCommit([grid = m_datasheetPanel->grid()] { grid->CommitEdit(); });
    for (QPushButton* button : m_datasheetPanel->buttons())
        main->watchCommandKeys(button);
    m_datasheetPanel->fillMenus(main->findChild<QMenu*>(QStringLiteral("mnuDataSheet")),
                                main->findChild<QMenu*>(QStringLiteral("mnuExportData")),
                                main->findChild<QAction*>(QStringLiteral("mnuCopySpecial")));
    QObject::connect(m_datasheetPanel, &DatasheetPanel::focusOnRequested, main, &frmMain::SetNextFocus);
    QObject::connect(m_datasheet.get(), &Datasheet::specimenCountChanged, main, &frmMain::ShowSpecimenCount);
    QObject::connect(main, &frmMain::openDataFileRequested, main, [this] {
        m_datasheet->DataFileCommand();
        m_main->SetNextFocus();
    });
    QObject::connect(main, &frmMain::saveDataFileAsRequested, main,
                     [this] { m_datasheetCommands->SaveAs(); });
    // Every row whose load/time record lies beside the data file shows its plots again.
    // A pipe or a device of that name is no record.
    m_datasheetPanel->setPlotsAvailable([this](int row) { return RegularFile::Is(rowDataFile(row)); });
    QObject::connect(m_datasheetPanel, &DatasheetPanel::plotsRequested, main,
                     [this](int row) { showRowPlots(row); });
    QObject::connect(m_datasheetPanel, &DatasheetPanel::trailRequested, main,
                     [this](int row) { showRowTrail(row); });
}

QString Program::rowDataFile(int row) const {
    if (row < 0 || row >= m_datasheet->resultRows())
        return {};
    return BreakAnalysis::RowDataFile(m_datasheet->dataFileName(), m_datasheet->model().row(row).fields());
}

void Program::showRowPlots(int row) {
    if (row < 0 || row >= m_datasheet->resultRows() || !m_plots)
        return;
    const QString file = rowDataFile(row);
    const DataRow& data = m_datasheet->model().row(row);
    std::optional<LoadTimePlotData> plots;
    const std::optional<QByteArray> bytes =
        file.isEmpty() ? std::nullopt : RegularFile::ReadAll(file, Cp1252::MaxLinesBytes);
    if (bytes)
        plots = BreakAnalysis::PlotsFromDataText(Cp1252::decode(*bytes),
                                                 BreakAnalysis::ExptTypeOfRate(data.field(6)));
    if (!plots) {
        m_op->msgBox(MainTexts::PlotsNotRead + QDir::toNativeSeparators(file),
                     MsgStyle::OkOnly | MsgStyle::Exclamation, MainTexts::PlotsNotReadTitle);
        return;
    }
    plots->title = RowTitle::Text(data.fields());
    m_plots->ShowPast(*plots);
}

bool Program::offerUnsavedResults() {
    const int rows = m_datasheet->rowsNotInFile();
    if (rows == 0 && !m_datasheet->editsNotInFile())
        return true;
    const int answer =
        m_op->msgBox(rows > 0 ? DatasheetTexts::RowsNotInFile(rows, m_datasheet->dataFileName())
                              : DatasheetTexts::EditsNotInFile(m_datasheet->dataFileName()),
                     MsgStyle::YesNoCancel | MsgStyle::Exclamation, DatasheetTexts::RowsNotInFileTitle);
    if (answer == MsgResult::Cancel)
        return false;
    if (answer == MsgResult::Yes && m_datasheetPanel)
        m_datasheetPanel->ShowRescueExport();
    return true;
}

void Program::askForDataFile() {
    m_op->msgBox(MainTexts::OpenDataFile, MsgStyle::OkOnly | MsgStyle::Exclamation,
                 MainTexts::OpenDataFileTitle);
    m_datasheet->DataFileCommand();
}

void Program::showInstrumentPanel() {
    if (!m_simulator || !m_simulator->server().isServing())
        return;
    // A tool window of the main window: it goes when the main window goes.
    m_panel = new frmInstrumentPanel(m_simulator->server(), m_main.get());
    m_panel->adjustSize();
    placeMainAndPanel();
    // A window manager frames the windows after they are shown: until then neither title bar is
    // measured, and the pair is placed again once it is, so that both title bars are on the screen.
    new FrameKnown(*m_main, [this] {
        FitOnScreen(*m_main);
        placeMainAndPanel();
    });
    m_panel->show();
    // The instrument's limit switches and stop key work while the capstans move.
    if (m_moving)
        m_moving->keepLive(m_panel);
}

void Program::placeMainAndPanel() {
    if (m_panel == nullptr)
        return;
    // Beside the main window, or over its right edge when the screen ends first.
    QRect main = m_main->frameGeometry();
    if (const QScreen* screen = m_main->screen()) {
        // When the screen holds both, the pair is centred and the main window placed by the program:
        // a window manager that centred the main window alone would leave the panel over its buttons.
        const QRect free = screen->availableGeometry();
        const int both = main.width() + 8 + m_panel->frameGeometry().width();
        if (both <= free.width()) {
            m_main->move(free.left() + (free.width() - both) / 2, qMax(free.top(), main.top()));
            main = m_main->frameGeometry();
        }
    }
    int x = main.right() + 8;
    int y = main.top();
    if (const QScreen* screen = m_main->screen()) {
        const int leftmost = screen->availableGeometry().right() - m_panel->frameGeometry().width();
        // Over the main window, it stays below the main window's title bar so that bar can still
        // be grabbed.
        if (x > leftmost) {
            x = leftmost;
            y = m_main->geometry().top() + m_main->menuWidget()->height();
        }
    }
    m_panel->move(x, y);
    FitOnScreen(*m_panel);
}

void Program::endOnTerminationSignals() {
    // A shutdown or logout ends the program as a fatal condition does, silently.
    m_termination = std::make_unique<TerminationSignal>([this] {
        if (!m_end->ending())
            m_end->EndProgram(QString(), StartupTexts::ProgramEndingTitle);
    });
}

void Program::showZeroWindow() {
    zero window(*m_zeroActions, m_main.get());
    window.exec();
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
    QObject::connect(main, &frmMain::helpRequested, main, [this] { openHelp(); });
    QObject::connect(main, &frmMain::aboutRequested, main, [this] { showAbout(); });
    QObject::connect(main, &frmMain::checkNewVersionRequested, main,
                     [this] { m_update->checkForNewerVersion(); });
    QObject::connect(main, &frmMain::statisticsRequested, main, [this] { showStatistics(); });
    QObject::connect(main, &frmMain::resultsStoreRequested, main, [this] { showResultsStore(); });
    QObject::connect(main, &frmMain::parametersSaved, main, [this] { recordOptionChanges(); });
    ProofCommands::AddMenuEntries(*this, *main);
}

void Program::openHelp(const QString& topic) {
    // Over a modal window the manual must belong to it, or that window would block it.
    QWidget* owner = QApplication::activeModalWidget();
    if (m_help && m_help->parentWidget() != owner) {
        m_help->close();
        m_help = nullptr;
    }
    if (!m_help) {
        m_help = new frmHelp(m_identity.helpFile, owner);
        m_help->setAttribute(Qt::WA_DeleteOnClose);
        // Without a window manager nothing hands the keyboard back when the manual closes: the
        // window it was opened over takes it.
        QWidget* back = owner != nullptr ? owner : m_main.get();
        QObject::connect(m_help, &QObject::destroyed, back, [back] {
            if (back->isVisible()) {
                back->raise();
                back->activateWindow();
            }
        });
    }
    if (!m_help->showTopic(topic))
        m_op->msgBox(StartupTexts::HelpNotOpened + m_identity.helpFile,
                     MsgStyle::OkOnly | MsgStyle::Exclamation);
}

void Program::showOptions() {
    frmOptions::Hooks hooks;
    hooks.PlayBreakSound = [this] { m_breakSound->StartBreakSound(); };
    hooks.StopBreakSound = [this] { m_breakSound->StopBreakSound(); };
    hooks.CheckLabDatabase = [](const QString& text) {
        QString error;
        return LabAddress::parse(text, &error) ? QString() : error;
    };
    hooks.LabDatabaseChanged = [this] { startLabSender(); };
    hooks.NoisyChanged = [this](bool noisy) { m_main->setNoisyChecked(noisy); };
    frmOptions options(*m_parameters, *m_table, m_breakSound->soundsFolder(), std::move(hooks), m_main.get());
    options.exec();
    m_main->setNoisyChecked(m_parameters->Noisy);
    m_table->SaveParameters();
    recordOptionChanges();
}

void Program::showPreloadSpeed() {
    frmPreloadSpeed window(*m_parameters, *m_table, m_main.get());
    window.exec();
    m_table->SaveParameters();
    recordOptionChanges();
}

void Program::showHardware() {
    frmHardware window(*m_link, *m_motion, m_parameters->COMnum, m_breakSound->soundsFolder(), m_main.get());
    window.cmdCancel->setText(QStringLiteral("Cancel"));
    m_hardware = &window;
    window.exec();
    m_hardware = nullptr;
}

void Program::showAbout() {
    frmAbout about(m_identity, *m_op, m_main.get());
    about.exec();
}

void Program::showCalculator() {
    Calculator calculator(*m_parameters, *m_fiber, *m_table, *m_op, m_main.get());
    calculator.exec();
}

void Program::showStatistics() {
    QItemSelection selection;
    if (m_datasheetPanel && m_datasheetPanel->grid()->selectionModel())
        selection = m_datasheetPanel->grid()->selectionModel()->selection();
    frmStatistics window(*m_op, *m_settings, m_main.get());
    window.setCalibration(CalibrationText(m_loadCell->current()));
    window.setSignatures(
        Signatures::ReportLines(m_store->path(), DatasheetStoreLink::FileKey(m_datasheet->dataFileName())));
    window.setRecordLocator([file = m_datasheet->dataFileName()](const QStringList& fields) {
        return BreakAnalysis::RowDataFile(file, fields);
    });
    const QList<QStringList> rows = StatisticsRows(m_datasheet->model(), selection);
    window.setRows(rows, m_datasheet->dataFileName());
    window.setLifetimeOpener([this, rows, &window] { ProofCommands::ShowLifetime(*this, rows, &window); });
    window.exec();
}

// ---- The results store --------------------------------------------------------------------------

void Program::connectStore() {
    ResultsStore* store = m_store.get();
    store->setRecordPath(&BreakAnalysis::RowDataFile);
    store->start();
    QObject* context = m_main.get();
    m_recordedOptions = resultOptions();
    m_storeLink = new DatasheetStoreLink(*m_datasheet, *store, [this] { return m_parameters->OperatorName; });
    QObject::connect(store, &ResultsStore::statusMessage, context, [this](const QString& text) {
        if (m_main)
            m_main->statusBar()->showMessage(text);
    });
    QObject::connect(
        store, &ResultsStore::changedOutside, context,
        [this](const QString& dataFile, const QStringList& changes) {
            constexpr int Listed = 20;
            QStringList lines = changes.mid(0, Listed);
            if (changes.size() > Listed)
                lines << StoreTexts::MoreRows.arg(changes.size() - Listed);
            m_op->msgBox(
                StoreTexts::ChangedOutsideIntro.arg(QDir::toNativeSeparators(dataFile)).arg(changes.size()) +
                    QStringLiteral("\r\r") + lines.join(QLatin1Char('\r')) + QStringLiteral("\r\r") +
                    StoreTexts::ChangedOutsideEnd,
                MsgStyle::OkOnly | MsgStyle::Exclamation, StoreTexts::ChangedOutsideTitle);
        });
}

StoredResult Program::describeResult() {
    StoredResult r;
    // The row just appended is the grid's last one.
    r.dataFile =
        m_storeLink ? m_storeLink->dataFile() : DatasheetStoreLink::FileKey(m_datasheet->dataFileName());
    r.rowNumber = m_storeLink ? m_storeLink->lastRowPlace() : m_datasheet->resultRows();
    if (!m_pendingRecord.isEmpty())
        r.record = m_pendingRecord;
    else if (m_breakRun && m_breakRun->hasResult())
        r.record = m_breakRun->lastPlots().dataText;
    m_pendingRecord.clear();
    const LoadCalibration& calibration = m_loadCell->current();
    r.context.calibrationSerial = calibration.SerialNumber;
    if (calibration.Slope.numeric)
        r.context.calibrationSlope = calibration.Slope.value;
    r.context.operatorName = m_parameters->OperatorName.trimmed();
    r.context.sample = m_parameters->Sample.trimmed();
    r.context.parameters = resultOptions();
    r.context.programVersion =
        m_identity.version.isEmpty() ? ProductIdentity::PredefinedVersion : m_identity.version;
    r.context.host = QSysInfo::machineHostName();
    r.context.firmware = m_link->FirmwareVersion();
    m_store->setOperator(m_parameters->OperatorName);
    return r;
}

QString Program::resultOptions() const {
    const Parameters& p = *m_parameters;
    auto item = [](const char* key, double value) {
        return QLatin1String(key) + QLatin1Char('=') + QString::number(value, 'g', 10);
    };
    return QStringList{
        item("FiberDiameter", p.FiberDiameter), item("Modulus", p.Modulus), item("ModulusA", p.ModulusA),
        item("CoatingEA", p.CoatingEA), item("GaugeLength", double(p.GaugeLength)),
        item("ExptType", p.ExptType), item("ExptSpeed", p.ExptSpeed),
        item("ExptStressRate", double(p.ExptStressRate)), item("ExptStrainRate", double(p.ExptStrainRate)),
        item("PreloadType", p.PreloadType), item("PreloadLoad", p.PreloadLoad),
        item("PreloadStress", p.PreloadStress), item("PreloadStrain", p.PreloadStrain),
        item("PreloadSpeedMode", p.PreloadSpeedMode), item("PreloadUserSpeed", p.PreloadUserSpeed),
        item("RateCalculation%", p.RateCalculationPercent), item("BreakFactor", double(p.BreakFactor)),
        item("MinBreakLoad", double(p.MinBreakLoad)),
        // It decides which holds are run-outs.
        item("StaticMaxHold", p.StaticMaxHold)}
        .join(QLatin1Char(' '));
}

QString Program::calibrationInUse() const {
    const LoadCalibration& c = m_loadCell->current();
    // The form the store dates a result's calibration by.
    return c.SerialNumber + QLatin1Char(' ') +
           (c.Slope.numeric ? QString::number(c.Slope.value, 'g', 17) : c.Slope.text);
}

void Program::recordChanges(const QString& kind, const QString& before, const QString& after) {
    if (before == after)
        return;
    m_store->setOperator(m_parameters->OperatorName);
    if (kind != StoreTexts::EventOption) {
        m_store->event(kind, QString(), before, after);
        return;
    }
    // One entry per option that changed.
    const QStringList was = before.split(QLatin1Char(' '));
    const QStringList now = after.split(QLatin1Char(' '));
    for (qsizetype i = 0; i < now.size() && i < was.size(); ++i)
        if (was[i] != now[i])
            m_store->event(kind, QString(), was[i], now[i]);
}

void Program::recordOptionChanges() {
    // Compared with what was last recorded, so that a change is told once, wherever it was made.
    const QString now = resultOptions();
    if (!m_recordedOptions.isEmpty())
        recordChanges(StoreTexts::EventOption, m_recordedOptions, now);
    m_recordedOptions = now;
}

void Program::showResultsStore() {
    frmResultsStore window(m_store->path(), m_main.get());
    window.exec();
}

void Program::showRowTrail(int row) {
    if (row < 0 || row >= m_datasheet->resultRows())
        return;
    // The store keys a row by its place in the data file, which a sorted grid does not show.
    frmAuditTrail window(m_store->path(), m_main.get());
    window.Show(m_datasheet->dataFileName(),
                m_datasheet->fileRowNumber(m_datasheet->model().row(row).number()));
    window.exec();
}

// ---- The lab database ---------------------------------------------------------------------------

void Program::startLabSender() {
    m_labSender.reset();
    if (m_main && !m_labStatus) {
        m_labStatus = new ElidedLabel(m_main->statusBar());
        m_labStatus->setObjectName(QStringLiteral("lblLabDatabase"));
        m_main->statusBar()->addPermanentWidget(m_labStatus);
    }
    const QString text = m_parameters->LabDatabase.trimmed();
    if (m_labStatus)
        m_labStatus->setVisible(!text.isEmpty());
    if (text.isEmpty())
        return;
    QString error;
    const std::optional<LabAddress> address = LabAddress::parse(text, &error);
    if (!address) {
        if (m_labStatus)
            m_labStatus->setText(QStringLiteral("Lab database: ") + error);
        return;
    }
    const QString path = m_store->path();
    m_labSender =
        std::make_unique<LabSender>(*address, [path] { return std::make_unique<LabStoreSource>(path); });
    if (m_labStatus) {
        QLabel* label = m_labStatus;
        QObject::connect(m_labSender.get(), &LabSender::statusChanged, label,
                         [label](const LabStatus& status) {
                             label->setText(status.text());
                             label->setToolTip(status.error.message);
                             // The count and since when stay readable, the other messages give way; a
                             // long refusal ends in "..." (the tip has it whole).
                             const QFontMetrics metrics = label->fontMetrics();
                             label->setMinimumWidth(qMin(metrics.horizontalAdvance(label->text()) + 4,
                                                         metrics.averageCharWidth() * 72));
                         });
    }
    // Rows the store has just written go out at once rather than at the next look.
    QObject::connect(m_store.get(), &ResultsStore::drained, m_labSender.get(),
                     [sender = m_labSender.get()] { sender->kick(); });
    m_labSender->start();
}

void Program::stopLabSender(bool tellOperator) {
    if (!m_labSender)
        return;
    const QString waiting = m_labSender->status().exitText();
    m_labSender.reset();
    if (waiting.isEmpty())
        return;
    std::fprintf(stderr, "%s\n", waiting.toUtf8().constData());
    if (tellOperator)
        m_op->msgBox(waiting, MsgStyle::OkOnly | MsgStyle::Information, LabTexts::ExitTitle);
}
