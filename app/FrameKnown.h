#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Runs an action once, when the window manager has drawn a window's frame: only from then on can a
// window be placed by its frame (its title bar), which is what keeps the title bar on the screen.
// Deletes itself after the action, or with the window when no frame ever comes (no window manager).
class FrameKnown : public QObject {
public:
    FrameKnown(QWidget& window, std::function<void()> action);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    std::function<void()> m_action;
};
