#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>

class CommandGate;
class ControllerLink;
class LoadCell;
class MainActions;
class Motion;
class ParameterTable;
class QAbstractButton;
class QAction;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QMenu;
class QPushButton;
class QRadioButton;
class QVBoxLayout;
class UpDown;
struct Parameters;
struct RunState;

// What the main window shows and forwards to.
struct MainServices {
    Parameters& params;
    ParameterTable& table;
    MainActions& actions;
    ControllerLink& link;
    LoadCell& loadCell;
    Motion& motion;
    RunState& run;
};

// The program's main window: live position and load, the fiber and experiment parameters, the rate
// and preload modes and the command buttons. It displays and forwards; what the buttons do is in
// MainActions and what the window decides is in MainWindowLogic.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int LiveLoadIntervalMs = 100;

    explicit frmMain(const MainServices& services, QWidget* parent = nullptr);
    ~frmMain() override;

    // The load handler: runs once during start-up and shows the window.
    void load(const QString& caption, bool debugMode);

    // Runs when the window is asked to close; returning false keeps it open.
    void setUnloadHandler(std::function<bool()> handler) { m_unload = std::move(handler); }

    void setNoisyChecked(bool checked);
    void setStatusPanel(int panel, const QString& text); // panel 1 or 2
    QString statusPanel(int panel) const;                // the text as set
    // A standing note at the right of the status bar (what start-up did on the operator's behalf).
    void showNote(const QString& text);
    QString note() const;

    // Shows the specimen counter (SpecimenCount) in its box, e.g. after a result or a data file.
    void ShowSpecimenCount();
    // Fills every parameter box from the parameters and selects the two option groups.
    void StuffTextBoxes();
    // Refreshes the boxes and moves the focus to the next logical button.
    void SetNextFocus();
    // The live load in the status bar; clear empties both panels.
    void ShowLiveLoad(bool clear);
    void ShowPosition(qint32 position);
    // What happens each time the window becomes active, and when it stops being active.
    void Activate();
    void Deactivate();

    void RateOptionClick(int index);
    void PreloadOptionClick(int index);

    // The servo loop's diagnostics line (shown in debug mode only).
    void setServoInfo(const QString& text);

    // The lower part of the window, where the datasheet and its commands go.
    QWidget* dataArea() const { return m_dataArea; }
    // The datasheet grid, sized by the window's margin rule on every resize.
    void setGrid(QWidget* grid);
    // A further command button on which the letters L, B, G and Z act as the instrument buttons.
    void watchCommandKeys(QAbstractButton* button);
    // Commits the parameter box being edited as leaving it would; false when its value is refused
    // (the operator has been told and the box keeps the focus). Every command runs this first:
    // buttons through their click, shortcuts and menu entries through the window's command gate.
    bool CommitEdit();
    // Commits the datasheet's comment being typed, if any; run by CommitEdit.
    void setCommentCommit(std::function<void()> commit) { m_commitComment = std::move(commit); }

    QTimer& liveLoadTimer() { return tmrMain; }
    // Disabled by the moving window while the motor moves.
    QWidget* positionLabel() const;

signals:
    void openDataFileRequested();
    void saveDataFileAsRequested();
    void helpRequested();
    void checkNewVersionRequested();
    void aboutRequested();
    void statisticsRequested();
    void resultsStoreRequested();
    // A value typed into a box or an option chosen has been taken (once per change, not per key).
    void parametersSaved();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addEntry(QMenu* menu, const char* name, const QString& caption);
    void buildMenus();
    QWidget* buildControls();
    QGroupBox* buildPositionFrame();
    QGroupBox* buildFiberFrame();
    QGroupBox* buildExperimentFrame();
    QGroupBox* buildRateFrame();
    QGroupBox* buildPreloadFrame();
    QWidget* buildButtons();
    QLineEdit* addBox(QWidget* parent, const char* name, const QString& key, const QString& tip);
    QPushButton* addButton(QWidget* parent, const char* name, const QString& caption, const QString& tip);

    // Runs a command button's action; most end by moving the focus on.
    void act(const std::function<void()>& action, bool nextFocus = true);
    bool validateBox(QLineEdit* box);
    void stepSpecimenCount(int delta);
    void applyRateMode(int mode);
    void applyPreloadMode(int mode);
    void setBoxEnabled(QLineEdit* box, bool enabled);
    void enableInstrumentButtons();
    void refreshPreloadSpeed();
    void liveLoadTick();
    void applyGridRule();
    void focusWindowChanged();
    void saveParameters();

    Parameters& m_params;
    ParameterTable& m_table;
    MainActions& m_actions;
    ControllerLink& m_link;
    LoadCell& m_loadCell;
    Motion& m_motion;
    RunState& m_run;

    std::function<bool()> m_unload;
    std::function<void()> m_commitComment;
    CommandGate* m_gate = nullptr;
    QHash<QLineEdit*, QString> m_boxKeys; // each parameter box and its parameter key
    QPointer<QLineEdit> m_refusedBox;     // a box whose value was refused takes the focus back
    QPointer<QWidget> m_grid;
    bool m_stuffing = false;
    bool m_activating = false;
    bool m_readingLoad = false;
    bool m_returnFromPlainBox = false;

    // Menus and status bar
    QAction* mnuOptionsNoisy = nullptr;
    QLabel* m_panel1 = nullptr;
    QLabel* m_panel2 = nullptr;
    QProgressBar* m_loadBar = nullptr;
    QLabel* m_loadScale = nullptr;
    QLabel* m_note = nullptr;
    QString m_noteText;                 // as given; the bar shows it shortened
    std::array<QString, 2> m_panelText; // as the program wrote them
    QTimer tmrMain;

    // Position
    QGroupBox* frmPosition = nullptr;
    QLabel* lblPosition = nullptr;

    // Fiber parameters
    QLineEdit* txtDf = nullptr;
    QLineEdit* txtDc = nullptr;
    QLineEdit* txtEo = nullptr;
    QLineEdit* txtEa = nullptr;
    QLabel* lblCoating = nullptr;
    QLabel* lblCoatingUnit = nullptr;

    // Experiment parameters
    QLineEdit* txtSpecimenCount = nullptr;
    UpDown* udSpecimenCount = nullptr;
    QLineEdit* txtLoadGap = nullptr;
    QLabel* lblLoadGap = nullptr;
    QLabel* lblLoadGapUnit = nullptr;
    UpDown* udLoadGap = nullptr;
    QLineEdit* txtZo = nullptr;
    QLineEdit* txtOperator = nullptr;
    QLineEdit* txtSample = nullptr;
    // Shown while Operator or Sample holds what the data file writes as an escape.
    QLabel* lblSampleNote = nullptr;
    QLineEdit* txtGrooveAngle = nullptr;
    UpDown* udGrooveAngle = nullptr;
    QLineEdit* txtTestingCount = nullptr;
    UpDown* udTestingCount = nullptr;

    // Rate and preload
    QButtonGroup* m_rateGroup = nullptr;
    QButtonGroup* m_preloadGroup = nullptr;
    std::array<QRadioButton*, 4> optRate{};
    std::array<QLineEdit*, 3> txtRate{};
    std::array<QRadioButton*, 4> optPreload{};
    std::array<QLineEdit*, 3> txtPreload{};
    QLabel* lblPreloadSpeed = nullptr;
    QPushButton* cmdPreloadSpeed = nullptr;

    // Command buttons
    QPushButton* cmdLoad = nullptr;
    QPushButton* cmdBreak = nullptr;
    QPushButton* cmdGoto = nullptr;
    QPushButton* cmdZero = nullptr;
    QPushButton* cmdCalibrate = nullptr;
    QPushButton* cmdReview = nullptr;
    QPushButton* cmdHardware = nullptr;
    QPushButton* cmdCalculator = nullptr;
    QPushButton* cmdOptions = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdTest = nullptr;
    QPushButton* cmdAutoMode = nullptr;

    QPlainTextEdit* txtServoInfo = nullptr;
    QWidget* m_dataArea = nullptr;
};
