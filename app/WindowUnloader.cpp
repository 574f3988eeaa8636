#include "app/WindowUnloader.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

void WindowUnloader::unloadAll(QWidget* mainWindow) {
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = w->windowType();
        // Menus and tool tips are not windows of their own.
        if (w == mainWindow || type == Qt::Popup || type == Qt::ToolTip || type == Qt::Desktop)
            continue;
        windows.append(w);
    }
    for (const QPointer<QWidget>& w : windows)
        if (w)
            w->close();
    if (mainWindow)
        mainWindow->close();
}
