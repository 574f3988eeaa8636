#include "app/frmMain.h"

#include "app/Twips.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStatusBar>

namespace {
constexpr int kDebugWidthTwips = 21120;
} // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));

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
    addMenu("mnuCopySpecial", QStringLiteral("Copy Special"));

    QMenu* misc = addMenu("mnuOptions", QStringLiteral("&Miscellaneous"));
    connect(addEntry(misc, "mnuOptionsHardware", QStringLiteral("&Hardware setup")), &QAction::triggered,
            this, &frmMain::hardwareRequested);
    connect(addEntry(misc, "mnuOptionsCalculator", QStringLiteral("&Calculator")), &QAction::triggered, this,
            &frmMain::calculatorRequested);
    connect(addEntry(misc, "mnuOptionsOptions", QStringLiteral("&Options")), &QAction::triggered, this,
            &frmMain::optionsRequested);
    mnuOptionsNoisy = addEntry(misc, "mnuOptionsNoisy", QStringLiteral("&Noisy - click when motor steps"));
    mnuOptionsNoisy->setCheckable(true);
    connect(mnuOptionsNoisy, &QAction::triggered, this, &frmMain::noisyToggled);

    QMenu* help = addMenu("mnuHelp", QStringLiteral("&Help"));
    QAction* contents = addEntry(help, "mnuHelpContents", QStringLiteral("&Help"));
    contents->setShortcut(QKeySequence(Qt::Key_F1));
    contents->setShortcutContext(Qt::ApplicationShortcut);
    connect(contents, &QAction::triggered, this, &frmMain::helpRequested);
    connect(addEntry(help, "mnuCheckNewVersion", QStringLiteral("&Check for newer version")),
            &QAction::triggered, this, &frmMain::checkNewVersionRequested);
    connect(addEntry(help, "mnuHelpAbout", QStringLiteral("&About")), &QAction::triggered, this,
            &frmMain::aboutRequested);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    m_panel1 = new QLabel(bar);
    m_panel1->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_panel1->setMinimumWidth(220);
    m_panel2 = new QLabel(bar);
    m_panel2->setObjectName(QStringLiteral("StatusBar1Panel2"));
    bar->addWidget(m_panel1);
    bar->addWidget(m_panel2, 1);
}

QAction* frmMain::addEntry(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

void frmMain::load(const QString& caption, bool debugMode) {
    statusBar()->setVisible(true);
    statusBar()->setEnabled(true);
    setWindowTitle(caption);
    show();
    if (debugMode)
        resize(twipsToPixels(kDebugWidthTwips), height());
}

void frmMain::setNoisyChecked(bool checked) {
    const QSignalBlocker quiet(mnuOptionsNoisy);
    mnuOptionsNoisy->setChecked(checked);
}

void frmMain::setStatusPanel(int panel, const QString& text) {
    (panel == 1 ? m_panel1 : m_panel2)->setText(text);
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (m_unload && !m_unload()) {
        event->ignore();
        return;
    }
    event->accept();
}
