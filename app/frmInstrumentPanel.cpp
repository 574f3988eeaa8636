#include "app/frmInstrumentPanel.h"

#include "params/NumberFormat.h"
#include "sim/SimServer.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>

namespace PT = InstrumentPanelTexts;

QString InstrumentPanelTexts::stateText(double hungGrams, double loadN, double signalAu, int channel,
                                        qint32 position, bool fiberPresent, bool fiberBroken) {
    const QString fiber = !fiberPresent ? QStringLiteral("none")
                          : fiberBroken ? QStringLiteral("broken")
                                        : QStringLiteral("threaded");
    return QStringLiteral("Hung mass: ") + FormatNum(hungGrams, 1, 0) + QStringLiteral(" g\n") +
           QStringLiteral("Load on the cell: ") + FormatNum(loadN, 1, 2) + QStringLiteral(" N\n") +
           QStringLiteral("Signal: ") + FormatNum(signalAu, 1, 1) + QStringLiteral(" au (channel ") +
           QString::number(channel) + QStringLiteral(")\n") + QStringLiteral("Position: ") +
           QString::number(position) + QStringLiteral(" steps\n") + QStringLiteral("Fiber: ") + fiber;
}

QString InstrumentPanelTexts::inputsText(quint8 inputs) {
    return QStringLiteral("Input lines: ") + QStringLiteral("%1").arg(inputs, 8, 2, QLatin1Char('0'));
}

QString InstrumentPanelTexts::fatigueText(double damage, double msToFailure) {
    QString left = QStringLiteral("unloaded");
    // Beyond a century the count means nothing and, far beyond it, no longer fits a whole number.
    constexpr double LongestShownMs = 100.0 * 365.25 * 24 * 3600 * 1000;
    if (std::isfinite(msToFailure) && msToFailure > LongestShownMs) {
        left = QStringLiteral("more than 100 years left at this load");
    } else if (std::isfinite(msToFailure)) {
        const auto seconds = qint64(std::max(0.0, msToFailure) / 1000);
        left = QStringLiteral("%1:%2:%3 left at this load")
                   .arg(seconds / 3600)
                   .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                   .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("Fatigue damage: ") + FormatNum(damage * 100, 1, 1) + QStringLiteral(" %, ") + left;
}

frmInstrumentPanel::frmInstrumentPanel(SimServer& sim, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_sim(sim) {
    setObjectName(QStringLiteral("frmInstrumentPanel"));
    setWindowTitle(PT::Caption);

    auto* massBox = new QGroupBox(PT::MassFrame, this);
    auto* massLayout = new QGridLayout(massBox);
    const int presets[] = {0, 100, 200, 500, 1000, 2000};
    int i = 0;
    for (int grams : presets) {
        auto* b = new QPushButton(PT::massButton(grams), massBox);
        b->setObjectName(QStringLiteral("cmdMass%1").arg(grams));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, grams] { hangMass(grams); });
        massLayout->addWidget(b, i / 3, i % 3);
        ++i;
    }
    udMass = new QSpinBox(massBox);
    udMass->setObjectName(QStringLiteral("udMass"));
    udMass->setRange(0, 20000);
    udMass->setSingleStep(50);
    udMass->setSuffix(PT::Grams);
    auto* hang = new QPushButton(PT::Hang, massBox);
    hang->setObjectName(QStringLiteral("cmdHang"));
    connect(hang, &QPushButton::clicked, this, [this] { hangMass(udMass->value()); });
    massLayout->addWidget(udMass, 2, 0, 1, 2);
    massLayout->addWidget(hang, 2, 2);

    auto* thread = new QPushButton(PT::ThreadFiber, this);
    thread->setObjectName(QStringLiteral("cmdThreadFiber"));
    connect(thread, &QPushButton::clicked, this, &frmInstrumentPanel::threadFiber);

    auto* lines = new QGroupBox(PT::InputFrame, this);
    lines->setObjectName(QStringLiteral("frameInputLines"));
    auto* linesLayout = new QGridLayout(lines);
    const std::array<std::pair<QCheckBox**, std::pair<const char*, QString>>, 6> boxes{{
        {&chkClosedLimit, {"chkClosedLimit", PT::ClosedLimit}},
        {&chkOpenLimit, {"chkOpenLimit", PT::OpenLimit}},
        {&chkStopButton, {"chkStopButton", PT::StopButton}},
        {&chkBreak, {"chkBreak", PT::BreakLine}},
        {&chkContact, {"chkContact", PT::Contact}},
        {&chkContactDisable, {"chkContactDisable", PT::ContactDisable}},
    }};
    int box = 0;
    for (const auto& [member, text] : boxes) {
        *member = new QCheckBox(text.second, lines);
        (*member)->setObjectName(QLatin1String(text.first));
        connect(*member, &QCheckBox::toggled, this, &frmInstrumentPanel::applyInputLines);
        linesLayout->addWidget(*member, box / 2, box % 2);
        ++box;
    }

    lblState = new QLabel(this);
    lblState->setObjectName(QStringLiteral("lblState"));
    lblState->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(massBox);
    layout->addWidget(thread);
    layout->addWidget(lines);
    layout->addWidget(lblState);
    lblInputs = new QLabel(this);
    lblInputs->setObjectName(QStringLiteral("lblInputs"));
    layout->addWidget(lblInputs);
    lblFatigue = new QLabel(this);
    lblFatigue->setObjectName(QStringLiteral("lblFatigue"));
    // The time left varies in length; the panel keeps its width.
    lblFatigue->setWordWrap(true);
    layout->addWidget(lblFatigue);

    m_timer = new QTimer(this);
    m_timer->setInterval(TickMs);
    connect(m_timer, &QTimer::timeout, this, &frmInstrumentPanel::showState);
}

void frmInstrumentPanel::hangMass(int grams) {
    udMass->setValue(grams);
    m_sim.setExtraLoad(grams / 1000.0 * Gravity);
    showState();
}

void frmInstrumentPanel::threadFiber() {
    m_sim.threadFiber();
    showState();
}

void frmInstrumentPanel::applyInputLines() {
    quint8 bits = 0;
    if (chkBreak->isChecked())
        bits |= 1 << 6;
    if (chkContact->isChecked())
        bits |= 1 << 7;
    if (chkContactDisable->isChecked())
        bits |= 1 << 3;
    m_sim.setInputLines(bits);
    m_sim.setLimitSwitches(chkClosedLimit->isChecked(), chkOpenLimit->isChecked());
    m_sim.setStopKey(chkStopButton->isChecked());
    showState();
}

void frmInstrumentPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showState();
    m_timer->start();
}

void frmInstrumentPanel::hideEvent(QHideEvent* event) {
    m_timer->stop();
    QWidget::hideEvent(event);
}

void frmInstrumentPanel::showState() {
    const SimState s = m_sim.state();
    lblState->setText(PT::stateText(s.extraLoad / Gravity * 1000, s.load, s.signal, s.channel, s.position,
                                    s.fiberPresent, s.fiberBroken));
    lblInputs->setText(PT::inputsText(s.inputs));
    lblFatigue->setText(PT::fatigueText(s.fiberDamage, s.msToFailure));
}
