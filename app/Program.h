#pragma once

#include "app/OrderlyEnd.h"
#include "app/ProgramOptions.h"
#include "app/SetProductIdentity.h"
#include "app/frmHelp.h"

#include <QPointer>
#include <QtGlobal>
#include <functional>
#include <memory>

class SignInGuard;
class BreakRun;
class BreakSound;
class CalibrationCommand;
class ControllerDiscovery;
class ControllerLink;
class ControllerStartup;
class Datasheet;
class DatasheetCommands;
class DatasheetPanel;
class Fiber;
class LoadCell;
class MainActions;
class Motion;
class Operator;
class PortMap;
class ResultAppender;
class ResultsStore;
class DatasheetStoreLink;
class LabSender;
class QLabel;
class StoreAppender;
struct StoredResult;
class ZeroPosition;
class frmMoving;
class ParameterTable;
class SettingsStore;
class Shutdown;
class SimulatedInstrument;
class SingleInstance;
class frmInstrumentPanel;
class frmMain;
class frmSplash;
class frmLoadTimePlots;
class frmHardware;
class UpdateCheck;
class HelpKey;
class TerminationSignal;
class QWidget;
struct Parameters;
struct RunState;

// Owns every service for the program's life and runs the start-up sequence (module MainModule).
class Program {
public:
    Program(const ProgramOptions& options, std::unique_ptr<Operator> op);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    enum class Started { Running, SecondInstance };
    // Runs start-up to the point where the main window's events take over. SecondInstance: another
    // instance runs, this one has shown its message and no window is left.
    Started start();
    // The real program's: SIGTERM, SIGHUP and SIGINT end it the orderly way (not in tests, whose
    // runner must be able to stop them).
    void endOnTerminationSignals();

    // Test seams: the performance counter's frequency, the end of the process, the built version.
    void setCounterFrequency(std::function<qint64()> frequency) { m_counterFrequency = std::move(frequency); }
    void setEndHook(OrderlyEnd::EndHook hook);
    void setVersion(int major, int minor);
    // Where the program's own files are (the manual, the sounds, the distributed calibration).
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }
    // Finding the System Controller (discovery unless replaced); returns whether it was found.
    void setConnectController(std::function<bool()> connect) { m_connectController = std::move(connect); }
    // Told about the main window as soon as it exists (dialogs centre on it).
    void setMainWindowListener(std::function<void(QWidget*)> listener) {
        m_mainWindowListener = std::move(listener);
    }

    const AppIdentity& identity() const { return m_identity; }
    Parameters& parameters() { return *m_parameters; }
    SettingsStore& settings() { return *m_settings; }
    Operator& op() { return *m_op; }
    OrderlyEnd& programEnd() { return *m_end; }
    Fiber& fiber() { return *m_fiber; }
    ControllerLink& link() { return *m_link; }
    LoadCell& loadCell() { return *m_loadCell; }
    RunState& runState() { return *m_run; }
    Motion& motion() { return *m_motion; }
    BreakSound& breakSound() { return *m_breakSound; }
    ParameterTable& table() { return *m_table; }
    // What the main window's buttons and menu entries do; later windows fill its hooks.
    MainActions& actions() { return *m_actions; }
    CalibrationCommand& calibration() { return *m_calibration; }
    BreakRun& breakRun() { return *m_breakRun; }
    // The load/time plot window, created with the main window.
    frmLoadTimePlots* plotWindow() const { return m_plots; }
    // The datasheet and its data file; where a reported break leaves its result row.
    Datasheet& datasheet() { return *m_datasheet; }
    ResultAppender& resultAppender();
    DatasheetCommands& datasheetCommands() { return *m_datasheetCommands; }
    // The results store beside the data file, and its window.
    ResultsStore& resultsStore() { return *m_store; }
    void showResultsStore();
    void showRowTrail(int row);
    // The lab database's sender (null when none is set) and its line on the status bar.
    LabSender* labSender() const { return m_labSender.get(); }
    QLabel* labStatusLabel() const { return m_labStatus; }
    // The datasheet's part of the main window; null until the main window exists.
    DatasheetPanel* datasheetPanel() const { return m_datasheetPanel; }
    frmMain* mainWindow() const { return m_main.get(); }
    frmMoving* movingWindow() const { return m_moving.get(); }
    // The built-in instrument of --simulate; null on a real instrument.
    SimulatedInstrument* simulator() const { return m_simulator.get(); }
    // The panel beside the main window that works the simulated instrument; null on a real one.
    frmInstrumentPanel* instrumentPanel() const { return m_panel; }
    UpdateCheck& updateCheck() { return *m_update; }
    frmHelp* helpWindow() const { return m_help; }

private:
    void connectMainWindow();
    // The manual at a section ("" for its start), over the window the operator is in.
    void openHelp(const QString& topic = {});
    void showAbout();
    void showCalculator();
    // The statistics window on the datasheet's rows.
    void showStatistics();
    // The zero window, modal; also what the main window's zero button opens.
    void showZeroWindow();
    void closeSplash();
    void showInstrumentPanel();
    // The main window and the instrument panel side by side, centred when the screen holds both.
    void placeMainAndPanel();
    void connectDatasheet();
    void connectStore();
    // Sign-in when the results store has users; false: nobody signed in.
    bool startSignIn();
    // (Re)starts sending to the lab database of the option "Lab database"; stops it when none is set.
    void startLabSender();
    // Stops the sender and says what still waits (the end of the program).
    void stopLabSender(bool tellOperator);
    // What the store keeps with a row just appended beside its fields.
    StoredResult describeResult();
    // The options that shape results, as "key=value" items.
    QString resultOptions() const;
    QString calibrationInUse() const;
    void recordChanges(const QString& kind, const QString& before, const QString& after);
    // The options that change results, each one that differs from the last recorded.
    void recordOptionChanges();
    // The "OPEN DATA FILE" warning and the data file command, while no data file is attached.
    // At the end: results the data file lacks are told once more, with the export offered; false
    // keeps the program.
    bool offerUnsavedResults();
    void askForDataFile();
    // The load/time record file of a result row, and its plots in the plot window.
    QString rowDataFile(int row) const;
    void showRowPlots(int row);
    void showOptions();
    void showPreloadSpeed();
    void showHardware();

    ProgramOptions m_options;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<Parameters> m_parameters;
    std::unique_ptr<Operator> m_op;
    std::unique_ptr<ParameterTable> m_table;
    std::unique_ptr<Fiber> m_fiber;
    std::unique_ptr<OrderlyEnd> m_end;
    std::unique_ptr<Shutdown> m_shutdown;
    std::unique_ptr<PortMap> m_ports;
    std::unique_ptr<ControllerLink> m_link;
    std::unique_ptr<ControllerDiscovery> m_discovery;
    std::unique_ptr<LoadCell> m_loadCell;
    std::unique_ptr<RunState> m_run;
    std::unique_ptr<Motion> m_motion;
    std::unique_ptr<ZeroPosition> m_zeroActions;
    std::unique_ptr<ControllerStartup> m_controllerStartup;
    std::unique_ptr<BreakSound> m_breakSound;
    std::unique_ptr<MainActions> m_actions;
    std::unique_ptr<CalibrationCommand> m_calibration;
    std::unique_ptr<Datasheet> m_datasheet;
    std::unique_ptr<DatasheetCommands> m_datasheetCommands;
    std::unique_ptr<ResultsStore> m_store;
    DatasheetStoreLink* m_storeLink = nullptr; // owned by the store
    std::unique_ptr<SignInGuard> m_signIn;
    QString m_recordedOptions; // as the audit trail last recorded them
    std::unique_ptr<LabSender> m_labSender;
    QLabel* m_labStatus = nullptr; // owned by the status bar
    std::unique_ptr<StoreAppender> m_storeAppender;
    QString m_pendingRecord;                    // a static hold's record, shown before its row is appended
    DatasheetPanel* m_datasheetPanel = nullptr; // owned by the main window
    std::unique_ptr<BreakRun> m_breakRun;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<frmSplash> m_splash;
    std::unique_ptr<frmMain> m_main;
    std::unique_ptr<frmMoving> m_moving;
    std::unique_ptr<SimulatedInstrument> m_simulator;
    frmInstrumentPanel* m_panel = nullptr; // owned by the main window
    frmLoadTimePlots* m_plots = nullptr;   // owned by the main window
    frmHardware* m_hardware = nullptr;     // while the hardware window is open
    QPointer<frmHelp> m_help;              // belongs to the window it was opened over
    std::unique_ptr<HelpKey> m_helpKey;
    std::unique_ptr<TerminationSignal> m_termination;
    std::unique_ptr<UpdateCheck> m_update;
    AppIdentity m_identity;
    std::function<qint64()> m_counterFrequency;
    std::function<void(QWidget*)> m_mainWindowListener;
    std::function<bool()> m_connectController;
    bool m_datasheetSetUp = false;
    QString m_programFolder;
    int m_versionMajor;
    int m_versionMinor;
};
