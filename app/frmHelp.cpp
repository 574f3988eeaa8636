#include "app/frmHelp.h"

#include "params/WindowPlacement.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTextBrowser>
#include <QTextCursor>
#include <QUrl>
#include <QVBoxLayout>

frmHelp::frmHelp(const QString& helpFile, QWidget* parent)
    : QWidget(parent, Qt::Window), m_helpFile(helpFile) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("STAVELY Help"));
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("txtHelp"));
    m_browser->setOpenLinks(true);
    m_browser->setOpenExternalLinks(true);

    auto addButton = [this](const char* name, const QString& text, QStyle::StandardPixmap icon) {
        auto* b = new QPushButton(style()->standardIcon(icon), text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* back = addButton("cmdBack", QStringLiteral("&Back"), QStyle::SP_ArrowBack);
    QPushButton* forward = addButton("cmdForward", QStringLiteral("&Forward"), QStyle::SP_ArrowForward);
    QPushButton* contents = addButton("cmdContents", QStringLiteral("&Contents"), QStyle::SP_DirHomeIcon);
    QPushButton* external =
        addButton("cmdBrowser", QStringLiteral("Open in web &browser"), QStyle::SP_DesktopIcon);
    QPushButton* close = addButton("cmdClose", QStringLiteral("C&lose"), QStyle::SP_DialogCloseButton);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    connect(contents, &QPushButton::clicked, this, [this] { showTopic(); });
    connect(external, &QPushButton::clicked, this,
            [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(m_helpFile)); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    // Escape closes the manual as it closes the program's dialogs.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    // The find box: Enter for the next place, Shift+Enter for the one before, round from the end.
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setPlaceholderText(QStringLiteral("word or phrase"));
    txtFind->setClearButtonEnabled(true);
    auto* findLabel = new QLabel(QStringLiteral("F&ind"), this);
    findLabel->setBuddy(txtFind);
    lblFound = new QLabel(this);
    lblFound->setObjectName(QStringLiteral("lblFound"));
    connect(txtFind, &QLineEdit::returnPressed, this,
            [this] { Find(txtFind->text(), QApplication::keyboardModifiers().testFlag(Qt::ShiftModifier)); });
    connect(txtFind, &QLineEdit::textEdited, this, [this] { lblFound->clear(); });
    auto* findKey = new QShortcut(QKeySequence::Find, this);
    findKey->setContext(Qt::WindowShortcut);
    connect(findKey, &QShortcut::activated, this, [this] {
        txtFind->setFocus();
        txtFind->selectAll();
    });

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {back, forward, contents})
        buttons->addWidget(b);
    buttons->addSpacing(12);
    buttons->addWidget(findLabel);
    buttons->addWidget(txtFind, 1);
    buttons->addWidget(lblFound);
    buttons->addStretch();
    buttons->addWidget(external);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
    resize(900, 760);
    FitOnScreen(*this);
}

bool frmHelp::showTopic(const QString& anchor) {
    if (!QFileInfo(m_helpFile).isFile())
        return false;
    QUrl url = QUrl::fromLocalFile(m_helpFile);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    m_browser->setSource(url);
    if (!anchor.isEmpty())
        m_browser->scrollToAnchor(anchor);
    show();
    raise();
    activateWindow();
    return true;
}

bool frmHelp::Find(const QString& text, bool backward) {
    const QString wanted = text.trimmed();
    if (wanted.isEmpty())
        return false;
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    bool found = m_browser->find(wanted, flags);
    if (!found) {
        // Round from the end to the start (or the other way).
        QTextCursor cursor = m_browser->textCursor();
        cursor.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        m_browser->setTextCursor(cursor);
        found = m_browser->find(wanted, flags);
    }
    lblFound->setText(found ? QString() : QStringLiteral("not found"));
    // The place found in the middle of the page, not on its last line.
    if (found) {
        QScrollBar* bar = m_browser->verticalScrollBar();
        bar->setValue(bar->value() + m_browser->cursorRect().center().y() -
                      m_browser->viewport()->height() / 2);
    }
    return found;
}
