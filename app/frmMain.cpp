#include "app/frmMain.h"

#include "app/CommandGate.h"
#include "app/ElidedLabel.h"
#include "app/MainActions.h"
#include "app/MainTexts.h"
#include "app/MainWindowLogic.h"
#include "app/UpDown.h"
#include "base/Twips.h"
#include "instrument/ControllerLink.h"
#include "instrument/LoadCell.h"
#include "instrument/Motion.h"
#include "instrument/RunState.h"
#include "params/NumberFormat.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/WindowPlacement.h"
#include "results/RowTitle.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWindow>

namespace MT = MainTexts;
using namespace MainWindowLogic;

namespace {
constexpr int kDebugWidthTwips = 21120;
// Room for the controls and, below them, the datasheet.
constexpr int kWidthTwips = 13200;
constexpr int kHeightTwips = 10800;

QLabel* label(const QString& text, QWidget* parent, const char* name = nullptr) {
    auto* l = new QLabel(text, parent);
    if (name != nullptr)
        l->setObjectName(QLatin1String(name));
    return l;
}

// The platform's own dialogs: closing one is no return from another window of the program.
bool isPlainBox(const QWidget* w) {
    return qobject_cast<const QMessageBox*>(w) != nullptr ||
           qobject_cast<const QInputDialog*>(w) != nullptr || qobject_cast<const QFileDialog*>(w) != nullptr;
}
} // namespace

frmMain::frmMain(const MainServices& services, QWidget* parent)
    : QMainWindow(parent), m_params(services.params), m_table(services.table), m_actions(services.actions),
      m_link(services.link), m_loadCell(services.loadCell), m_motion(services.motion), m_run(services.run) {
    setObjectName(QStringLiteral("frmMain"));
    buildMenus();
    setCentralWidget(buildControls());

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    m_panel1 = new QLabel(bar);
    m_panel1->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_panel1->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Load: -000.00 N   ")));
    m_panel2 = new QLabel(bar);
    m_panel2->setObjectName(QStringLiteral("StatusBar1Panel2"));
    m_panel2->hide(); // its characters are drawn as the bar below
    m_loadBar = new QProgressBar(bar);
    m_loadBar->setObjectName(QStringLiteral("StatusBar1LoadBar"));
    m_loadBar->setTextVisible(false);
    m_loadBar->setFixedWidth(180);
    m_loadBar->setMaximumHeight(fontMetrics().height());
    m_loadBar->hide();
    m_loadScale = new QLabel(bar);
    m_loadScale->setObjectName(QStringLiteral("StatusBar1LoadScale"));
    m_loadScale->hide();
    bar->addWidget(m_panel1);
    bar->addWidget(m_panel2);
    bar->addWidget(m_loadBar);
    bar->addWidget(m_loadScale, 1);
    // The note gives way to the lab database's state beside it rather than push it off the bar.
    m_note = new ElidedLabel(bar);
    m_note->setObjectName(QStringLiteral("StatusBar1Note"));
    m_note->hide();
    bar->addPermanentWidget(m_note);

    tmrMain.setObjectName(QStringLiteral("tmrMain"));
    tmrMain.setInterval(LiveLoadIntervalMs);
    connect(&tmrMain, &QTimer::timeout, this, &frmMain::liveLoadTick);

    m_gate = new CommandGate(this, [this] { return CommitEdit(); });

    connect(&m_motion, &Motion::positionChanged, this, &frmMain::ShowPosition);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &frmMain::focusWindowChanged);
    ShowPosition(m_motion.Position());
}

frmMain::~frmMain() {
    tmrMain.stop();
}

// ---- Construction ---------------------------------------------------------------------------

QAction* frmMain::addEntry(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

void frmMain::buildMenus() {
    auto addMenu = [this](const char* name, const QString& caption) {
        QMenu* menu = menuBar()->addMenu(caption);
        menu->setObjectName(QLatin1String(name));
        return menu;
    };

    QMenu* file = addMenu("mnuFile", QStringLiteral("&File"));
    connect(addEntry(file, "mnuFileOpen", QStringLiteral("&Open data file")), &QAction::triggered, this,
            &frmMain::openDataFileRequested);
    connect(addEntry(file, "mnuFileSaveas", QStringLiteral("&Save data file as")), &QAction::triggered, this,
            &frmMain::saveDataFileAsRequested);
    connect(addEntry(file, "mnuFileExit", QStringLiteral("E&xit program")), &QAction::triggered, this,
            &QWidget::close);

    // Filled by the datasheet's editing, export and copy commands.
    addMenu("mnuDataSheet", QStringLiteral("&Data sheet"));
    addMenu("mnuExportData", QStringLiteral("Export &data"));
    menuBar()->addAction(QStringLiteral("Copy Special"))->setObjectName(QStringLiteral("mnuCopySpecial"));

    QMenu* misc = addMenu("mnuOptions", QStringLiteral("&Miscellaneous"));
    connect(addEntry(misc, "mnuOptionsHardware", QStringLiteral("&Hardware setup")), &QAction::triggered,
            this, [this] { m_actions.HardwareMenu(); });
    connect(addEntry(misc, "mnuOptionsCalculator", QStringLiteral("&Calculator")), &QAction::triggered, this,
            [this] { m_actions.Calculator(); });
    connect(addEntry(misc, "mnuOptionsOptions", QStringLiteral("&Options")), &QAction::triggered, this,
            [this] { m_actions.OptionsMenu(); });
    connect(addEntry(misc, "mnuOptionsStatistics", QStringLiteral("Statistics")), &QAction::triggered, this,
            &frmMain::statisticsRequested);
    connect(addEntry(misc, "mnuOptionsResultsStore", QStringLiteral("&Results store")), &QAction::triggered,
            this, &frmMain::resultsStoreRequested);
    mnuOptionsNoisy = addEntry(misc, "mnuOptionsNoisy", QStringLiteral("&Noisy - click when motor steps"));
    mnuOptionsNoisy->setCheckable(true);
    connect(mnuOptionsNoisy, &QAction::triggered, this, [this] {
        m_actions.ToggleNoisy();
        setNoisyChecked(m_params.Noisy);
    });

    QMenu* help = addMenu("mnuHelp", QStringLiteral("&Help"));
    QAction* contents = addEntry(help, "mnuHelpContents", QStringLiteral("&Help"));
    contents->setShortcut(QKeySequence(Qt::Key_F1));
    contents->setShortcutContext(Qt::ApplicationShortcut);
    connect(contents, &QAction::triggered, this, &frmMain::helpRequested);
    connect(addEntry(help, "mnuCheckNewVersion", QStringLiteral("&Check for newer version")),
            &QAction::triggered, this, &frmMain::checkNewVersionRequested);
    connect(addEntry(help, "mnuHelpAbout", QStringLiteral("&About")), &QAction::triggered, this,
            &frmMain::aboutRequested);
}

QLineEdit* frmMain::addBox(QWidget* parent, const char* name, const QString& key, const QString& tip) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(tip);
    box->setMinimumWidth(70);
    box->setMaximumWidth(90);
    box->installEventFilter(this);
    if (!key.isEmpty())
        m_boxKeys.insert(box, key);
    return box;
}

QPushButton* frmMain::addButton(QWidget* parent, const char* name, const QString& caption,
                                const QString& tip) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(tip);
    button->setAutoDefault(false);
    return button;
}

QWidget* frmMain::buildControls() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("frmMainClient"));
    auto* top = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(buildPositionFrame());
    left->addWidget(buildFiberFrame());
    left->addStretch();
    auto* middle = new QVBoxLayout;
    middle->addWidget(buildExperimentFrame());
    middle->addWidget(buildRateFrame());
    middle->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(buildPreloadFrame());
    right->addWidget(buildButtons());
    right->addStretch();
    top->addLayout(left);
    top->addLayout(middle);
    top->addLayout(right);
    top->addStretch();

    txtServoInfo = new QPlainTextEdit(central);
    txtServoInfo->setObjectName(QStringLiteral("txtServoInfo"));
    txtServoInfo->setReadOnly(true);
    txtServoInfo->setFocusPolicy(Qt::NoFocus);
    txtServoInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtServoInfo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    {
        // Room for the last cycle lines and the gain line below them.
        const QFontMetrics metrics(txtServoInfo->font());
        txtServoInfo->setFixedHeight(metrics.lineSpacing() * 7 + 2 * txtServoInfo->frameWidth() + 8);
    }
    txtServoInfo->hide();

    m_dataArea = new QWidget(central);
    m_dataArea->setObjectName(QStringLiteral("dataArea"));
    auto* dataLayout = new QVBoxLayout(m_dataArea);
    dataLayout->setContentsMargins(0, 0, 0, 0);

    auto* layout = new QVBoxLayout(central);
    layout->addLayout(top);
    layout->addWidget(txtServoInfo);
    layout->addWidget(m_dataArea);
    layout->addStretch(1);
    return central;
}

QGroupBox* frmMain::buildPositionFrame() {
    frmPosition = new QGroupBox(MT::PositionFrame);
    frmPosition->setObjectName(QStringLiteral("frmPosition"));
    auto* layout = new QVBoxLayout(frmPosition);
    lblPosition = label(QString(), frmPosition, "lblPosition");
    QFont big = lblPosition->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    lblPosition->setFont(big);
    lblPosition->setAlignment(Qt::AlignCenter);
    lblPosition->setMinimumWidth(160);
    layout->addWidget(lblPosition);
    return frmPosition;
}

QGroupBox* frmMain::buildFiberFrame() {
    auto* frame = new QGroupBox(MT::FiberFrame);
    frame->setObjectName(QStringLiteral("fraFiber"));
    auto* grid = new QGridLayout(frame);
    txtDf = addBox(frame, "txtDf", QStringLiteral("FiberDiameter"), MT::FiberDiameterTip);
    txtDc = addBox(frame, "txtDc", QStringLiteral("CoatingEA"), MT::CoatingEATip);
    txtEo = addBox(frame, "txtEo", QStringLiteral("Modulus"), MT::ModulusTip);
    txtEa = addBox(frame, "txtEa", QStringLiteral("ModulusA"), MT::ModulusATip);
    lblCoating = label(MT::CoatingEA, frame, "lblCoating");
    lblCoatingUnit = label(MT::Newton, frame, "lblCoatingUnit");
    const std::array<std::tuple<QLabel*, QLineEdit*, QLabel*>, 4> rows{
        std::tuple{label(MT::FiberDiameter, frame, "lblDf"), txtDf, label(MT::Micron, frame)},
        std::tuple{lblCoating, txtDc, lblCoatingUnit},
        std::tuple{label(MT::Modulus, frame, "lblEo"), txtEo, label(MT::GigaPascal, frame)},
        std::tuple{label(MT::ModulusA, frame, "lblEa"), txtEa, label(QString(), frame)}};
    int row = 0;
    for (auto [caption, box, unit] : rows) {
        grid->addWidget(caption, row, 0);
        grid->addWidget(box, row, 1);
        grid->addWidget(unit, row, 2);
        ++row;
    }
    return frame;
}

QGroupBox* frmMain::buildExperimentFrame() {
    auto* frame = new QGroupBox(MT::ExperimentFrame);
    frame->setObjectName(QStringLiteral("fraExperiment"));
    auto* grid = new QGridLayout(frame);

    txtSpecimenCount =
        addBox(frame, "txtSpecimenCount", QStringLiteral("SpecimenCount"), MT::SpecimenCountTip);
    udSpecimenCount = new UpDown(frame);
    udSpecimenCount->setObjectName(QStringLiteral("udSpecimenCount"));
    connect(udSpecimenCount, &UpDown::stepped, this, &frmMain::stepSpecimenCount);
    grid->addWidget(label(MT::SpecimenCount, frame, "lblSpecimenCount"), 0, 0);
    grid->addWidget(txtSpecimenCount, 0, 1);
    grid->addWidget(udSpecimenCount, 0, 2);

    txtLoadGap = addBox(frame, "txtLoadGap", QStringLiteral("GaugeLength"), MT::GaugeLengthTip);
    lblLoadGap = label(MT::GaugeLength, frame, "lblLoadGap");
    lblLoadGapUnit = label(MT::Millimetre, frame, "lblLoadGapUnit");
    udLoadGap = new UpDown(frame);
    udLoadGap->setObjectName(QStringLiteral("udLoadGap"));
    grid->addWidget(lblLoadGap, 1, 0);
    grid->addWidget(txtLoadGap, 1, 1);
    grid->addWidget(lblLoadGapUnit, 1, 2);

    txtZo = addBox(frame, "txtZo", QStringLiteral("RateCalculation%"), MT::RateCalcTip);
    grid->addWidget(label(MT::RateCalc, frame, "lblZo"), 2, 0);
    grid->addWidget(txtZo, 2, 1);
    grid->addWidget(label(MT::Percent, frame, "lblZoUnit"), 2, 2);

    txtOperator = addBox(frame, "txtOperator", QStringLiteral("Operator"), MT::OperatorTip);
    txtSample = addBox(frame, "txtSample", QStringLiteral("Sample"), MT::SampleTip);
    for (QLineEdit* box : {txtOperator, txtSample})
        box->setMaximumWidth(160);
    grid->addWidget(label(MT::OperatorLabel, frame, "lblOperator"), 3, 0);
    grid->addWidget(txtOperator, 3, 1, 1, 2);
    grid->addWidget(label(MT::SampleLabel, frame, "lblSample"), 4, 0);
    grid->addWidget(txtSample, 4, 1, 1, 2);
    // Said at entry, not found later in the file: the data file's parameter column holds no comma.
    lblSampleNote = label(MT::SampleEscapedNote, frame, "lblSampleNote");
    lblSampleNote->setWordWrap(true);
    lblSampleNote->setStyleSheet(QStringLiteral("color: #8a5a00"));
    lblSampleNote->hide();
    grid->addWidget(lblSampleNote, 5, 0, 1, 3);
    for (QLineEdit* box : {txtOperator, txtSample})
        connect(box, &QLineEdit::textChanged, this, [this] {
            lblSampleNote->setVisible(RowTitle::NoteEscaped(txtOperator->text()) ||
                                      RowTitle::NoteEscaped(txtSample->text()));
        });

    // The bend tester's boxes: part of the window, never shown by this product.
    txtGrooveAngle = addBox(frame, "txtGrooveAngle", QString(), QString());
    udGrooveAngle = new UpDown(frame);
    udGrooveAngle->setObjectName(QStringLiteral("udGrooveAngle"));
    txtTestingCount = addBox(frame, "txtTestingCount", QString(), QString());
    udTestingCount = new UpDown(frame);
    udTestingCount->setObjectName(QStringLiteral("udTestingCount"));
    for (QWidget* hidden : std::initializer_list<QWidget*>{
             txtGrooveAngle, udGrooveAngle, label(MT::GrooveAngle, frame, "lblGrooveAngle"),
             label(MT::Degree, frame, "lblGrooveAngleUnit"), txtTestingCount, udTestingCount,
             label(MT::TestingCount, frame, "lblTestingCount"), udLoadGap})
        hidden->hide();
    return frame;
}

QGroupBox* frmMain::buildRateFrame() {
    auto* frame = new QGroupBox(MT::RateFrame);
    frame->setObjectName(QStringLiteral("fraRate"));
    auto* grid = new QGridLayout(frame);
    grid->addWidget(label(MT::RateConstant, frame, "lblConstant"), 0, 0, 1, 3);
    m_rateGroup = new QButtonGroup(frame);
    for (int i = 0; i < 4; ++i) {
        optRate[size_t(i)] = new QRadioButton(MT::RateCaptions[i], frame);
        optRate[size_t(i)]->setObjectName(QStringLiteral("optRate%1").arg(i));
        m_rateGroup->addButton(optRate[size_t(i)], i);
        connect(optRate[size_t(i)], &QRadioButton::clicked, this, [this, i] { RateOptionClick(i); });
        if (i < 3) {
            grid->addWidget(optRate[size_t(i)], i + 1, 0);
            txtRate[size_t(i)] = addBox(frame, "", QString(), QString());
            txtRate[size_t(i)]->setObjectName(QStringLiteral("txtRate%1").arg(i));
            grid->addWidget(txtRate[size_t(i)], i + 1, 1);
            grid->addWidget(label(MT::RateUnits[i], frame), i + 1, 2);
        } else {
            grid->addWidget(optRate[size_t(i)], i + 1, 0, 1, 3);
        }
    }
    m_boxKeys.insert(txtRate[0], QStringLiteral("ExptSpeed"));
    m_boxKeys.insert(txtRate[1], QStringLiteral("ExptStressRate"));
    m_boxKeys.insert(txtRate[2], QStringLiteral("ExptStrainRate"));
    return frame;
}

QGroupBox* frmMain::buildPreloadFrame() {
    auto* frame = new QGroupBox(MT::PreloadFrame);
    frame->setObjectName(QStringLiteral("fraPreload"));
    frame->setToolTip(MT::PreloadFrameTip);
    auto* grid = new QGridLayout(frame);
    m_preloadGroup = new QButtonGroup(frame);
    const std::array<const char*, 3> keys{"PreloadLoad", "PreloadStress", "PreloadStrain"};
    for (int i = 0; i < 4; ++i) {
        optPreload[size_t(i)] = new QRadioButton(MT::PreloadCaptions[i], frame);
        optPreload[size_t(i)]->setObjectName(QStringLiteral("optPreload%1").arg(i));
        m_preloadGroup->addButton(optPreload[size_t(i)], i);
        connect(optPreload[size_t(i)], &QRadioButton::clicked, this, [this, i] { PreloadOptionClick(i); });
        grid->addWidget(optPreload[size_t(i)], i, 0);
        if (i > 0) {
            QLineEdit* box = addBox(frame, "", QLatin1String(keys[size_t(i - 1)]), QString());
            box->setObjectName(QStringLiteral("txtPreload%1").arg(i - 1));
            txtPreload[size_t(i - 1)] = box;
            grid->addWidget(box, i, 1);
            grid->addWidget(label(MT::PreloadUnits[i - 1], frame, i == 1 ? "lblPreloadUnit0" : nullptr), i,
                            2);
        }
    }
    lblPreloadSpeed = label(QString(), frame, "lblPreloadSpeed");
    cmdPreloadSpeed = addButton(frame, "cmdPreloadSpeed", MT::PreloadSpeed, MT::PreloadSpeedTip);
    cmdPreloadSpeed->setFixedWidth(cmdPreloadSpeed->fontMetrics().horizontalAdvance(MT::PreloadSpeed) + 24);
    connect(cmdPreloadSpeed, &QPushButton::clicked, this, [this] {
        act([this] {
            m_actions.PreloadSpeed();
            refreshPreloadSpeed();
        });
    });
    grid->addWidget(lblPreloadSpeed, 4, 0, 1, 2);
    grid->addWidget(cmdPreloadSpeed, 4, 2);
    return frame;
}

QWidget* frmMain::buildButtons() {
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("fraButtons"));
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 6, 0, 0);
    cmdLoad = addButton(panel, "cmdLoad", MT::Load, MT::LoadTip);
    cmdBreak = addButton(panel, "cmdBreak", MT::Break, MT::BreakTip);
    cmdGoto = addButton(panel, "cmdGoto", MT::Goto, MT::GotoTip);
    cmdZero = addButton(panel, "cmdZero", MT::Zero, MT::ZeroTip);
    cmdTest = addButton(panel, "cmdTest", MT::Test, QString());
    cmdCalibrate = addButton(panel, "cmdCalibrate", MT::Calibrate, MT::CalibrateTip);
    cmdReview = addButton(panel, "cmdReview", MT::Review, MT::ReviewTip);
    cmdHardware = addButton(panel, "cmdHardware", MT::Hardware, MT::HardwareTip);
    cmdCalculator = addButton(panel, "cmdCalculator", MT::Calculator, MT::CalculatorTip);
    cmdOptions = addButton(panel, "cmdOptions", MT::Options, MT::OptionsTip);
    cmdExit = addButton(panel, "cmdExit", MT::Exit, MT::ExitTip);
    cmdAutoMode = addButton(panel, "cmdAutoMode", MT::AutoMode, MT::AutoModeTip);
    cmdAutoMode->hide(); // the calibration button takes its place

    const std::array<QPushButton*, 5> instrument{cmdLoad, cmdBreak, cmdGoto, cmdZero, cmdTest};
    const std::array<QPushButton*, 6> others{cmdCalibrate,  cmdReview,  cmdHardware,
                                             cmdCalculator, cmdOptions, cmdExit};
    for (int i = 0; i < int(instrument.size()); ++i)
        grid->addWidget(instrument[size_t(i)], i, 0);
    for (int i = 0; i < int(others.size()); ++i)
        grid->addWidget(others[size_t(i)], i, 1);
    for (QPushButton* b : instrument)
        b->setMinimumWidth(130);
    for (QPushButton* b : others)
        b->setMinimumWidth(130);

    connect(cmdLoad, &QPushButton::clicked, this, [this] { act([this] { m_actions.LoadFiber(); }); });
    connect(cmdGoto, &QPushButton::clicked, this, [this] { act([this] { m_actions.Goto(); }); });
    connect(cmdZero, &QPushButton::clicked, this, [this] { act([this] { m_actions.Zero(); }); });
    connect(cmdBreak, &QPushButton::clicked, this, [this] {
        act([this] {
            if (m_actions.BreakFiber())
                Activate();
        });
    });
    connect(cmdTest, &QPushButton::clicked, this, [this] { act([this] { m_actions.Test(); }, false); });
    connect(cmdCalibrate, &QPushButton::clicked, this, [this] { act([this] { m_actions.Calibrate(); }); });
    connect(cmdReview, &QPushButton::clicked, this, [this] { act([this] { m_actions.Review(); }); });
    connect(cmdHardware, &QPushButton::clicked, this,
            [this] { act([this] { m_actions.HardwareButton(); }); });
    connect(cmdCalculator, &QPushButton::clicked, this, [this] { act([this] { m_actions.Calculator(); }); });
    connect(cmdOptions, &QPushButton::clicked, this, [this] { act([this] { m_actions.OptionsButton(); }); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { act([this] { close(); }, false); });

    for (QPushButton* b :
         {cmdLoad, cmdBreak, cmdGoto, cmdZero, cmdCalculator, cmdHardware, cmdOptions, cmdExit})
        watchCommandKeys(b);
    return panel;
}

// ---- Load, boxes and options ----------------------------------------------------------------

void frmMain::load(const QString& caption, bool debugMode) {
    statusBar()->setVisible(true);
    statusBar()->setEnabled(true);
    setWindowTitle(caption);
    resize(twipsToPixels(kWidthTwips), twipsToPixels(kHeightTwips));
    show();
    cmdLoad->setFocus();
    cmdTest->setVisible(debugMode);
    cmdReview->setVisible(true);
    cmdCalibrate->setVisible(true);
    if (debugMode) {
        resize(twipsToPixels(kDebugWidthTwips), height());
        txtServoInfo->setVisible(true);
        txtServoInfo->clear();
    }
    // A laptop screen takes the whole window.
    FitOnScreen(*this);
    refreshPreloadSpeed();
    StuffTextBoxes();
}

void frmMain::StuffTextBoxes() {
    const QScopedValueRollback stuffing(m_stuffing, true);
    auto fill = [this](QLineEdit* box) {
        box->setText(m_table.valueText(m_boxKeys.value(box)));
        box->setModified(false);
    };
    for (QLineEdit* box : {txtRate[0], txtDc, txtPreload[0], txtLoadGap, txtZo})
        fill(box);
    PreloadOptionClick(qBound(0, int(m_params.PreloadType), 3));
    RateOptionClick(qBound(0, int(m_params.ExptType), 3));
    for (QLineEdit* box : {txtPreload[1], txtPreload[2], txtRate[1], txtRate[2], txtSpecimenCount, txtDf,
                           txtEo, txtEa, txtOperator, txtSample})
        fill(box);
    const QString tip = PositionToolTip(m_params.MicronsPerStep);
    frmPosition->setToolTip(tip);
    lblPosition->setToolTip(tip);
    ShowPosition(m_motion.Position());
}

void frmMain::ShowSpecimenCount() {
    const QScopedValueRollback stuffing(m_stuffing, true);
    txtSpecimenCount->setText(m_table.valueText(QStringLiteral("SpecimenCount")));
    txtSpecimenCount->setModified(false);
}

void frmMain::RateOptionClick(int index) {
    {
        const QSignalBlocker quiet(m_rateGroup);
        optRate[size_t(index)]->setChecked(true);
    }
    for (int box = 0; box < 3; ++box)
        setBoxEnabled(txtRate[size_t(box)], RateBoxEnabled(index, box));
    m_params.ExptType = index;
    if (!m_stuffing) {
        saveParameters();
        SetNextFocus();
    }
}

void frmMain::PreloadOptionClick(int index) {
    {
        const QSignalBlocker quiet(m_preloadGroup);
        optPreload[size_t(index)]->setChecked(true);
    }
    for (int box = 0; box < 3; ++box)
        setBoxEnabled(txtPreload[size_t(box)], PreloadBoxEnabled(index, box));
    m_params.PreloadType = index;
    if (!m_stuffing) {
        saveParameters();
        SetNextFocus();
    }
}

void frmMain::setBoxEnabled(QLineEdit* box, bool enabled) {
    box->setEnabled(enabled);
    QPalette p = box->palette();
    p.setColor(QPalette::Base, palette().color(enabled ? QPalette::Base : QPalette::Button));
    box->setPalette(p);
}

void frmMain::SetNextFocus() {
    StuffTextBoxes();
    QPushButton* next = NextFocus(m_motion.Position()) == Focus::Load ? cmdLoad : cmdBreak;
    if (next->isEnabled())
        next->setFocus();
}

void frmMain::stepSpecimenCount(int delta) {
    const auto number = toNumber(txtSpecimenCount->text());
    const double next = qBound(1.0, (number ? std::floor(*number) : 0.0) + delta, 1000000.0);
    txtSpecimenCount->setText(numberText(next));
    txtSpecimenCount->setModified(true);
    txtSpecimenCount->setFocus();
}

bool frmMain::validateBox(QLineEdit* box) {
    box->setModified(false);
    QString text = box->text();
    if (!m_table.profValidate(m_boxKeys.value(box), text)) {
        saveParameters();
        return true;
    }
    box->setText(text);
    // The focus goes back to the box once the change of focus under way has finished.
    m_refusedBox = box;
    QTimer::singleShot(0, this, [this] {
        if (m_refusedBox) {
            m_refusedBox->setFocus();
            m_refusedBox->selectAll();
        }
        m_refusedBox = nullptr;
    });
    return false;
}

// ---- Actions and keys -----------------------------------------------------------------------

void frmMain::saveParameters() {
    // A crash or a kill later must not cost the operator what was chosen: the settings file is
    // replaced whole at every change.
    m_table.SaveParameters();
    emit parametersSaved();
}

bool frmMain::CommitEdit() {
    // A refused value keeps the focus; whatever tried to take it does nothing.
    if (m_refusedBox)
        return false;
    // A comment being typed in the datasheet goes in before any command, as leaving it would.
    if (m_commitComment)
        m_commitComment();
    auto* box = qobject_cast<QLineEdit*>(focusWidget());
    if (box == nullptr || !m_boxKeys.contains(box) || !box->isModified() || m_stuffing)
        return true;
    return validateBox(box);
}

void frmMain::act(const std::function<void()>& action, bool nextFocus) {
    if (!CommitEdit())
        return;
    action();
    if (nextFocus)
        SetNextFocus();
}

void frmMain::watchCommandKeys(QAbstractButton* button) {
    button->installEventFilter(this);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_dataArea && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        applyGridRule();
        return false;
    }
    if (event->type() == QEvent::FocusOut) {
        auto* box = qobject_cast<QLineEdit*>(watched);
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Moving to another control checks the entry; switching windows or opening a menu does not.
        if (box && m_boxKeys.contains(box) && box->isModified() && !m_stuffing &&
            reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            validateBox(box);
    } else if (event->type() == QEvent::KeyPress && qobject_cast<QAbstractButton*>(watched)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0) {
            QPushButton* target = nullptr;
            switch (key->key()) {
            case Qt::Key_L:
                target = cmdLoad;
                break;
            case Qt::Key_B:
                target = cmdBreak;
                break;
            case Qt::Key_G:
                target = cmdGoto;
                break;
            case Qt::Key_Z:
                target = cmdZero;
                break;
            default:
                break;
            }
            if (target != nullptr) {
                target->click(); // nothing happens while the button is disabled
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Live display, activation and resizing --------------------------------------------------

void frmMain::ShowPosition(qint32 position) {
    lblPosition->setText(QString::number(position));
}

QWidget* frmMain::positionLabel() const {
    return lblPosition;
}

void frmMain::setServoInfo(const QString& text) {
    // The cycle lines, then the gain line; the end stays in view.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtServoInfo->setPlainText(shown);
    txtServoInfo->moveCursor(QTextCursor::End);
    txtServoInfo->ensureCursorVisible();
}

void frmMain::setNoisyChecked(bool checked) {
    const QSignalBlocker quiet(mnuOptionsNoisy);
    mnuOptionsNoisy->setChecked(checked);
}

void frmMain::setStatusPanel(int panel, const QString& text) {
    m_panelText[panel == 1 ? 0 : 1] = text;
    if (panel == 1) {
        m_panel1->setText(LiveLoadShown(text));
        return;
    }
    m_panel2->setText(text);
    // One character per 0.1 N would run off the bar with a loaded fiber: the characters are drawn as
    // a bar of fixed width whose full scale grows with the load.
    const bool shown = !text.isEmpty();
    m_loadBar->setVisible(shown);
    m_loadScale->setVisible(shown);
    if (!shown)
        return;
    const double load = text.size() / 10.0;
    const double scale = LoadBarFullScale(load);
    m_loadBar->setRange(0, int(scale * 10));
    m_loadBar->setValue(int(text.size()));
    // A negative load fills from the right.
    m_loadBar->setInvertedAppearance(text.at(0) != QChar(MainTexts::BarPositive));
    const QString scaleText = numberText(scale) + MainTexts::LoadUnit;
    m_loadScale->setText(QStringLiteral(" ") + scaleText);
    m_loadBar->setToolTip(MainTexts::LoadBarTip + scaleText);
}

void frmMain::showNote(const QString& text) {
    m_noteText = text;
    // A folder path would push the note off the bar: the bar names the file, the tip the whole path.
    QStringList words = text.split(QLatin1Char(' '));
    for (QString& word : words)
        if (word.size() > 1 && (word.contains(QLatin1Char('/')) || word.contains(QLatin1Char('\\'))))
            word = QFileInfo(word).fileName();
    m_note->setText(words.join(QLatin1Char(' ')));
    m_note->setToolTip(text);
    m_note->setVisible(!text.isEmpty());
}

QString frmMain::note() const {
    return m_noteText;
}

QString frmMain::statusPanel(int panel) const {
    return m_panelText[panel == 1 ? 0 : 1];
}

void frmMain::ShowLiveLoad(bool clear) {
    if (clear) {
        setStatusPanel(1, QString());
        setStatusPanel(2, QString());
        return;
    }
    if (m_readingLoad)
        return;
    const QScopedValueRollback reading(m_readingLoad, true);
    const bool calibrated = m_loadCell.currentIsCalibrated();
    std::optional<double> load;
    if (calibrated && m_link.ControllerFound()) {
        load = m_loadCell.SampleLoad();
        // A garbled reply is no load: the display keeps what it showed.
        if (!load)
            return;
        m_run.CurrentLoad = float(*load);
    }
    const LiveLoad texts = LiveLoadTexts(calibrated, load);
    setStatusPanel(1, texts.panel1);
    setStatusPanel(2, texts.panel2);
}

void frmMain::liveLoadTick() {
    // Moves and modal windows own the System Controller while they run.
    if (m_motion.moving() || QApplication::activeModalWidget() != nullptr)
        return;
    ShowLiveLoad(false);
}

void frmMain::enableInstrumentButtons() {
    const bool found = m_link.ControllerFound();
    for (QPushButton* b : {cmdLoad, cmdBreak, cmdGoto, cmdZero, cmdHardware})
        b->setEnabled(found);
}

void frmMain::refreshPreloadSpeed() {
    lblPreloadSpeed->setText(PreloadSpeedText(m_params));
}

void frmMain::Activate() {
    if (m_activating)
        return;
    const QScopedValueRollback activating(m_activating, true);
    // Closing one of the platform's plain boxes does not count as coming back to the window.
    if (!m_returnFromPlainBox && m_actions.CalibrationNotice(isVisible()))
        act([this] { m_actions.Calibrate(); });
    enableInstrumentButtons();
    cmdTest->setVisible(m_params.DebugMode);
    refreshPreloadSpeed();
    tmrMain.start();
    ShowLiveLoad(false);
}

void frmMain::Deactivate() {
    tmrMain.stop();
    ShowLiveLoad(true);
}

void frmMain::focusWindowChanged() {
    QWindow* focus = QGuiApplication::focusWindow();
    if (focus == nullptr || focus == windowHandle())
        return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->windowHandle() == focus) {
            m_returnFromPlainBox = isPlainBox(w);
            return;
        }
    }
}

void frmMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow())
            Activate();
        else
            Deactivate();
    }
    QMainWindow::changeEvent(event);
}

void frmMain::showEvent(QShowEvent* event) {
    m_returnFromPlainBox = false;
    QMainWindow::showEvent(event);
    // A window that is still the active one when it reappears gets no activation change of its own.
    if (isActiveWindow())
        QTimer::singleShot(0, this, [this] {
            if (isVisible() && isActiveWindow())
                Activate();
        });
}

void frmMain::setGrid(QWidget* grid) {
    m_grid = grid;
    if (grid == nullptr)
        return;
    grid->setParent(centralWidget());
    grid->show();
    // The grid starts below the data area wherever the layout puts it.
    m_dataArea->installEventFilter(this);
    applyGridRule();
}

void frmMain::applyGridRule() {
    if (!m_grid)
        return;
    // The window's size includes its frame and title, the grid's top is below the menu bar.
    const int gridTop = m_dataArea->geometry().bottom() + 1;
    const QRect frame = frameGeometry();
    const double statusHeight = statusBar()->isVisible() ? pixelsToTwips(statusBar()->height()) : 0;
    const GridSize size = GridResize(pixelsToTwips(frame.width()), pixelsToTwips(frame.height()),
                                     pixelsToTwips(gridTop), statusHeight);
    const int width = size.width ? twipsToPixels(*size.width) : m_grid->width();
    const int height = size.height ? twipsToPixels(*size.height) : m_grid->height();
    m_grid->setGeometry(qMax(0, (centralWidget()->width() - width) / 2), gridTop, width, height);
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    applyGridRule();
}

void frmMain::closeEvent(QCloseEvent* event) {
    // The window's own close button is a command too; an end of the program closes it as it stands.
    if (event->spontaneous() && !CommitEdit()) {
        event->ignore();
        return;
    }
    if (m_unload && !m_unload()) {
        event->ignore();
        return;
    }
    tmrMain.stop();
    event->accept();
}
