#include "app/MyMsgBox.h"

#include "app/TitleWidth.h"
#include "app/WindowTexts.h"
#include "base/ProductIdentity.h"
#include "base/Twips.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <cmath>

namespace {
void place(QWidget* w, const QRect& twips) {
    w->setGeometry(twipsToPixels(twips.left()), twipsToPixels(twips.top()), twipsToPixels(twips.width()),
                   twipsToPixels(twips.height()));
}

int labelHeightTwips(const QLabel* label, int widthTwips) {
    if (label->text().isEmpty())
        return 0;
    return int(std::lround(pixelsToTwips(label->heightForWidth(twipsToPixels(widthTwips)))));
}

QStyle::StandardPixmap pixmapFor(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Error:
        return QStyle::SP_MessageBoxCritical;
    case MsgIcon::Question:
        return QStyle::SP_MessageBoxQuestion;
    case MsgIcon::Exclamation:
        return QStyle::SP_MessageBoxWarning;
    default:
        return QStyle::SP_MessageBoxInformation;
    }
}
} // namespace

MyMsgBox::MyMsgBox(Operator& op, QWidget* parent) : QDialog(parent), m_operator(op) {
    setObjectName(QStringLiteral("MyMsgBox"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("lblText"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("Picture1"));
    m_picture->hide();

    for (int i = 0; i < 4; ++i) {
        auto* button = new QPushButton(this);
        button->setObjectName(QStringLiteral("cmdButton%1").arg(i));
        button->setAutoDefault(true);
        connect(button, &QPushButton::clicked, this, [this, i] { buttonClicked(i); });
        m_buttons[i] = button;

        auto* info = new QLabel(this);
        info->setObjectName(QStringLiteral("lblButtonInfo%1").arg(i));
        info->setTextFormat(Qt::PlainText);
        info->setWordWrap(true);
        info->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        info->hide();
        m_infos[i] = info;
    }
}

int MyMsgBox::Go(const QString& Prompt, const QString& Btn1, const QString& Btn2, const QString& Btn3,
                 const QString& Btn4, bool ExpandButtons, int Icons, const QString& Title, int FocusButton,
                 double Width) {
    MyMsgBoxRequest r;
    r.prompt = Prompt;
    r.buttons = {Btn1, Btn2, Btn3, Btn4};
    r.expandButtons = ExpandButtons;
    r.icons = Icons;
    r.title = Title;
    r.focusButton = FocusButton;
    r.width = Width;
    return run(r);
}

int MyMsgBox::GoVertical(const QString& Prompt, const QString& Btn1, const QString& Txt1, const QString& Btn2,
                         const QString& Txt2, const QString& Btn3, const QString& Txt3, const QString& Btn4,
                         const QString& Txt4, int Icons, const QString& Title, int FocusButton,
                         double Width) {
    MyMsgBoxRequest r;
    r.prompt = Prompt;
    r.buttons = {Btn1, Btn2, Btn3, Btn4};
    r.descriptions = {Txt1, Txt2, Txt3, Txt4};
    r.vertical = true;
    r.icons = Icons;
    r.title = Title;
    r.focusButton = FocusButton;
    r.width = Width;
    return run(r);
}

void MyMsgBox::prepare(const MyMsgBoxRequest& request) {
    m_result = 0;
    MyMsgBoxMetrics metrics;
    metrics.titleWidth = int(std::lround(pixelsToTwips(
        TitleWidth::pixels(request.title.isEmpty() ? ProductIdentity::AppTitle : request.title))));
    MyMsgBoxLayout first = MyMsgBoxLayout::compute(request, metrics);
    if (!first.invalidIcons.isEmpty())
        m_operator.msgBox(first.invalidIcons, MsgStyle::OkOnly, QString());

    setWindowTitle(first.caption);
    m_text->setText(WindowTexts::toDisplayLines(request.prompt));
    for (int i = 0; i < 4; ++i) {
        m_buttons[i]->setText(request.buttons[i]);
        m_infos[i]->setText(request.vertical ? WindowTexts::toDisplayLines(request.descriptions[i])
                                             : QString());
    }

    if (first.icon != MsgIcon::None) {
        const int iconPx = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        const QIcon icon = style()->standardIcon(pixmapFor(first.icon), nullptr, this);
        m_picture->setPixmap(icon.pixmap(iconPx, iconPx));
        metrics.iconWidth = metrics.iconHeight = int(std::lround(pixelsToTwips(iconPx)));
        first = MyMsgBoxLayout::compute(request, metrics);
    }
    int buttonPx = 0;
    for (const QPushButton* b : m_buttons)
        buttonPx = std::max(buttonPx, b->sizeHint().height());
    metrics.buttonHeight = int(std::lround(pixelsToTwips(buttonPx)));
    metrics.textHeight = labelHeightTwips(m_text, first.text.width());
    if (request.vertical) {
        const int infoWidth = first.windowWidth - (MyMsgBoxLayout::Margin + MyMsgBoxLayout::ButtonWidth +
                                                   MyMsgBoxLayout::RowGap + MyMsgBoxLayout::Margin);
        for (int i = 0; i < 4; ++i)
            metrics.descriptionHeights[i] = labelHeightTwips(m_infos[i], infoWidth);
    }
    m_layout = MyMsgBoxLayout::compute(request, metrics);

    place(m_text, m_layout.text);
    m_picture->setVisible(m_layout.icon != MsgIcon::None);
    if (m_layout.icon != MsgIcon::None) {
        place(m_picture, m_layout.picture);
        m_operator.beep();
    }
    for (int i = 0; i < 4; ++i) {
        place(m_buttons[i], m_layout.buttons[i]);
        m_buttons[i]->setVisible(m_layout.buttonVisible[i]);
        place(m_infos[i], m_layout.descriptions[i]);
        m_infos[i]->setVisible(request.vertical && m_layout.descriptionVisible[i]);
    }
    setFixedSize(twipsToPixels(m_layout.windowWidth), twipsToPixels(m_layout.windowHeight));
}

int MyMsgBox::run(const MyMsgBoxRequest& request) {
    prepare(request);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    exec();
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    return m_result;
}

void MyMsgBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    QPushButton* focus = m_buttons[m_layout.focusButton - 1];
    focus->setDefault(true);
    focus->setFocus(Qt::ActiveWindowFocusReason);
}

void MyMsgBox::buttonClicked(int index) {
    m_result = index + 1;
    accept();
}

void MyMsgBox::keyPressEvent(QKeyEvent* event) {
    const QString key = event->text().toUpper();
    if (!key.isEmpty() && key.at(0).isPrint()) {
        const QString accessKey = QLatin1Char('&') + key;
        for (int i = 0; i < m_layout.buttonCount; ++i) {
            if (m_buttons[i]->text().toUpper().contains(accessKey)) {
                m_buttons[i]->click();
                return;
            }
        }
    }
    // Like the original box, Escape does not close it; only a button or the close control does.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
