#include "app/Status.h"

#include "app/WindowTexts.h"
#include "base/Twips.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <cmath>

Status::Status(QWidget* parent) : QWidget(parent, Qt::Window), m_disabler(*this) {
    setObjectName(QStringLiteral("Status"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("lblStatus"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(true);
    m_button = new QPushButton(WindowTexts::StatusButton, this);
    m_button->setObjectName(QStringLiteral("cmdDone"));
    connect(m_button, &QPushButton::clicked, this, [this] {
        m_clicked = true;
        finishWait();
    });
}

void Status::ShowStatus(const QString& StatusStr, const QString& Title, int Alignment,
                        const QString& ButtonCaption) {
    setWindowTitle(Title);
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (Alignment == 1)
        horizontal = Qt::AlignRight;
    else if (Alignment == 2)
        horizontal = Qt::AlignHCenter;
    m_label->setAlignment(horizontal | Qt::AlignTop);
    m_clicked = false;
    m_button->setText(ButtonCaption);
    m_button->setEnabled(false);
    m_button->setVisible(!ButtonCaption.isEmpty());
    setText(StatusStr);
    show();
    raise();
    QCoreApplication::processEvents();
}

void Status::AppendStatus(const QString& AddStr) {
    setText(m_text + AddStr);
    QCoreApplication::processEvents();
}

void Status::UpdateStatus(const QString& NewStr) {
    setText(NewStr);
    QCoreApplication::processEvents();
}

void Status::StatusDone() {
    hide();
}

void Status::WaitForClick() {
    if (!m_button->isHidden()) {
        m_button->setEnabled(true);
        QEventLoop loop;
        m_wait = &loop;
        while (!m_clicked && isVisible())
            loop.exec();
        m_wait = nullptr;
    }
    hide();
}

void Status::setText(const QString& text) {
    m_text = text;
    m_label->setText(WindowTexts::toDisplayLines(text));
    relayout();
}

void Status::relayout() {
    const int labelWidth = WindowWidth - 2 * LabelSide;
    const int labelHeight =
        m_text.isEmpty()
            ? 0
            : int(std::lround(pixelsToTwips(m_label->heightForWidth(twipsToPixels(labelWidth)))));
    m_label->setGeometry(twipsToPixels(LabelSide), twipsToPixels(LabelTop), twipsToPixels(labelWidth),
                         twipsToPixels(labelHeight));
    m_labelBottomTwips = LabelTop + labelHeight;
    m_heightTwips = m_labelBottomTwips + Gap + BottomExtra;
    if (!m_button->isHidden()) {
        const int buttonHeight = int(std::lround(pixelsToTwips(m_button->sizeHint().height())));
        const int buttonTop = m_labelBottomTwips + Gap;
        m_button->setGeometry(twipsToPixels((WindowWidth - ButtonWidth) / 2), twipsToPixels(buttonTop),
                              twipsToPixels(ButtonWidth), twipsToPixels(buttonHeight));
        m_heightTwips += buttonHeight + Gap;
    }
    setFixedSize(twipsToPixels(WindowWidth), twipsToPixels(m_heightTwips));
}

void Status::finishWait() {
    if (m_wait)
        m_wait->quit();
}

void Status::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        m_disabler.disableOthers();
}

void Status::hideEvent(QHideEvent* event) {
    if (!event->spontaneous())
        m_disabler.enableOthers();
    QWidget::hideEvent(event);
    finishWait();
}

// Closing the window while someone waits for its button ends the wait, so the program never hangs.
void Status::closeEvent(QCloseEvent* event) {
    m_clicked = true;
    QWidget::closeEvent(event);
}
