#include "instrument/frmMoving.h"

#include "instrument/LiveCurve.h"
#include "instrument/LiveCurveView.h"
#include "instrument/Motion.h"
#include "instrument/MotionTexts.h"
#include "params/WindowPlacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cmath>

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

    lblSpecimen = makeLabel(this, "lblSpecimen");
    lblStress = makeLabel(this, "lblStress");
    lblElapsed = makeLabel(this, "lblElapsed");
    prgBreak = new QProgressBar(this);
    prgBreak->setObjectName(QStringLiteral("prgBreak"));
    prgBreak->setRange(0, 1000);
    prgBreak->setFormat(MotionTexts::ProgressFormat);
    // Text drawn over the bar is half on the chunk and half beside it: it goes beside the bar.
    prgBreak->setTextVisible(false);
    lblProgress = makeLabel(this, "lblProgress");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblAction);
    layout->addWidget(lblSpecimen);
    layout->addWidget(lblPosition);
    // The stress beside the load: both are read at the same poll.
    auto* loadRow = new QHBoxLayout;
    loadRow->addWidget(lblBroken, 1);
    loadRow->addWidget(lblStress, 1);
    layout->addLayout(loadRow);
    layout->addWidget(lblElapsed);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(prgBreak, 1);
    progressRow->addWidget(lblProgress);
    layout->addLayout(progressRow);
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
    showRunReadouts(false);
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
    // Before it is shown: a modal window blocks every window that is not its own.
    adoptLiveWindows(true);
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
        grow();
    }
    picLiveCurve->update(); // painted when the poll loop lets events run
}

void frmMoving::showRunProgress(double seconds, const RunProgress& progress) {
    lblSpecimen->setText(MotionTexts::SpecimenPrefix + QString::number(progress.specimen));
    lblStress->setText(LiveCurve::AxisText(progress.stress, 1, QStringLiteral("MPa")));
    QString elapsed = MotionTexts::ElapsedPrefix + LiveCurve::AxisText(seconds, 1, QStringLiteral("s"));
    const bool expected = progress.expectedSeconds > 0;
    if (expected) {
        elapsed += MotionTexts::TypicalBreakBefore + QString::number(std::lround(progress.expectedSeconds)) +
                   MotionTexts::TypicalBreakAfter;
        const double share = seconds / progress.expectedSeconds;
        prgBreak->setValue(int(std::lround(std::clamp(share, 0.0, 1.0) * prgBreak->maximum())));
        prgBreak->setFormat(share > 1 ? MotionTexts::PastTypicalBreak : MotionTexts::ProgressFormat);
        lblProgress->setText(prgBreak->text());
    }
    lblElapsed->setText(elapsed);
    if (lblSpecimen->isHidden() || prgBreak->isHidden() == expected) {
        showRunReadouts(true);
        prgBreak->setVisible(expected);
        lblProgress->setVisible(expected);
        grow();
    }
}

void frmMoving::showRunReadouts(bool shown) {
    for (QWidget* w : {static_cast<QWidget*>(lblSpecimen), static_cast<QWidget*>(lblStress),
                       static_cast<QWidget*>(lblElapsed), static_cast<QWidget*>(prgBreak),
                       static_cast<QWidget*>(lblProgress)})
        w->setVisible(shown);
    if (!shown) {
        lblSpecimen->clear();
        lblStress->clear();
        lblElapsed->clear();
        lblProgress->clear();
        prgBreak->reset();
    }
}

void frmMoving::endMove() {
    m_inMove = false;
    hide();
    adoptLiveWindows(false);
    lblBroken->clear();
    if (!lblSpecimen->isHidden()) {
        showRunReadouts(false);
        adjustSize();
    }
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

void frmMoving::grow() {
    adjustSize();
    // Shown near the bottom of a laptop's screen, the live curve would push the window's foot off it.
    FitOnScreen(*this);
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

void frmMoving::setMainControls(const QList<QWidget*>& controls) {
    m_mainControls.clear();
    for (QWidget* w : controls)
        m_mainControls.append(w);
}

void frmMoving::setMainPositionEnabled(bool enabled) {
    if (m_mainPositionLabel)
        m_mainPositionLabel->setEnabled(enabled);
    for (const QPointer<QWidget>& w : std::as_const(m_mainControls))
        if (w)
            w->setEnabled(enabled);
}

void frmMoving::adoptLiveWindows(bool adopt) {
    if (adopt) {
        if (windowHandle() == nullptr)
            create();
        m_liveParents.clear();
        for (const QPointer<QWidget>& w : std::as_const(m_liveWindows)) {
            QWindow* handle = w ? w->windowHandle() : nullptr;
            m_liveParents.append(handle ? handle->transientParent() : nullptr);
            // A window that belongs to the modal one is not blocked by it.
            if (handle != nullptr)
                handle->setTransientParent(windowHandle());
        }
        return;
    }
    for (qsizetype i = 0; i < m_liveWindows.size() && i < m_liveParents.size(); ++i) {
        QWindow* handle = m_liveWindows[i] ? m_liveWindows[i]->windowHandle() : nullptr;
        if (handle != nullptr && handle->transientParent() == windowHandle())
            handle->setTransientParent(m_liveParents[i]);
    }
    m_liveParents.clear();
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
