#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class ZeroPosition;

// "SYNCHRONIZE POSITIONS": brings the program's position and the motor's into agreement, by homing
// to the closed limit or by taking the position the operator reads off the drive.
class zero : public QDialog {
    Q_OBJECT
public:
    explicit zero(ZeroPosition& actions, QWidget* parent = nullptr);

    QPushButton* runToZeroButton() const { return cmdRunToZero; }
    QPushButton* setPositionButton() const { return cmdSetPosition; }
    QPushButton* cancelButton() const { return cmdCancel; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void runToZero();
    void setPosition();
    void cancel();

    ZeroPosition& m_actions;
    QPushButton* cmdRunToZero;
    QLabel* lblRunToContact;
    QPushButton* cmdSetPosition;
    QPushButton* cmdCheck; // the bend product's; hidden here
    QLabel* lblCheck;
    QPushButton* cmdCancel;
};
