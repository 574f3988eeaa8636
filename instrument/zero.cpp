#include "instrument/zero.h"

#include "instrument/MotionTexts.h"
#include "instrument/ZeroPosition.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

zero::zero(ZeroPosition& actions, QWidget* parent) : QDialog(parent), m_actions(actions) {
    setObjectName(QStringLiteral("zero"));
    setWindowTitle(MotionTexts::ZeroWindowCaption);

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        // Enter presses the button with the focus, else the default one.
        b->setAutoDefault(true);
        b->setMinimumWidth(150);
        return b;
    };
    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setWordWrap(true);
        return l;
    };
    cmdRunToZero = button("cmdRunToZero", MotionTexts::RunToZero);
    lblRunToContact = label("lblRunToContact", MotionTexts::RunToContact);
    cmdSetPosition = button("cmdSetPosition", MotionTexts::SetPosition);
    cmdCheck = button("cmdCheck", QString());
    lblCheck = label("lblCheck", QString());
    cmdCancel = button("cmdCancel", MotionTexts::Cancel);
    // The first start's usual way: Enter homes to the closed limit.
    cmdRunToZero->setDefault(true);

    auto* layout = new QGridLayout(this);
    layout->addWidget(cmdRunToZero, 0, 0);
    layout->addWidget(lblRunToContact, 0, 1);
    layout->addWidget(cmdSetPosition, 1, 0);
    layout->addWidget(cmdCheck, 2, 0);
    layout->addWidget(lblCheck, 2, 1);
    layout->addWidget(cmdCancel, 3, 0);
    layout->setColumnMinimumWidth(1, 260);

    // Only the bend product checks its zero against the faceplates.
    cmdCheck->setEnabled(m_actions.ZeroValid());
    cmdCheck->hide();
    lblCheck->hide();

    connect(cmdRunToZero, &QPushButton::clicked, this, &zero::runToZero);
    connect(cmdSetPosition, &QPushButton::clicked, this, &zero::setPosition);
    connect(cmdCancel, &QPushButton::clicked, this, &zero::cancel);
}

void zero::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) {
        QDialog::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_R:
        cmdRunToZero->click();
        return;
    case Qt::Key_S:
        cmdSetPosition->click();
        return;
    case Qt::Key_C:
        cmdCancel->click();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void zero::runToZero() {
    if (m_actions.RunToZero())
        accept();
}

void zero::setPosition() {
    if (m_actions.SetPosition())
        accept();
}

void zero::cancel() {
    if (m_actions.Cancel()) {
        accept();
        return;
    }
    cmdRunToZero->setFocus(Qt::OtherFocusReason);
}
