#include "instrument/frmMoving.h"

#include "instrument/LiveCurveView.h"
#include "instrument/Motion.h"
#include "instrument/MotionTexts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
QLabel* makeLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignCenter);
    return label;
}
} // namespace

frmMoving::frmMoving(Motion& motion, QWidget* parent) : QWidget(parent, Qt::Dialog), m_motion(motion) {
    setObjectName(QStringLiteral("frmMoving"));
    setWindowTitle(MotionTexts::MovingCaption);
    setWindowModality(Qt::ApplicationModal);

    lblAction = makeLabel(this, "lblAction");
    QFont bold = lblAction->font();
    bold.setBold(true);
    lblAction->setFont(bold);
    lblPosition = makeLabel(this, "lblPosition");
    lblBroken = makeLabel(this, "lblBroken");
    cmdStop = new QPushButton(MotionTexts::Stop, this);
    cmdStop->setObjectName(QStringLiteral("cmdStop"));
    cmdStop->setMinimumHeight(48);
    chkLockKeyboard = new QCheckBox(MotionTexts::LockKeyboard, this);
    chkLockKeyboard->setObjectName(QStringLiteral("chkLockKeyboard"));
    Label1 = makeLabel(this, "Label1");
    Label1->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblAction);
    layout->addWidget(lblPosition);
    layout->addWidget(lblBroken);
    layout->addWidget(cmdStop);
    auto* row = new QHBoxLayout;
    row->addWidget(chkLockKeyboard);
    row->addWidget(Label1, 1);
    layout->addLayout(row);
    picLiveCurve = new LiveCurveView(this);
    picLiveCurve->hide();
    layout->addWidget(picLiveCurve, 1);
    setMinimumWidth(360);

    connect(cmdStop, &QPushButton::clicked, this, [this] { m_motion.StopPressed(); });
    connect(chkLockKeyboard, &QCheckBox::clicked, this, &frmMoving::lockKeyboardClicked);

    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    showInstruction();
}

frmMoving::~frmMoving() {
    setMainPositionEnabled(true);
}

void frmMoving::beginMove(const QString& caption) {
    m_inMove = true;
    lblAction->setText(caption);
    lblBroken->clear();
    chkLockKeyboard->setChecked(m_motion.LockKeyboard());
    showInstruction();
    show();
    raise();
    activateWindow();
    centreIfOffScreen();
    cmdStop->setFocus(Qt::OtherFocusReason);
    setMainPositionEnabled(false);
}

void frmMoving::showMoveLoad(const QString& text) {
    lblBroken->setText(text);
}

void frmMoving::showMovePosition(qint32 position) {
    lblPosition->setText(QString::number(position));
}

void frmMoving::showLivePoint(double seconds, double load, std::optional<double> target) {
    picLiveCurve->curve().add(seconds, load, target);
    if (!picLiveCurve->isVisible()) {
        picLiveCurve->show();
        adjustSize();
    }
    picLiveCurve->update(); // painted when the poll loop lets events run
}

void frmMoving::endMove() {
    m_inMove = false;
    hide();
    lblBroken->clear();
    if (!picLiveCurve->isHidden()) {
        picLiveCurve->curve().clear();
        picLiveCurve->hide();
        adjustSize();
    }
    setMainPositionEnabled(true);
}

void frmMoving::lockKeyboardClicked(bool locked) {
    m_motion.setLockKeyboard(locked);
    showInstruction();
    cmdStop->setFocus(Qt::OtherFocusReason);
}

void frmMoving::showInstruction() {
    Label1->setText(chkLockKeyboard->isChecked() ? MotionTexts::StopLocked : MotionTexts::StopAnyKey);
}

void frmMoving::centreIfOffScreen() {
    QScreen* screen = this->screen();
    if (screen == nullptr)
        return;
    const QRect available = screen->availableGeometry();
    if (available.contains(frameGeometry()))
        return;
    const QPoint centre = m_mainWindow ? m_mainWindow->frameGeometry().center() : available.center();
    move(centre - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
}

void frmMoving::setMainPositionEnabled(bool enabled) {
    if (m_mainPositionLabel)
        m_mainPositionLabel->setEnabled(enabled);
}

bool frmMoving::eventFilter(QObject* watched, QEvent* event) {
    const bool locked = chkLockKeyboard->isChecked();
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == cmdStop) {
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                if (!key->isAutoRepeat())
                    cmdStop->click();
                return true;
            }
            if (!locked)
                m_motion.StopPressed();
            if (key->key() == Qt::Key_B && m_motion.SimulatedBreakAllowed())
                m_motion.SimulatedBreak();
            return true;
        }
        // Tab still moves between the two controls; any other character is taken by the window.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->text().isEmpty())
            return false;
        if (!locked)
            m_motion.KeyStop();
        return true;
    }
    if (event->type() == QEvent::KeyRelease && watched == cmdStop && locked)
        return true;
    return QWidget::eventFilter(watched, event);
}

void frmMoving::closeEvent(QCloseEvent* event) {
    // The window goes away with its move; closing it meanwhile asks the motor to stop.
    if (m_inMove) {
        event->ignore();
        m_motion.StopPressed();
        return;
    }
    event->accept();
}
