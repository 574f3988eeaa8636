#include "app/CommandGate.h"

#include <QApplication>
#include <QEvent>
#include <QMenuBar>
#include <QWidget>

CommandGate::CommandGate(QWidget* window, std::function<bool()> commitEdit)
    : QObject(window), m_window(window), m_commit(std::move(commitEdit)) {
    qApp->installEventFilter(this);
}

bool CommandGate::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::Shortcut && type != QEvent::MouseButtonPress)
        return false;
    if (!m_window || QApplication::activeWindow() != m_window)
        return false;
    if (type == QEvent::MouseButtonPress) {
        // Opening a menu takes the focus as a popup, which checks nothing: check before it opens.
        const auto* bar = qobject_cast<QMenuBar*>(watched);
        if (bar == nullptr || bar->window() != m_window)
            return false;
    }
    // Swallowed when refused: the command does not run, the box keeps the focus.
    return !m_commit();
}
