#include "app/frmWait.h"

#include "app/WindowTexts.h"
#include "base/Twips.h"

#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

frmWait::frmWait(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmWait"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    m_timeLeft = new QLabel(this);
    m_timeLeft->setObjectName(QStringLiteral("lblTimeLeft"));
    m_timeLeft->setAlignment(Qt::AlignCenter);
    m_timeLeft->setMinimumWidth(twipsToPixels(3600));

    auto* grid = new QGridLayout(this);
    const int margin = twipsToPixels(200);
    grid->setContentsMargins(margin, margin, margin, margin);
    grid->addWidget(m_timeLeft, 0, 0, 1, 4);
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(WindowTexts::Increments[i], this);
        b->setObjectName(QStringLiteral("cmdIncrement%1").arg(i));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, i] { increment(i); });
        grid->addWidget(b, 1, i);
        m_increments[i] = b;
    }
    m_cancel = new QPushButton(WindowTexts::WaitCancel, this);
    m_cancel->setObjectName(QStringLiteral("CancelButton"));
    connect(m_cancel, &QPushButton::clicked, this, [this] { finish(true); });
    m_continue = new QPushButton(WindowTexts::WaitContinue, this);
    m_continue->setObjectName(QStringLiteral("ContinueButton"));
    connect(m_continue, &QPushButton::clicked, this, [this] { finish(false); });
    grid->addWidget(m_cancel, 2, 0, 1, 2);
    grid->addWidget(m_continue, 2, 2, 1, 2);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("frmWaitTimer"));
    m_timer->setInterval(TickMs);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &frmWait::tick);
}

QString frmWait::timeLeftText(double seconds) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return WindowTexts::WaitingFor + locale.toString(seconds, 'f', 1) + WindowTexts::Seconds;
}

void frmWait::Init(double WaitDuration, const QString& Title) {
    setWindowTitle(Title);
    Cancelled = false;
    ApTimer::SetTimer(m_countdown, float(WaitDuration));
    m_timeLeft->setText(timeLeftText(WaitDuration));
    m_cancel->setFocus();
    m_timer->start();
    exec();
    m_timer->stop();
}

void frmWait::tick() {
    if (ApTimer::Expired(m_countdown)) {
        finish(false);
        return;
    }
    m_timeLeft->setText(timeLeftText(ApTimer::RemainingSeconds(m_countdown)));
}

void frmWait::increment(int index) {
    const double remaining = ApTimer::RemainingSeconds(m_countdown) + WindowTexts::IncrementSeconds[index];
    ApTimer::SetTimer(m_countdown, float(remaining));
    tick();
}

void frmWait::finish(bool cancelled) {
    m_timer->stop();
    Cancelled = cancelled;
    QDialog::done(cancelled ? Rejected : Accepted);
}

void frmWait::reject() {
    finish(true);
}
