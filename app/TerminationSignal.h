#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Turns SIGTERM, SIGHUP and SIGINT (a shutdown, a logout, Ctrl+C in a terminal) into a call on the
// main thread, so that the program ends the orderly way: the capstans stopped, the results store,
// the settings and the simulated instrument's position written, no port link left behind.
class TerminationSignal : public QObject {
public:
    explicit TerminationSignal(std::function<void()> onSignal);
    ~TerminationSignal() override;

private:
    void arrived();

    std::function<void()> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};
