#pragma once

#include "instrument/MovingView.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class LiveCurveView;
class Motion;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QWindow;

// "MOTOR MOVING": shown modally while a move runs. It displays the move's caption, position and
// load, and forwards the stop button and keys to Motion, whose poll loop acts on them.
class frmMoving : public QWidget, public MovingView {
    Q_OBJECT
public:
    explicit frmMoving(Motion& motion, QWidget* parent = nullptr);
    ~frmMoving() override;

    // The window is centred over this one when it would lie partly off the screen.
    void setMainWindow(QWidget* window) { m_mainWindow = window; }
    // The main window's position label, disabled while the motor moves.
    void setMainPositionLabel(QWidget* label) { m_mainPositionLabel = label; }
    // Controls of the main window that look disabled while the motor moves: a click on them could
    // not be acted on before the move ends.
    void setMainControls(const QList<QWidget*>& controls);
    // A window that stays usable while the moving window is up (the instrument's own panel, whose
    // limit switches and stop key act during a move).
    void keepLive(QWidget* window) { m_liveWindows.append(window); }

    void beginMove(const QString& caption) override;
    void showMoveLoad(const QString& text) override;
    void showMovePosition(qint32 position) override;
    void endMove() override;
    void showLivePoint(double seconds, double load, std::optional<double> target) override;
    void showRunProgress(double seconds, const RunProgress& progress) override;
    LiveCurveView* liveCurve() const { return picLiveCurve; }

    QPushButton* stopButton() const { return cmdStop; }
    QCheckBox* lockKeyboardBox() const { return chkLockKeyboard; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void lockKeyboardClicked(bool locked);
    void showInstruction();
    // Fits the window to what it shows, and the window on the screen.
    void grow();
    void centreIfOffScreen();
    void setMainPositionEnabled(bool enabled);
    void showRunReadouts(bool shown);
    void adoptLiveWindows(bool adopt);

    Motion& m_motion;
    QPointer<QWidget> m_mainWindow;
    QPointer<QWidget> m_mainPositionLabel;
    QList<QPointer<QWidget>> m_mainControls;
    QList<QPointer<QWidget>> m_liveWindows;
    QList<QPointer<QWindow>> m_liveParents; // their transient parents outside a move
    bool m_inMove = false;

    QLabel* lblAction;
    QLabel* lblPosition;
    QLabel* lblBroken;
    QPushButton* cmdStop;
    QCheckBox* chkLockKeyboard;
    QLabel* Label1;
    LiveCurveView* picLiveCurve; // shown during a break run
    // Readouts of a break run, hidden outside one.
    QLabel* lblSpecimen;
    QLabel* lblStress;
    QLabel* lblElapsed;
    QProgressBar* prgBreak;
    QLabel* lblProgress;
};
