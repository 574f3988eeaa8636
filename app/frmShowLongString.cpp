#include "app/frmShowLongString.h"

#include "app/WindowTexts.h"
#include "base/Twips.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmShowLongString::frmShowLongString(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmShowLongString"));
    setModal(true);
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("lblCaption"));
    m_caption->setTextFormat(Qt::PlainText);
    m_caption->setWordWrap(true);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("txtLongString"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_ok = new QPushButton(WindowTexts::LongStringOk, this);
    m_ok->setObjectName(QStringLiteral("cmdOk"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_caption);
    layout->addWidget(m_text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    layout->addLayout(buttons);
    resize(twipsToPixels(9000), twipsToPixels(6000));
}

void frmShowLongString::Go(const QString& Title, const QString& Caption, const QString& LongString) {
    setWindowTitle(Title);
    m_caption->setText(WindowTexts::toDisplayLines(Caption));
    m_text->setPlainText(WindowTexts::toDisplayLines(LongString));
    m_ok->setFocus();
    exec();
}
