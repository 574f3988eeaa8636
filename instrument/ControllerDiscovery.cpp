#include "instrument/ControllerDiscovery.h"

#include "base/Operator.h"
#include "base/ProductIdentity.h"
#include "base/ProgramEnd.h"
#include "instrument/ApTimer.h"
#include "instrument/ControllerLink.h"
#include "instrument/ControllerTexts.h"
#include "instrument/PortMap.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"

#include <QCoreApplication>
#include <QStringList>

namespace T = ControllerTexts;

namespace {
bool isWordSeparator(char c) {
    return c == ' ' || c == '\r' || c == '\n';
}
} // namespace

ControllerDiscovery::ControllerDiscovery(Operator& op, ProgramEnd& end, ControllerLink& link,
                                         Parameters& params, SettingsStore& store, const PortMap& ports)
    : m_operator(op), m_end(end), m_link(link), m_params(params), m_store(store), m_ports(ports) {}

ControllerDiscovery::PortState ControllerDiscovery::ClassifyOpenError(QSerialPort::SerialPortError error) {
    // Linux reports a held port (lock file, exclusive tty, EBUSY) and Windows an opened one as a
    // permission error.
    return error == QSerialPort::PermissionError ? Busy : Absent;
}

QString ControllerDiscovery::VersionFromText(const QByteArray& text) {
    const qsizetype at = text.indexOf("version");
    if (at < 0)
        return {};
    qsizetype begin = at + 7;
    while (begin < text.size() && isWordSeparator(text.at(begin)))
        ++begin;
    qsizetype end = begin;
    while (end < text.size() && !isWordSeparator(text.at(end)))
        ++end;
    return QString::fromLatin1(text.mid(begin, end - begin));
}

bool ControllerDiscovery::FirmwareTooOld(const QString& version) {
    return QString::compare(version, T::MinimumFirmware, Qt::CaseSensitive) < 0;
}

bool ControllerDiscovery::ProbeReplyComplete(const QByteArray& text) {
    return text.endsWith('\r') && text.contains("version");
}

int ControllerDiscovery::TestComPort(int n) {
    if (!valid(n))
        return Absent;
    const auto i = size_t(n);
    m_exists[i] = m_free[i] = true;
    PortState state = Free;
    if (!m_ports.deviceExists(n)) {
        state = Absent;
    } else {
        QSerialPort trial;
        trial.setPortName(m_ports.devicePath(n));
        if (trial.open(QIODevice::ReadWrite))
            trial.close();
        else
            state = ClassifyOpenError(trial.error());
    }
    if (state == Busy)
        m_free[i] = false;
    else if (state == Absent)
        m_exists[i] = m_free[i] = false;
    return state;
}

void ControllerDiscovery::EnumeratePorts() {
    m_portCount = 0;
    for (int n = 1; n <= 16; ++n) {
        m_free[size_t(n)] = false;
        m_exists[size_t(n)] = true;
        m_scanLine[size_t(n)].clear();
    }
    for (int n = 1; n <= 16; ++n) {
        switch (TestComPort(n)) {
        case Free:
            m_free[size_t(n)] = true;
            ++m_portCount;
            break;
        case Busy:
            ++m_portCount;
            break;
        default:
            m_exists[size_t(n)] = false;
            break;
        }
    }
}

bool ControllerDiscovery::CheckForRabbit(int n) {
    if (!PortFree(n))
        return false;
    QSerialPort& port = m_link.port();

    // Errors of the port object during the probe end it with a message, not a crash.
    QSerialPort::SerialPortError caught = QSerialPort::NoError;
    QString caughtText;
    QObject guard;
    QObject::connect(&port, &QSerialPort::errorOccurred, &guard, [&](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError ||
            caught != QSerialPort::NoError)
            return;
        caught = error;
        caughtText = port.errorString();
    });
    struct Closer {
        ControllerLink& link;
        ~Closer() { link.closePort(); }
    } closer{m_link};
    auto failed = [&] {
        m_operator.msgBox(T::probeError(int(caught), caughtText), MsgStyle::OkOnly, QString());
        return false;
    };

    if (!m_link.openPort(m_ports.devicePath(n), ControllerLink::ProbeReadBufferSize)) {
        if (caught == QSerialPort::NoError) {
            caught = port.error();
            caughtText = port.errorString();
        }
        return failed();
    }
    // Two stops, an empty line, then the version query.
    m_link.WriteRaw(QByteArrayLiteral("\r!\r!\r\rV\r"));
    if (caught != QSerialPort::NoError)
        return failed();

    IntervalTimer timer;
    ApTimer::SetTimer(timer, ProbeSeconds);
    QByteArray collected;
    for (;;) {
        QCoreApplication::processEvents();
        if (port.isOpen())
            collected += port.readAll();
        if (caught != QSerialPort::NoError || ProbeReplyComplete(collected) || ApTimer::Expired(timer))
            break;
        m_link.WaitForInput(timer);
    }
    if (caught != QSerialPort::NoError)
        return failed();

    const bool found = collected.contains("version");
    if (found) {
        const QString version = VersionFromText(collected);
        m_link.setFirmwareVersion(version);
        if (FirmwareTooOld(version)) {
            m_operator.msgBox(T::firmwareTooOld(version), MsgStyle::OkOnly + MsgStyle::Critical,
                              T::FirmwareTitle);
            m_end.EndProgram(T::FirmwareEnding, T::ProgramEnding);
        }
        m_link.GetRecordCount(); // neither field is used in this build
        if (caught != QSerialPort::NoError)
            return failed();
    }
    return found;
}

QString ControllerDiscovery::scanText(const QString& separator) const {
    QStringList lines;
    for (int n = 1; n <= 16; ++n)
        lines.append(m_scanLine[size_t(n)]);
    return lines.join(separator);
}

bool ControllerDiscovery::ScanPorts() {
    EnumeratePorts();
    for (auto& line : m_scanLine)
        line.clear();
    m_operator.showStatus(scanText(QStringLiteral("\r")), T::ScanTitle, 0, QStringLiteral("OK"));
    const QString separator = QStringLiteral("\r ");
    for (int n = 1; n <= 16; ++n) {
        QString& line = m_scanLine[size_t(n)];
        line = T::scanLineHead(n);
        if (!PortExists(n))
            line += T::PortNotFound;
        else if (!PortFree(n))
            line += T::PortBusy;
        m_operator.updateStatus(scanText(separator));
        if (PortExists(n) && PortFree(n)) {
            if (CheckForRabbit(n)) {
                line += T::ControllerFoundOnPort;
                m_params.COMnum = qint16(n);
                m_operator.statusDone();
                return true;
            }
            line += T::ControllerNotFoundOnPort;
            m_operator.updateStatus(scanText(separator));
        }
        ApTimer::Delay(ScanGapSeconds);
    }
    m_operator.waitForClick();
    return false;
}

bool ControllerDiscovery::OpenControllerPort() {
    return m_link.openPort(m_ports.devicePath(m_params.COMnum));
}

QString ControllerDiscovery::portSummary(const QString& reason) const {
    QString text = reason + QStringLiteral("\r\n\r\n") + T::PortsFound;
    for (int n = 1; n <= 16; ++n) {
        if (!PortExists(n))
            continue;
        text += QStringLiteral(" COM") + QString::number(n);
        if (!PortFree(n))
            text += QStringLiteral(" (busy)");
    }
    return text + QStringLiteral("\r\n\r\n");
}

int ControllerDiscovery::choose(const QString& text) {
    MyMsgBoxRequest request;
    request.prompt = text;
    request.buttons = {T::Scan, T::ExitProgram, T::Continue, QString()};
    request.title = T::ChooseTitle;
    request.focusButton = 1;
    return m_operator.myMsgBox(request);
}

void ControllerDiscovery::saveComNum(int n) {
    m_params.COMnum = qint16(n);
    m_store.saveText(ProductIdentity::AppTitle, QStringLiteral("COMnum"), QString::number(n));
    m_store.sync();
}

bool ControllerDiscovery::ConnectController() {
    m_link.setControllerFound(false);
    const int stored = m_params.COMnum;
    QString reason;
    if (stored == 0) {
        reason = T::NoPortAssigned;
    } else {
        switch (TestComPort(stored)) {
        case Busy:
            reason = T::storedPortBusy(stored);
            break;
        case Absent:
            reason = T::storedPortMissing(stored);
            break;
        default:
            if (!CheckForRabbit(stored))
                reason = T::notFoundOn(stored);
            break;
        }
    }

    if (!reason.isEmpty()) {
        EnumeratePorts();
        if (m_portCount == 0)
            m_end.EndProgram(T::NoPorts, T::ProgramEnding);
        // Any answer but Exit or Continue (the box closed without a choice) goes on as Scan.
        const int first = choose(portSummary(reason) + T::Choices);
        if (first == 2)
            m_end.EndProgram(T::exitNoController(), T::ProgramEnding);
        if (first == 3)
            return false;
        QString prefix;
        for (;;) {
            const int answer = choose(prefix + T::Checklist + T::Choices);
            if (answer == 2)
                m_end.EndProgram(T::scanCancelled(), T::ProgramEnding);
            if (answer == 3)
                return false;
            prefix = T::RescanPrefix;
            if (ScanPorts())
                break;
        }
        m_operator.msgBox(T::foundOn(m_params.COMnum, m_link.FirmwareVersion()),
                          MsgStyle::OkOnly + MsgStyle::Information, T::FoundTitle);
    }

    m_link.setControllerFound(true);
    OpenControllerPort();
    saveComNum(m_params.COMnum);
    return true;
}
