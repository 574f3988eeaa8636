#include "app/frmAbout.h"

#include "app/SetProductIdentity.h"
#include "app/StartupTexts.h"
#include "app/SystemInfoTool.h"
#include "base/Operator.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#ifndef STAVELY_BUILD_REVISION
#define STAVELY_BUILD_REVISION 0
#endif

frmAbout::frmAbout(const AppIdentity& identity, Operator& op, QWidget* parent) : QDialog(parent), m_op(op) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + identity.title);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(QPixmap(identity.iconFile));
    lblTitle = new QLabel(identity.title, this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblTitle->setFont(big);
    lblVersion = new QLabel(versionLine(identity.version, STAVELY_BUILD_REVISION), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDescription = new QLabel(identity.description, this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(picIcon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(lblDescription, 2, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    grid->addLayout(buttons, 0, 2, 3, 1);
    grid->setColumnStretch(1, 1);
    setMinimumWidth(520);

    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
}

QString frmAbout::versionLine(const QString& version, int buildRevision) {
    return QStringLiteral("Version ") + version + QStringLiteral(" build ") + QString::number(buildRevision);
}

void frmAbout::cmdSysInfo_Click() {
    const QString path = SystemInfoTool::findPathHere();
    if (path.isEmpty() || !SystemInfoTool::start(path))
        m_op.msgBox(StartupTexts::SysInfoUnavailable, MsgStyle::OkOnly);
}
