#pragma once

#include "base/Operator.h"

#include <QRect>
#include <QString>
#include <array>

// The icon MyMsgBox shows, from the icon bits (70 hex) of its Icons argument.
enum class MsgIcon { None, Error, Question, Exclamation, Information };

// Sizes the window measured, all in twips. Text heights depend on the widths a first pass with
// zero heights hands out (lblText and lblButtonInfo widths do not depend on any height).
struct MyMsgBoxMetrics {
    int textHeight = 0;
    std::array<int, 4> descriptionHeights{};
    int iconWidth = 0;
    int iconHeight = 0;
    int buttonHeight = 0;
    int titleWidth = 0; // what the title bar needs to show the whole title
};

// Where every control of MyMsgBox goes, in twips, for a Go or GoVertical request.
class MyMsgBoxLayout {
public:
    static constexpr int BaseWidth = 5745;
    static constexpr int Margin = 200;
    static constexpr int ButtonWidth = 1260;
    static constexpr int ButtonGap = 100;
    static constexpr int RowGap = 150;
    static constexpr int ShortDescriptionDrop = 75;
    static constexpr int BottomExtra = 400;
    static constexpr int IconBits = 0x70;

    static MyMsgBoxLayout compute(const MyMsgBoxRequest& request, const MyMsgBoxMetrics& metrics);

    // Buttons shown: an empty caption ends the row, and later tests win (Btn2 empty gives one).
    static int countButtons(const std::array<QString, 4>& captions);
    // Empty when the icon bits are valid.
    static QString invalidIconsMessage(int icons);
    static MsgIcon iconFor(int icons);

    QString caption;
    int buttonCount = 1;
    int focusButton = 1;
    MsgIcon icon = MsgIcon::None;
    QString invalidIcons; // the plain message to show before the box, or empty

    int windowWidth = BaseWidth;
    int windowHeight = 0;
    QRect text;
    QRect picture; // empty when no icon
    std::array<QRect, 4> buttons;
    std::array<bool, 4> buttonVisible{};
    std::array<QRect, 4> descriptions;
    std::array<bool, 4> descriptionVisible{};
};
