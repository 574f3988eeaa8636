#pragma once

#include <QDialog>
#include <array>

class NewCalibration;
class Operator;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTimer;
class SettingsStore;
class ChartControl;
class frmBigPlot;

// The calibration window: hang known masses, add a point for each, watch the fit and its residues.
class frmLoadCalibrate : public QDialog {
    Q_OBJECT
public:
    static constexpr int TickMs = 250;

    frmLoadCalibrate(NewCalibration& calibration, Operator& op, SettingsStore& store,
                     QWidget* parent = nullptr);
    ~frmLoadCalibrate() override;

    // Opens the calibration and shows the window modally.
    void Go();

    QLabel* lblSignal;
    QLineEdit* txtSerialNumber;
    QLineEdit* txtLoad;
    std::array<QRadioButton*, 3> optUnits{};
    QCheckBox* chkSnap;
    QPushButton* cmdAdd;
    QPushButton* cmdDelete;
    QPushButton* cmdDeleteAll;
    QPushButton* cmdCopy;
    QPushButton* cmdTest;
    QPushButton* cmdFinish;
    QTableWidget* grdCal;
    ChartControl* MSChart1;
    ChartControl* MSChart2;
    QLabel* lblParametersNew;
    QLabel* lblParametersOld;
    QTimer* tmrCal;

protected:
    // Every way out (Finish, Escape, the close control) ends here.
    void done(int result) override;

private:
    void tick();
    void refresh();
    void applySnapMode();
    void cmdAdd_Click();
    void showBig(const ChartControl& chart);
    // Runs an action with the live display stopped, so no poll starts inside its questions.
    template <class F> void paused(F action);

    NewCalibration& m_calibration;
    Operator& m_op;
    SettingsStore& m_store;
    frmBigPlot* m_bigPlot = nullptr;
    bool m_closing = false;
};
