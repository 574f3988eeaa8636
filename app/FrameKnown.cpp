#include "app/FrameKnown.h"

#include <QEvent>
#include <QWidget>

FrameKnown::FrameKnown(QWidget& window, std::function<void()> action)
    : QObject(&window), m_window(window), m_action(std::move(action)) {
    window.installEventFilter(this);
}

bool FrameKnown::eventFilter(QObject* watched, QEvent* event) {
    const bool placed = event->type() == QEvent::Move || event->type() == QEvent::Resize;
    if (watched == &m_window && placed && m_window.frameGeometry() != m_window.geometry()) {
        m_window.removeEventFilter(this);
        const std::function<void()> action = std::move(m_action);
        deleteLater();
        action();
    }
    return false;
}
