#pragma once

#include <QString>

class QMessageBox;

// Window managers clip a title that is wider than its window ("ZERO PO… ICATOR"): the program's
// boxes are made wide enough for their title, its icon and the title bar's buttons.
namespace TitleWidth {
// Room the title bar's icon and buttons take beside the title, in pixels.
constexpr int TitleBarChrome = 150;
// The window width, in pixels, that shows the whole title.
int pixels(const QString& title);
// Widens a message box to its title; its text and buttons keep their own layout.
void fit(QMessageBox& box);
} // namespace TitleWidth
