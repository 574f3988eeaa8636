#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

// Every command of a window passes here before it runs: the entry box being edited is committed as
// leaving it would commit it (its check and message), and a refused value stops the command.
// Commands reached without the focus moving (a button's Alt key, a shortcut, a menu entry) would
// otherwise run with the value the box had before. Watches the whole application while its window
// is the active one: shortcuts, and presses on the window's menu bar, before any menu opens.
class CommandGate : public QObject {
    Q_OBJECT
public:
    // commitEdit: commits the box being edited, if any; false when its value was refused.
    CommandGate(QWidget* window, std::function<bool()> commitEdit);

    // For commands started in code (a button's click): true when the command may run.
    bool pass() const { return m_commit(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    std::function<bool()> m_commit;
};
