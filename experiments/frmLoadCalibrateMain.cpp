#include "experiments/frmLoadCalibrateMain.h"

#include "base/Twips.h"
#include "experiments/CalibrationTexts.h"
#include "experiments/LoadCalibrator.h"
#include "experiments/frmLoadCalibrate.h"
#include "params/WindowButton.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace T = CalibrationTexts;

frmLoadCalibrateMain::frmLoadCalibrateMain(LoadCalibrator& calibrator, Operator& op, SettingsStore& store,
                                           QWidget* parent)
    : QDialog(parent), m_calibrator(calibrator), m_op(op), m_store(store) {
    setObjectName(QStringLiteral("frmLoadCalibrateMain"));
    setWindowTitle(T::ReviewCaption);
    setModal(true);

    auto* channels = new QGroupBox(this);
    auto* channelLayout = new QVBoxLayout(channels);
    for (int i = 0; i < 3; ++i) {
        QRadioButton* o = new QRadioButton(T::channelCaption(i), channels);
        o->setObjectName(QStringLiteral("optChannel%1").arg(i));
        optChannel[size_t(i)] = o;
        channelLayout->addWidget(o);
        connect(o, &QRadioButton::clicked, this, [this, i] { channelChosen(i); });
    }
    lblNote = new QLabel(T::ChannelNote, channels);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setWordWrap(true);
    channelLayout->addWidget(lblNote);

    lblParameters = new QLabel(this);
    lblParameters->setObjectName(QStringLiteral("lblParameters"));
    lblParameters->setTextFormat(Qt::PlainText);
    lblParameters->setWordWrap(true);
    lblParameters->setTextInteractionFlags(Qt::TextSelectableByMouse);

    lblLoad = new QLabel(this);
    lblLoad->setObjectName(QStringLiteral("lblLoad"));
    lblLoad->setAlignment(Qt::AlignCenter);
    lblLoad->setFrameShape(QFrame::Panel);
    lblLoad->setFrameShadow(QFrame::Sunken);
    QFont big = lblLoad->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    lblLoad->setFont(big);
    lblLoad->setMinimumHeight(QFontMetrics(big).lineSpacing() + 16);

    cmdNew = WindowButton(T::NewCalibration, "cmdNew", this);
    cmdZero = WindowButton(T::ZeroTare, "cmdZero", this);
    cmdZero->setToolTip(T::ZeroTareTip);
    cmdLoad = WindowButton(T::LoadFromDisc, "cmdLoad", this);
    cmdSave = WindowButton(T::SaveToDisc, "cmdSave", this);
    cmdDone = WindowButton(T::Done, "cmdDone", this);
    cmdDone->setDefault(true);

    auto* actions = new QVBoxLayout;
    for (QPushButton* b : {cmdNew, cmdZero, cmdLoad, cmdSave, cmdDone})
        b->setMinimumWidth(b->sizeHint().width() + 2 * b->fontMetrics().averageCharWidth());
    for (QPushButton* b : {cmdNew, cmdZero, cmdLoad, cmdSave})
        actions->addWidget(b);
    actions->addStretch();
    actions->addWidget(cmdDone);

    auto* top = new QHBoxLayout;
    top->addWidget(channels, 1);
    top->addLayout(actions);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lblParameters);
    layout->addWidget(lblLoad);

    tmrDisplayLoad = new QTimer(this);
    tmrDisplayLoad->setObjectName(QStringLiteral("tmrDisplayLoad"));
    tmrDisplayLoad->setInterval(TickMs);
    connect(tmrDisplayLoad, &QTimer::timeout, this, &frmLoadCalibrateMain::tick);

    connect(cmdNew, &QPushButton::clicked, this, &frmLoadCalibrateMain::cmdNew_Click);
    connect(cmdZero, &QPushButton::clicked, this, [this] { paused([this] { m_calibrator.ZeroTare(); }); });
    connect(cmdLoad, &QPushButton::clicked, this,
            [this] { paused([this] { m_calibrator.LoadFromDisc(); }); });
    connect(cmdSave, &QPushButton::clicked, this, [this] { paused([this] { m_calibrator.SaveToDisc(); }); });
    connect(cmdDone, &QPushButton::clicked, this, &QDialog::accept);

    setMinimumWidth(twipsToPixels(8400));
}

frmLoadCalibrateMain::~frmLoadCalibrateMain() = default;

template <class F> void frmLoadCalibrateMain::paused(F action) {
    const bool running = tmrDisplayLoad->isActive();
    tmrDisplayLoad->stop();
    action();
    refreshChannels();
    if (running && isVisible()) {
        tick();
        tmrDisplayLoad->start();
    }
}

void frmLoadCalibrateMain::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    refreshChannels();
    tick();
    tmrDisplayLoad->start();
}

void frmLoadCalibrateMain::hideEvent(QHideEvent* event) {
    tmrDisplayLoad->stop();
    QDialog::hideEvent(event);
}

void frmLoadCalibrateMain::done(int result) {
    const bool running = tmrDisplayLoad->isActive();
    tmrDisplayLoad->stop();
    if (!m_calibrator.MayClose()) {
        if (running)
            tmrDisplayLoad->start();
        return;
    }
    if (m_calibrate != nullptr && m_calibrate->isVisible())
        m_calibrate->reject();
    QDialog::done(result);
}

void frmLoadCalibrateMain::tick() {
    lblLoad->setText(m_calibrator.LiveLoadText());
}

void frmLoadCalibrateMain::refreshChannels() {
    const int current = m_calibrator.channel();
    for (int i = 0; i < 3; ++i) {
        optChannel[size_t(i)]->setText(m_calibrator.channelCaption(i));
        optChannel[size_t(i)]->setChecked(i == current);
    }
    lblParameters->setText(m_calibrator.parametersText());
    cmdZero->setEnabled(m_calibrator.loadCell().currentIsCalibrated());
    if (!m_calibrator.loadCell().currentIsCalibrated())
        lblLoad->clear();
}

void frmLoadCalibrateMain::channelChosen(int channel) {
    paused([this, channel] { m_calibrator.SelectChannel(channel); });
}

void frmLoadCalibrateMain::cmdNew_Click() {
    if (m_calibrate == nullptr)
        m_calibrate = new frmLoadCalibrate(m_calibrator.newCalibration(), m_op, m_store, this);
    paused([this] { m_calibrate->Go(); });
}
