#include "app/MyMsgBoxLayout.h"

#include "app/WindowTexts.h"
#include "base/ProductIdentity.h"

#include <algorithm>
#include <cmath>

int MyMsgBoxLayout::countButtons(const std::array<QString, 4>& captions) {
    int n = 4;
    if (captions[3].isEmpty())
        n = 3;
    if (captions[2].isEmpty())
        n = 2;
    if (captions[1].isEmpty())
        n = 1;
    return n;
}

MsgIcon MyMsgBoxLayout::iconFor(int icons) {
    switch (icons & IconBits) {
    case 16:
        return MsgIcon::Error;
    case 32:
        return MsgIcon::Question;
    case 48:
        return MsgIcon::Exclamation;
    case 64:
        return MsgIcon::Information;
    default:
        return MsgIcon::None;
    }
}

QString MyMsgBoxLayout::invalidIconsMessage(int icons) {
    const int bits = icons & IconBits;
    if (bits == 0 || iconFor(icons) != MsgIcon::None)
        return {};
    return WindowTexts::InvalidIcons + QString::number(icons) + WindowTexts::Remnant + QString::number(bits) +
           QLatin1Char(')');
}

MyMsgBoxLayout MyMsgBoxLayout::compute(const MyMsgBoxRequest& request, const MyMsgBoxMetrics& metrics) {
    MyMsgBoxLayout l;
    l.caption = request.title.isEmpty() ? ProductIdentity::AppTitle : request.title;
    const int n = countButtons(request.buttons);
    l.buttonCount = n;
    l.focusButton = request.focusButton >= 1 && request.focusButton <= n ? request.focusButton : 1;
    l.icon = iconFor(request.icons);
    l.invalidIcons = invalidIconsMessage(request.icons);

    // A width that is not a positive number would leave no room for any control.
    const double factor = std::isfinite(request.width) && request.width > 0 ? request.width : 1.0;
    // Never narrower than the title: a clipped title hides what the box is about.
    const int w = std::max(int(std::lround(factor * BaseWidth)), metrics.titleWidth);
    l.windowWidth = w;

    const bool withIcon = l.icon != MsgIcon::None;
    const int textLeft = withIcon ? metrics.iconWidth + 2 * Margin : Margin;
    l.text = QRect(textLeft, Margin, std::max(0, w - Margin - textLeft), metrics.textHeight);
    if (withIcon)
        l.picture = QRect(Margin, Margin, metrics.iconWidth, metrics.iconHeight);

    const int contentHeight =
        withIcon ? std::max(metrics.textHeight, metrics.iconHeight) : metrics.textHeight;
    const int buttonTop = contentHeight + 2 * Margin;
    const int bh = metrics.buttonHeight;

    for (int i = 0; i < 4; ++i)
        l.buttonVisible[i] = i < n;

    if (!request.vertical) {
        if (request.expandButtons) {
            const int bw = std::max(0, (w - (n - 1) * ButtonGap - 2 * Margin) / n);
            for (int i = 0; i < 4; ++i)
                l.buttons[i] = QRect((bw + ButtonGap) * i + Margin, buttonTop, bw, bh);
        } else {
            const int left0 = (w - n * ButtonWidth - (n - 1) * ButtonGap) / 2;
            for (int i = 0; i < 4; ++i)
                l.buttons[i] = QRect(left0 + i * (ButtonWidth + ButtonGap), buttonTop, ButtonWidth, bh);
        }
        l.windowHeight = bh + buttonTop + Margin + BottomExtra;
        return l;
    }

    const int infoLeft = Margin + ButtonWidth + RowGap;
    const int infoWidth = std::max(0, w - infoLeft - Margin);
    int rowTop = buttonTop;
    int lastBottom = buttonTop;
    for (int i = 0; i < 4; ++i) {
        const int dh = metrics.descriptionHeights[i];
        l.buttons[i] = QRect(Margin, rowTop, ButtonWidth, bh);
        l.descriptions[i] = QRect(infoLeft, dh < bh ? rowTop + ShortDescriptionDrop : rowTop, infoWidth, dh);
        l.descriptionVisible[i] = l.buttonVisible[i];
        if (!l.buttonVisible[i])
            continue;
        lastBottom = rowTop + std::max(bh, dh);
        rowTop = lastBottom + RowGap;
    }
    l.windowHeight = lastBottom + Margin + BottomExtra;
    return l;
}
