#include "app/frmSplash.h"

#include "app/SetProductIdentity.h"
#include "app/StartupTexts.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QSysInfo>
#include <QVBoxLayout>

namespace {
// The system the program runs on, as the system names itself ("Windows 10 Version 22H2", "Debian
// GNU/Linux 12 (bookworm)").
QString splashSystemName() {
    const QString pretty = QSysInfo::prettyProductName();
    if (!pretty.isEmpty() && pretty != QStringLiteral("unknown"))
        return pretty;
    return QSysInfo::kernelType();
}
} // namespace

frmSplash::frmSplash(const AppIdentity& identity, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(identity.title);

    auto makeLabel = [this](const char* name, const QString& text) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        return label;
    };
    imgLogo = makeLabel("imgLogo", QString());
    imgLogo->setPixmap(QPixmap(identity.iconFile));
    lblProductName = makeLabel("lblProductName", identity.title);
    lblProductName2 =
        makeLabel("lblProductName2", identity.title + QStringLiteral(" for ") + splashSystemName());
    lblVersion = makeLabel("lblVersion", QStringLiteral("Version ") + identity.version);
    lblTagline = makeLabel("lblTagline", StartupTexts::SplashLine);

    QFont big = lblProductName->font();
    big.setPointSizeF(big.pointSizeF() * 2.4);
    big.setBold(true);
    lblProductName->setFont(big);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    auto* text = new QVBoxLayout;
    text->addWidget(lblProductName);
    text->addWidget(lblProductName2);
    text->addSpacing(12);
    text->addWidget(lblTagline);
    text->addStretch();
    text->addWidget(lblVersion, 0, Qt::AlignRight);
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(24, 24, 24, 24);
    row->setSpacing(24);
    row->addWidget(imgLogo, 0, Qt::AlignTop);
    row->addLayout(text);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    setMinimumWidth(480);
}

void frmSplash::keyPressEvent(QKeyEvent* event) {
    event->accept();
}

void frmSplash::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
}
