#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// While a modeless status window is up, the program's other windows are disabled so the operator
// cannot start anything else; they are re-enabled when it goes away.
class WindowDisabler {
public:
    static constexpr int MaxRemembered = 11;

    explicit WindowDisabler(QWidget& owner) : m_owner(owner) {}
    ~WindowDisabler() { enableOthers(); }
    WindowDisabler(const WindowDisabler&) = delete;
    WindowDisabler& operator=(const WindowDisabler&) = delete;

    void disableOthers();
    void enableOthers();
    int disabledCount() const { return int(m_disabled.size()); }

private:
    QWidget& m_owner;
    QList<QPointer<QWidget>> m_disabled; // a window may be deleted meanwhile
};
