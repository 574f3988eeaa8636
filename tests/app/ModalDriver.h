#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

// Acts on the next modal window of type W once it is up, while the code under test sits in its
// modal loop. If nothing acts within the time-out, the modal window is closed so a test fails
// instead of hanging; so is a window the action left open.
template <class W> void whenModal(std::function<void(W*)> action, int timeoutMs = 5000) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    auto waited = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, waited, action, timeoutMs] {
        *waited += 10;
        W* window = qobject_cast<W*>(QApplication::activeModalWidget());
        if (window != nullptr && window->isVisible()) {
            poll->stop();
            poll->deleteLater();
            action(window);
            // An action that failed to end the window must not leave the test hanging.
            QTimer::singleShot(timeoutMs, [guard = QPointer<QWidget>(window)] {
                if (guard && guard->isVisible())
                    guard->close();
            });
            return;
        }
        if (*waited >= timeoutMs) {
            poll->stop();
            poll->deleteLater();
            if (QWidget* stuck = QApplication::activeModalWidget())
                stuck->close();
        }
    });
    poll->start();
}

// Sends a key to whatever has the focus in the window (the window itself when nothing has).
inline QWidget* focusTarget(QWidget* window) {
    QWidget* focus = window->focusWidget();
    return focus != nullptr ? focus : window;
}
