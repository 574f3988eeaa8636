#include "app/WindowDisabler.h"

#include <QApplication>

void WindowDisabler::disableOthers() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (m_disabled.size() >= MaxRemembered)
            break;
        if (w == &m_owner || w->isAncestorOf(&m_owner) || !w->isVisible() || !w->isEnabled())
            continue;
        const Qt::WindowType type = w->windowType();
        if (type != Qt::Window && type != Qt::Dialog)
            continue;
        w->setEnabled(false);
        m_disabled.append(w);
    }
}

void WindowDisabler::enableOthers() {
    for (const QPointer<QWidget>& w : std::as_const(m_disabled))
        if (w)
            w->setEnabled(true);
    m_disabled.clear();
}
