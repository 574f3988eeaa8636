#pragma once

#include "instrument/ApTimer.h"

#include <QDialog>
#include <array>

class QLabel;
class QPushButton;
class QTimer;

// Count-down window: waits the given seconds while the operator may lengthen, shorten, cancel or
// cut short the wait.
class frmWait : public QDialog {
    Q_OBJECT
public:
    static constexpr int TickMs = 100;

    explicit frmWait(QWidget* parent = nullptr);

    // Shows the window modally until the count-down runs out or the operator ends it.
    void Init(double WaitDuration, const QString& Title);
    bool Cancelled = false;

    static QString timeLeftText(double seconds);
    double remainingSeconds() const { return ApTimer::RemainingSeconds(m_countdown); }

protected:
    void reject() override; // close control and Escape count as Cancel

private:
    void tick();
    void increment(int index);
    void finish(bool cancelled);

    QLabel* m_timeLeft;
    std::array<QPushButton*, 4> m_increments{};
    QPushButton* m_cancel;
    QPushButton* m_continue;
    QTimer* m_timer;
    IntervalTimer m_countdown;
};
