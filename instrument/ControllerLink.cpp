#include "instrument/ControllerLink.h"

#include "base/Operator.h"
#include "base/ProgramEnd.h"
#include "instrument/ApTimer.h"
#include "instrument/ControllerTexts.h"
#include "params/Parameters.h"

#include <QThread>
#include <QTimer>
#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

namespace {

int remainingMs(const IntervalTimer& timer) {
    return int(std::ceil(std::max(0.0, ApTimer::RemainingSeconds(timer)) * 1000.0));
}

// Value of a hex digit, -1 for any other character.
int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

bool isHexDigit(QChar c) {
    return hexValue(c) >= 0;
}

bool isReplyPadding(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char(' ');
}

// Drained bytes must leave even though no event loop runs; a blocked line is left to the next wait.
constexpr float DrainSeconds = 0.25f;
// One character of 11 bits at 19200 baud, in ms.
constexpr double CharMs = 11.0 * 1000.0 / 19200.0;
// Quiet on the line after a reply before it is taken (about nine characters).
constexpr int ReplyQuietMs = 5;
// The longest a reply that fits waits for the line to fall quiet.
constexpr float ReplySettleSeconds = 0.1f;

} // namespace

ControllerLink::ControllerLink(Operator& op, ProgramEnd& end, Parameters& params)
    : m_operator(op), m_end(end), m_params(params), m_port(std::make_unique<QSerialPort>()) {
    QObject::connect(m_port.get(), &QSerialPort::errorOccurred, m_port.get(),
                     [this](QSerialPort::SerialPortError error) { onPortError(error); });
}

ControllerLink::~ControllerLink() {
    closePort();
}

void ControllerLink::ApplyLineSettings(QSerialPort& port) {
    port.setBaudRate(19200);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::TwoStop);
    port.setFlowControl(QSerialPort::HardwareControl);
}

bool ControllerLink::openPort(const QString& path, qint64 readBufferSize) {
    closePort();
    m_path = path;
    m_readBufferSize = readBufferSize;
    m_lastForwardedError = QSerialPort::NoError;
    m_portLost = false;
    m_port->setPortName(path);
    ApplyLineSettings(*m_port);
    m_port->setReadBufferSize(readBufferSize);
    return m_port->open(QIODevice::ReadWrite);
}

void ControllerLink::closePort() {
    if (m_port->isOpen())
        m_port->close();
}

bool ControllerLink::isOpen() const {
    return m_port->isOpen();
}

bool ControllerLink::IsLostPortError(QSerialPort::SerialPortError error) {
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
           error == QSerialPort::WriteError;
}

void ControllerLink::onPortError(QSerialPort::SerialPortError error) {
    // Time-outs are our own waits running out; errors of a closed port belong to whoever opens it.
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port->isOpen())
        return;
    if (IsLostPortError(error) && !m_portLost) {
        m_portLost = true;
        // The port's notifiers would fail again on every pass of any event loop: close it as soon as
        // this signal is over. Inside an exchange the exchange itself closes it.
        // Told from there too, once the port is closed and can be tried again.
        QTimer::singleShot(0, m_port.get(), [this] {
            if (m_portLost && m_exchangeDepth == 0) {
                closePort();
                reportPortErrors(false);
            }
        });
    }
    // A vanished device repeats its error on every wait; tell once per opening.
    if (error == m_lastForwardedError)
        return;
    m_lastForwardedError = error;
    // No message may run inside an exchange; the first error met there is told after it.
    if (m_exchangeDepth > 0 || m_portLost) {
        if (m_pendingError == QSerialPort::NoError)
            m_pendingError = error;
        return;
    }
    if (m_errorHandler) {
        m_faultNote = StopForFault();
        m_errorHandler(int(error));
    }
}

void ControllerLink::reportPortErrors(bool evenInsideExchange) {
    if (m_pendingError == QSerialPort::NoError || (m_exchangeDepth > 0 && !evenInsideExchange))
        return;
    const int error = int(std::exchange(m_pendingError, QSerialPort::NoError));
    if (m_errorHandler) {
        // The handler shows a message: the capstans stop first (FaultNote says how they stand).
        m_faultNote = StopForFault();
        m_errorHandler(error);
    }
}

bool ControllerLink::portUsable() {
    if (m_portLost && m_port->isOpen())
        closePort();
    return m_port->isOpen();
}

void ControllerLink::waitOnPort(const IntervalTimer& timer, bool forWrite) {
    const int ms = remainingMs(timer);
    if (ms <= 0 || m_portLost)
        return;
    if (m_port->isOpen() && (forWrite ? m_port->waitForBytesWritten(ms) : m_port->waitForReadyRead(ms)))
        return;
    if (m_port->error() == QSerialPort::TimeoutError) {
        m_port->clearError();
        return;
    }
    if (m_portLost)
        return;
    // A closed port or a vanished device returns at once: sleep out the wait rather than spin.
    QThread::msleep(ulong(remainingMs(timer)));
}

void ControllerLink::WaitForInput(const IntervalTimer& timer) {
    waitOnPort(timer, false);
}

void ControllerLink::WriteRaw(const QByteArray& bytes) {
    if (!portUsable())
        return;
    m_port->write(bytes);
    m_port->flush();
    IntervalTimer drain;
    ApTimer::SetTimer(drain, DrainSeconds);
    while (portUsable() && m_port->bytesToWrite() > 0 && !ApTimer::Expired(drain))
        waitOnPort(drain, true);
    // A failed write leaves the port lost; closing it keeps its notifiers from failing over again.
    portUsable();
}

bool ControllerLink::StopIfPortAnswers() {
    if (!portUsable())
        return false;
    WriteRaw(QByteArrayLiteral("!\r"));
    return portUsable();
}

void ControllerLink::setMoveInProgress(bool moving) {
    m_moveInProgress = moving;
    if (moving)
        m_moveFaults = MoveFaults{};
}

QString ControllerLink::StopForFault() {
    if (!m_moveInProgress)
        return QString();
    m_moveFaults.fault = true;
    if (m_moveFaults.reopened && !m_portLost)
        return ControllerTexts::CapstansStoppedAfterReopen;
    if (!m_portLost && StopIfPortAnswers()) {
        m_moveFaults.stopSent = true;
        return ControllerTexts::CapstansStopped;
    }
    // A port that dropped may be back at once: tried once per move, while nothing waits on the
    // operator yet.
    if (m_portLost && !m_moveFaults.portGone && reopenAndStop()) {
        m_moveFaults.stopSent = true;
        m_moveFaults.reopened = true;
        return ControllerTexts::CapstansStoppedAfterReopen;
    }
    m_moveFaults.portGone = true;
    return ControllerTexts::CapstansMayTurn;
}

bool ControllerLink::reopenAndStop() {
    if (m_path.isEmpty())
        return false;
    IntervalTimer window;
    ApTimer::SetTimer(window, ReopenSeconds);
    for (;;) {
        closePort();
        if (openPort(m_path, m_readBufferSize) && StopIfPortAnswers())
            return true;
        closePort();
        m_portLost = true;
        if (ApTimer::Expired(window))
            return false;
        QThread::msleep(ulong(std::min(ReopenIntervalMs, std::max(1, remainingMs(window)))));
    }
}

qint64 ControllerLink::transmitRoom() const {
    return m_port->isOpen() ? TransmitBufferSize - m_port->bytesToWrite() : TransmitBufferSize;
}

void ControllerLink::Put(const QString& command) {
    {
        const Exchange exchange(*this);
        putBytes(command.toLatin1() + '\r');
    }
    reportPortErrors(false);
}

void ControllerLink::putBytes(const QByteArray& bytes) {
    for (;;) {
        IntervalTimer timer;
        ApTimer::SetTimer(timer, SilenceSeconds);
        while (transmitRoom() < bytes.size() && !ApTimer::Expired(timer))
            waitOnPort(timer, true);
        // A lost port has room for nothing: the write below does nothing and the reply that does not
        // come ends the exchange.
        if (transmitRoom() >= bytes.size() || m_portLost)
            break;
        CommTimeout(QStringLiteral("Put"));
    }
    WriteRaw(bytes);
}

QString ControllerLink::ReadReply(const QString& echoLetter, int count) {
    const Exchange exchange(*this);
    const QByteArray echo = echoLetter.left(1).toLatin1();
    QByteArray collected;
    IntervalTimer silence;
    ApTimer::SetTimer(silence, SilenceSeconds);
    ReplyScan scan;
    IntervalTimer settling; // noise that never stops must not hold back a reply already there
    bool settlingStarted = false;
    for (;;) {
        // Nothing can come from a closed or lost port: the exchange ends at once.
        if (!portUsable())
            break;
        bool arrived = false;
        const QByteArray chunk = m_port->readAll();
        if (!chunk.isEmpty()) {
            collected += chunk;
            ApTimer::RestartTimer(silence);
            arrived = true;
        }
        scan = ScanReply(collected, echo, count);
        if (scan.kind != ReplyScan::Incomplete && scan.settled) {
            // A late reply to an earlier command can be followed at once by the one asked for: take
            // a reply only once the line has stayed quiet for a moment after it.
            if (!settlingStarted) {
                ApTimer::SetTimer(settling, ReplySettleSeconds);
                settlingStarted = true;
            }
            if (ApTimer::Expired(settling) || !moreInputWithin(ReplyQuietMs))
                break;
            continue;
        }
        if (ApTimer::Expired(silence))
            break;
        // The rest of a reply under way needs its time on the line: sleep that long once rather
        // than wake for every character.
        if (arrived && scan.missing > 0) {
            const double ms = qMin(double(scan.missing) * CharMs, ApTimer::RemainingSeconds(silence) * 1000);
            if (ms >= 1) {
                QThread::usleep(static_cast<unsigned long>(ms * 1000));
                continue;
            }
        }
        WaitForInput(silence);
    }
    if (scan.kind != ReplyScan::Incomplete)
        return QString::fromLatin1(collected.mid(scan.start, scan.length));
    // Nothing that fits: what follows the first echo letter tells the operator what did come.
    return scan.start < 0 ? QString() : QString::fromLatin1(collected.mid(scan.start));
}

bool ControllerLink::moreInputWithin(int ms) {
    if (!portUsable())
        return false;
    if (m_port->bytesAvailable() > 0 || m_port->waitForReadyRead(ms))
        return true;
    if (m_port->error() == QSerialPort::TimeoutError)
        m_port->clearError();
    return false;
}

void ControllerLink::emptyInput() {
    // Whatever waits in the input answers no command of ours: a reply that came after its time-out,
    // or line noise. Left there it would be read as the answer to the next command.
    if (!portUsable())
        return;
    m_port->clear(QSerialPort::Input);
    m_port->readAll();
}

bool ControllerLink::PutGet(const QString& command, QString& reply, int count) {
    {
        const Exchange exchange(*this);
        putGet(command, reply, count);
    }
    reportPortErrors(false);
    return true;
}

void ControllerLink::putGet(const QString& command, QString& reply, int count) {
    const QString letter = command.left(1);
    const int h = command.isEmpty() ? 0 : 1;
    for (;;) {
        if (!command.isEmpty()) {
            emptyInput();
            Put(command);
        }
        QString r = ReadReply(letter, count);
        if (r.isEmpty()) {
            CommTimeout(QStringLiteral("PutGet ") + command);
            continue;
        }
        r = StripReply(r);
        if (r.size() < h + count || !r.startsWith(letter)) {
            CommTimeout(ControllerTexts::shortString(r.size(), count));
            continue;
        }
        r = r.toUpper();
        // Anything after the fields (trailing junk) makes the reply as garbled as a bad digit.
        const bool bad = r.size() > h + count || FirstBadHex(r, h, count) >= 0;
        // One message for a run of garbled replies: a display that polls would otherwise ask the
        // operator again at every poll.
        if (bad && !m_badHexRun) {
            CommTimeout(ControllerTexts::BadHex);
            m_operator.msgBox(r, MsgStyle::OkOnly, QString());
        }
        m_badHexRun = bad;
        m_replyBuffer = r.mid(h);
        m_replyCursor = 0;
        m_replyValid = !bad;
        reply = r;
        return;
    }
}

QString ControllerLink::PutGet(const QString& command, int count) {
    QString reply;
    PutGet(command, reply, count);
    return reply;
}

qint32 ControllerLink::NextHex(int width) {
    const QString field = m_replyBuffer.mid(m_replyCursor, std::max(0, width));
    m_replyCursor += std::max(0, width);
    return m_replyValid ? ParseHexField(field, width) : 0;
}

void ControllerLink::GarbledTimeout(const QString& command) {
    CommTimeout(QStringLiteral("PutGet ") + command);
}

void ControllerLink::CommTimeout(const QString& operation) {
    // A lost port is closed before the dialog runs window events; what went wrong on it is told first.
    portUsable();
    reportPortErrors(true);
    MyMsgBoxRequest request;
    // In a move the capstans stop before the dialog waits on the operator.
    request.prompt = ControllerTexts::commTimeout(operation) + StopForFault();
    request.buttons = {ControllerTexts::Retry, ControllerTexts::Cancel, QString(), QString()};
    request.icons = MsgStyle::Exclamation;
    request.title = ControllerTexts::CommTimeoutTitle;
    request.focusButton = 1;
    for (;;) {
        if (m_operator.myMsgBox(request) == 1)
            break;
        // Cancel, or the box closed without a choice: make sure before ending.
        if (m_operator.msgBox(ControllerTexts::terminateQuestion(), MsgStyle::YesNo + MsgStyle::Exclamation,
                              QString()) == MsgResult::Yes)
            m_end.EndProgram(QString(), ControllerTexts::ProgramEnding);
    }
    recoverPort();
    if (m_port->isOpen())
        m_port->clear(QSerialPort::Output);
    // Two stop commands: a retried move always starts from a stopped motor.
    Put(QStringLiteral("\r!\r!\r"));
}

void ControllerLink::recoverPort() {
    // A device that vanished (adapter pulled) and came back is usable again after reopening.
    if (m_path.isEmpty())
        return;
    if (m_port->isOpen() && !m_portLost && m_port->error() != QSerialPort::ResourceError)
        return;
    openPort(m_path, m_readBufferSize);
}

// ---- encodings ----

QString ControllerLink::Hex1(int value) {
    return QString::number(quint32(value) & 0xFu, 16).toUpper();
}

QString ControllerLink::Hex2(int value) {
    return QStringLiteral("%1").arg(quint32(value) & 0xFFu, 2, 16, QLatin1Char('0')).toUpper();
}

QString ControllerLink::Hex4(int value) {
    return QStringLiteral("%1").arg(quint32(value) & 0xFFFFu, 4, 16, QLatin1Char('0')).toUpper();
}

QString ControllerLink::Hex8(qint32 value) {
    return QStringLiteral("%1").arg(quint32(value), 8, 16, QLatin1Char('0')).toUpper();
}

QString ControllerLink::FloatHex(double value) {
    return Hex8(SingleBits(value));
}

qint32 ControllerLink::SingleBits(double value) {
    return std::bit_cast<qint32>(float(value));
}

float ControllerLink::BitsSingle(qint32 bits) {
    return std::bit_cast<float>(bits);
}

qint32 ControllerLink::ParseHexField(const QString& field, int width) {
    if (width <= 0 || width > 8 || field.size() < width)
        return 0;
    quint32 value = 0;
    for (int i = 0; i < width; ++i) {
        const int digit = hexValue(field.at(i));
        if (digit < 0)
            return 0;
        value = (value << 4) | quint32(digit);
    }
    return qint32(value); // 8-digit fields are two's complement
}

ControllerLink::ReplyScan ControllerLink::ScanReply(const QByteArray& collected, const QByteArray& echoLetter,
                                                    int count) {
    enum Shape { Partial, Short, FitsOpen, FitsClosed, LongOpen, LongClosed };
    const qsizetype size = collected.size();
    const qsizetype echo = echoLetter.isEmpty() ? 0 : 1;
    count = std::max(0, count);
    auto isLineEnd = [](char c) { return c == '\r' || c == '\n'; };
    auto shapeAt = [&](qsizetype p) {
        const qsizetype end = p + echo + count;
        for (qsizetype i = p + echo; i < std::min(end, size); ++i)
            if (isLineEnd(collected[i]))
                return Short;
        if (end > size)
            return Partial;
        if (end == size)
            return FitsOpen;
        if (isLineEnd(collected[end]) || collected[end] == ' ')
            return FitsClosed;
        for (qsizetype i = end + 1; i < size; ++i)
            if (isLineEnd(collected[i]))
                return LongClosed;
        return LongOpen;
    };
    auto lineEnd = [&](qsizetype from) {
        qsizetype i = from;
        while (i < size && !isLineEnd(collected[i]))
            ++i;
        return i;
    };

    QList<qsizetype> starts;
    if (echo == 0)
        starts.append(0);
    else
        for (qsizetype p = collected.indexOf(echoLetter.at(0)); p >= 0;
             p = collected.indexOf(echoLetter.at(0), p + 1))
            starts.append(p);

    ReplyScan scan;
    if (!starts.isEmpty())
        scan.start = starts.first();
    qsizetype fit = -1, garbled = -1;
    QList<Shape> shapes;
    for (const qsizetype p : starts) {
        const Shape shape = shapeAt(p);
        shapes.append(shape);
        if (shape == FitsOpen || shape == FitsClosed)
            fit = p;
        else if (shape == LongClosed)
            garbled = p;
        else if (shape == Partial && scan.missing == 0)
            scan.missing = p + echo + count - size;
    }
    const qsizetype taken = fit >= 0 ? fit : garbled;
    if (taken < 0)
        return scan;
    // A reply still arriving after the one found may be the answer; a garbled line still arriving
    // may yet hold one.
    bool settled = true;
    for (qsizetype i = 0; i < starts.size(); ++i)
        if (starts[i] > taken && (shapes[i] == Partial || (shapes[i] == LongOpen && fit < 0)))
            settled = false;
    scan.kind = fit >= 0 ? ReplyScan::Fits : ReplyScan::Garbled;
    scan.start = taken;
    scan.length = fit >= 0 ? echo + count : lineEnd(taken) - taken;
    scan.settled = settled;
    return scan;
}

int ControllerLink::FirstBadHex(const QString& reply, int first, int count) {
    for (int i = first; i < first + count && i < reply.size(); ++i)
        if (!isHexDigit(reply.at(i)))
            return i;
    return -1;
}

QString ControllerLink::StripReply(const QString& reply) {
    qsizetype begin = 0, end = reply.size();
    while (begin < end && isReplyPadding(reply.at(begin)))
        ++begin;
    while (end > begin && isReplyPadding(reply.at(end - 1)))
        --end;
    return reply.mid(begin, end - begin);
}

QString ControllerLink::MotorSettingsText(bool noisy, bool reverseSense, bool motorInitialised) {
    QString text = QStringLiteral("S");
    text += noisy ? QLatin1Char('0') : QLatin1Char('1');
    text += reverseSense ? QLatin1Char('1') : QLatin1Char('0');
    text += motorInitialised ? QLatin1Char('1') : QLatin1Char('0');
    text += QLatin1Char('0'); // bend product only
    return text;
}

// ---- commands ----

void ControllerLink::reportPosition(qint32 position) {
    if (m_positionHandler)
        m_positionHandler(position);
}

ControllerStatus ControllerLink::GetStatus() {
    PutGet(QStringLiteral("?"), 12);
    ControllerStatus s;
    s.status = NextHex(2);
    s.position = NextHex(8);
    s.recordCount = NextHex(2);
    s.valid = m_replyValid;
    // A garbled reply must not overwrite the position the program keeps.
    if (s.valid)
        reportPosition(s.position);
    return s;
}

LoadStatus ControllerLink::GetLoadStatus() {
    PutGet(QStringLiteral("L"), 30);
    LoadStatus s;
    s.status = NextHex(2);
    s.position = NextHex(8);
    s.loadCounts = NextHex(6);
    s.maxLoadCounts = NextHex(6);
    s.timeMs = NextHex(8);
    s.valid = m_replyValid;
    if (s.valid)
        reportPosition(s.position);
    return s;
}

FinalData ControllerLink::readFinalData(const QString& command) {
    PutGet(command, 59);
    FinalData d;
    d.unused1 = NextHex(1);
    d.loadCounts = NextHex(6);
    d.value = BitsSingle(NextHex(8));
    d.value4 = NextHex(4);
    d.timeMs = NextHex(8);
    d.unused2 = NextHex(4);
    d.unused3 = NextHex(4);
    d.unused4 = NextHex(8);
    d.finalTimeMs = NextHex(8);
    d.position = NextHex(8);
    d.valid = m_replyValid;
    return d;
}

FinalData ControllerLink::GetFinalData() {
    return readFinalData(QStringLiteral("F"));
}

FinalData ControllerLink::GetAdcData() {
    return readFinalData(QStringLiteral("A"));
}

RecordCount ControllerLink::GetRecordCount() {
    PutGet(QStringLiteral("z"), 8);
    RecordCount r;
    r.records = NextHex(4);
    r.second = NextHex(4);
    r.valid = m_replyValid;
    return r;
}

void ControllerLink::SetLoadSampling(int channel, int samplesPerReading, int recording, int threshold) {
    if (channel == -1)
        channel = m_params.ADchannel;
    samplesPerReading = std::clamp(samplesPerReading, 1, 256);
    PutGet(QStringLiteral("l") + Hex1(channel) + Hex4(samplesPerReading) + Hex4(recording) + Hex4(threshold),
           2);
    m_samplesPerReading = samplesPerReading;
    if (m_samplingHandler)
        m_samplingHandler(samplesPerReading);
}

void ControllerLink::SetControllerPosition(qint32 position) {
    Put(QStringLiteral("s") + Hex8(position));
}

void ControllerLink::SendMotorSettings(bool motorInitialised) {
    Put(MotorSettingsText(m_params.Noisy, m_params.ReverseSense, motorInitialised));
}

void ControllerLink::StartMove(qint32 target, double stepRate, int checkMask, int breaksToDetect) {
    Put(QStringLiteral("M") + Hex8(target) + FloatHex(stepRate) + Hex2(checkMask) + Hex2(breaksToDetect));
}

void ControllerLink::DoubleSpeed() {
    Put(QStringLiteral("X"));
}

void ControllerLink::StopMove() {
    Put(QStringLiteral("!"));
}

void ControllerLink::BreakStop() {
    Put(QStringLiteral("!!"));
}

void ControllerLink::ResumeMove() {
    Put(QStringLiteral("g"));
}

void ControllerLink::SpeedCorrection(double value) {
    Put(QStringLiteral("v") + FloatHex(value));
}

int ControllerLink::GetRabbitInPortByte() {
    PutGet(QStringLiteral("R"), 2);
    return NextHex(2);
}

void ControllerLink::WriteOutputs(int byte) {
    PutGet(QStringLiteral("W") + Hex2(byte) + Hex2(byte), 0);
}

void ControllerLink::WriteLoaderOutputs(int byte) {
    PutGet(QStringLiteral("w") + Hex2(byte), 0);
}
