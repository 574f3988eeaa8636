#pragma once

#include <QMainWindow>
#include <functional>

class QAction;
class QLabel;
class QMenu;

// The program's main window. It only displays and forwards: what a menu entry or closing the
// window does is decided by the program (Program connects the signals and the unload handler).
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);

    // The load handler: runs once during start-up and shows the window.
    void load(const QString& caption, bool debugMode);

    // Runs when the window is asked to close; returning false keeps it open.
    void setUnloadHandler(std::function<bool()> handler) { m_unload = std::move(handler); }

    void setNoisyChecked(bool checked);
    void setStatusPanel(int panel, const QString& text); // panel 1 or 2

signals:
    void openDataFileRequested();
    void saveDataFileAsRequested();
    void hardwareRequested();
    void calculatorRequested();
    void optionsRequested();
    void noisyToggled(bool checked);
    void helpRequested();
    void checkNewVersionRequested();
    void aboutRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* addEntry(QMenu* menu, const char* name, const QString& caption);

    std::function<bool()> m_unload;
    QAction* mnuOptionsNoisy = nullptr;
    QLabel* m_panel1 = nullptr;
    QLabel* m_panel2 = nullptr;
};
