#pragma once

#include <QByteArray>
#include <QSerialPort>
#include <QString>
#include <array>

class Operator;
class ProgramEnd;
class ControllerLink;
class SettingsStore;
class PortMap;
struct Parameters;

// Finds the System Controller at start-up: the stored port first, then, as the operator chooses,
// a scan of every COM port, the end of the program, or going on without the instrument.
class ControllerDiscovery {
public:
    static constexpr float ProbeSeconds = 1.0f; // for the whole probe, not restarted by arrivals
    static constexpr double ScanGapSeconds = 0.1;

    enum PortState { Free = 0, Busy = 1, Absent = 2 };

    ControllerDiscovery(Operator& op, ProgramEnd& end, ControllerLink& link, Parameters& params,
                        SettingsStore& store, const PortMap& ports);

    // The whole start-up connection procedure; returns (and sets on the link) ControllerFound.
    bool ConnectController();
    int TestComPort(int n);
    void EnumeratePorts();
    bool CheckForRabbit(int n);
    bool ScanPorts();
    bool OpenControllerPort();

    bool PortExists(int n) const { return valid(n) && m_exists[size_t(n)]; }
    bool PortFree(int n) const { return valid(n) && m_free[size_t(n)]; }
    QString ScanLine(int n) const { return valid(n) ? m_scanLine[size_t(n)] : QString(); }
    int PortCount() const { return m_portCount; }

    // A port another program holds is busy; any other reason it cannot be opened makes it absent.
    static PortState ClassifyOpenError(QSerialPort::SerialPortError error);
    // The first word after the first "version"; empty when there is none.
    static QString VersionFromText(const QByteArray& text);
    // Plain character comparison, as the firmware has always been checked: "1.1" passes, "1.010" does not.
    static bool FirmwareTooOld(const QString& version);
    // The probe's reply is complete once it ends with CR and holds "version".
    static bool ProbeReplyComplete(const QByteArray& text);

private:
    static bool valid(int n) { return n >= 1 && n <= 16; }
    QString scanText(const QString& separator) const;
    QString portSummary(const QString& reason) const;
    int choose(const QString& text);
    void saveComNum(int n);

    Operator& m_operator;
    ProgramEnd& m_end;
    ControllerLink& m_link;
    Parameters& m_params;
    SettingsStore& m_store;
    const PortMap& m_ports;
    std::array<bool, 17> m_exists{};
    std::array<bool, 17> m_free{};
    std::array<QString, 17> m_scanLine;
    int m_portCount = 0;
};
