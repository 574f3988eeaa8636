#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

class SettingsStore;
class SimServer;

// The built-in instrument of `stavely --simulate`: the simulated System Controller serves a
// pseudo-terminal in its own thread, and the COM port the program looks for first is pointed at it,
// so discovery finds it without a dialog.
class SimulatedInstrument {
public:
    SimulatedInstrument();
    ~SimulatedInstrument();
    SimulatedInstrument(const SimulatedInstrument&) = delete;
    SimulatedInstrument& operator=(const SimulatedInstrument&) = delete;

    // Starts the simulator on the stored COM number (1 when none is stored, which is then stored).
    // The capstans and the position counter are where the last run left them (kept in the store).
    bool start(SettingsStore& store, QString* error);
    void stop();
    // Keeps where the capstans and the counter stand for the next run, as a powered instrument does.
    void keepPosition(SettingsStore& store) const;
    // Removes the link to the simulated port (the process may end without destructors).
    void removeLink();

    int comNumber() const { return m_com; }
    // The serial number of the simulated load cell; its calibration file is distributed as
    // "<serial>.cal" in the program's folder.
    QString loadCellSerial() const { return m_loadCellSerial; }
    QString linkPath() const { return m_linkPath; }
    SimServer& server() { return *m_server; }

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_linkPath;
    int m_com = 1;
    QString m_loadCellSerial;
};
