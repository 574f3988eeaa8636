#pragma once

#include <QDialog>
#include <array>

class LoadCalibrator;
class Operator;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;
class SettingsStore;
class frmLoadCalibrate;

// The calibration review window: the channel in use with its calibration and live load, the tare,
// the calibration files and the way into a new calibration. It cannot be left without a
// calibration unless the operator chooses to end the program.
class frmLoadCalibrateMain : public QDialog {
    Q_OBJECT
public:
    static constexpr int TickMs = 250;

    frmLoadCalibrateMain(LoadCalibrator& calibrator, Operator& op, SettingsStore& store,
                         QWidget* parent = nullptr);
    ~frmLoadCalibrateMain() override;

    std::array<QRadioButton*, 3> optChannel{};
    QLabel* lblNote;
    QLabel* lblParameters;
    QLabel* lblLoad;
    QPushButton* cmdNew;
    QPushButton* cmdZero;
    QPushButton* cmdLoad;
    QPushButton* cmdSave;
    QPushButton* cmdDone;
    QTimer* tmrDisplayLoad;
    frmLoadCalibrate* calibrationWindow() const { return m_calibrate; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Every way out (Done, Escape, the close control) ends here, under the closing rule.
    void done(int result) override;

private:
    void tick();
    void refreshChannels();
    void channelChosen(int channel);
    void cmdNew_Click();
    template <class F> void paused(F action);

    LoadCalibrator& m_calibrator;
    Operator& m_op;
    SettingsStore& m_store;
    frmLoadCalibrate* m_calibrate = nullptr;
};
