#include "app/TitleWidth.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

int TitleWidth::pixels(const QString& title) {
    // Title bars commonly draw their text bold and a little larger than the window's own font.
    QFont font = QApplication::font();
    font.setBold(true);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 1.1);
    return QFontMetrics(font).horizontalAdvance(title) + TitleBarChrome;
}

void TitleWidth::fit(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr)
        return;
    // A message box keeps its own size policy; a spacer across the bottom row is the width it honours.
    grid->addItem(new QSpacerItem(pixels(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}
