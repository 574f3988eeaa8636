#pragma once

#include <QDialog>

class Operator;
class QLabel;
class QPushButton;
struct AppIdentity;

// Help > About: version, build, description, and the way to the system-information tool.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    frmAbout(const AppIdentity& identity, Operator& op, QWidget* parent = nullptr);

    static QString versionLine(const QString& version, int buildRevision);

private:
    void cmdSysInfo_Click();

    Operator& m_op;
    QLabel* picIcon;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;
};
