#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class ParameterTable;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct Parameters;

// The options window: motor settings, the break sound, load/time saving and the configuration-file
// commands. Every change is in the bound parameter at once.
class frmOptions : public QDialog {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void()> PlayBreakSound; // as after a break, with its repetition
        std::function<void()> StopBreakSound;
        std::function<void(bool)> NoisyChanged; // the main window's check mark follows
        // Why a lab database address cannot be used (empty: it can), and what follows a new one.
        std::function<QString(const QString&)> CheckLabDatabase;
        std::function<void()> LabDatabaseChanged;
    };

    frmOptions(Parameters& params, ParameterTable& table, const QString& soundsFolder, Hooks hooks,
               QWidget* parent = nullptr);

    // Sets the controls from the parameters.
    void FillOptions();
    // The frame of load/time saving and the sound list, as on every activation.
    void Activated();

    void done(int result) override;

    QGroupBox* frmLT;
    QCheckBox* chkSaveLTData;
    QCheckBox* chkSaveLTPlots;
    QGroupBox* frmStatic;
    QLineEdit* txtStaticMaxHold;
    QGroupBox* frmLab;
    QLineEdit* txtLabDatabase;
    QLabel* lblLabDatabase;
    QGroupBox* frmMisc;
    QLineEdit* txtMaxStepRate;
    QCheckBox* chkReverseSense;
    QCheckBox* chkNoisy;
    QComboBox* cmbWaveList;
    QPushButton* cmdPlay;
    QLineEdit* txtCleanGap;
    QLabel* lblGap;
    QLabel* lblGapUnit;
    QPushButton* cmdReadCfg;
    QPushButton* cmdWriteCfg;
    QPushButton* cmdWriteDiffCfg;
    QPushButton* cmdResetCfg;
    QLabel* lblConfig;
    QPushButton* cmdDone;

protected:
    void changeEvent(QEvent* event) override;

private:
    void waveListChosen(int index);
    void labDatabaseEntered();

    Parameters& m_params;
    ParameterTable& m_table;
    QString m_soundsFolder;
    Hooks m_hooks;
    QStringList m_entries;
    bool m_filling = false;
};
