#pragma once

#include <QDialog>
#include <QString>
#include <array>

class ParameterTable;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
struct Parameters;

// The preload speed window: the maximum motor speed, the nominal strain rate, or a speed of the
// operator's choosing.
class frmPreloadSpeed : public QDialog {
    Q_OBJECT
public:
    frmPreloadSpeed(Parameters& params, ParameterTable& table, QWidget* parent = nullptr);

    // Caption of the first mode: the maximum speed as a whole number of µm/s.
    static QString MaximumCaption(const Parameters& params);
    // Only "User specified" takes a typed speed.
    static bool SpeedBoxEnabled(int mode) { return mode == 2; }

    void optModeClick(int index);
    // Checks the typed speed; false when it was refused (the box then shows the speed in force).
    bool validateSpeed();

    void done(int result) override;

    QLabel* lblTitle;
    std::array<QRadioButton*, 3> optMode{};
    QLineEdit* txtSpeed;
    QLabel* lblDescription;
    QPushButton* cmdOK;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Parameters& m_params;
    ParameterTable& m_table;
    QButtonGroup* m_group;
};
