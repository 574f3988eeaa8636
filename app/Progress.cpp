#include "app/Progress.h"

#include "app/WindowTexts.h"
#include "base/Twips.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

Progress::Progress(QWidget* parent) : QWidget(parent, Qt::Window), m_disabler(*this) {
    setObjectName(QStringLiteral("Progress"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    m_label2 = new QLabel(this);
    m_label2->setObjectName(QStringLiteral("lblLabel2"));
    m_label2->setTextFormat(Qt::PlainText);
    m_label2->setWordWrap(true);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("Bar"));
    m_bar->setRange(0, BarSteps);
    m_bar->setTextVisible(false);
    m_cancel = new QPushButton(WindowTexts::ProgressCancel, this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        Cancelled = true;
        emit cancelClicked();
    });

    auto* layout = new QVBoxLayout(this);
    const int margin = twipsToPixels(200);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addWidget(m_status);
    layout->addWidget(m_label2);
    layout->addWidget(m_bar);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    layout->addLayout(buttons);
    setFixedWidth(twipsToPixels(6000));
}

int Progress::barPosition(double value, double minimum, double maximum) {
    if (!(maximum > minimum))
        return BarSteps;
    const double share = std::clamp((value - minimum) / (maximum - minimum), 0.0, 1.0);
    return int(std::lround(share * BarSteps));
}

void Progress::ShowProgress(const QString& StatusStr, const QString& Label2, double Minimum, double Maximum) {
    // A reversed range would make every value "outside"; take the bounds in either order.
    m_min = std::min(Minimum, Maximum);
    m_max = std::max(Minimum, Maximum);
    m_value = m_min;
    Cancelled = false;
    m_label2->setText(WindowTexts::toDisplayLines(Label2));
    m_bar->setValue(barPosition(m_value, m_min, m_max));
    setText(StatusStr);
    show();
    raise();
    QCoreApplication::processEvents();
}

void Progress::ProgressAppend(const QString& AddStr) {
    setText(m_text + AddStr);
    QCoreApplication::processEvents();
}

void Progress::UpdateProgress(double& Value, const QString& NewStr) {
    if (std::isnan(Value))
        Value = m_min;
    Value = std::clamp(Value, m_min, m_max);
    m_value = Value;
    m_bar->setValue(barPosition(m_value, m_min, m_max));
    if (!NewStr.isEmpty())
        setText(NewStr);
    QCoreApplication::processEvents();
}

void Progress::ProgressDone() {
    hide();
}

void Progress::setText(const QString& text) {
    m_text = text;
    m_status->setText(WindowTexts::toDisplayLines(text));
    adjustSize();
}

void Progress::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        m_disabler.disableOthers();
}

void Progress::hideEvent(QHideEvent* event) {
    if (!event->spontaneous())
        m_disabler.enableOthers();
    QWidget::hideEvent(event);
}
