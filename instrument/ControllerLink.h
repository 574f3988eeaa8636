#pragma once

#include "instrument/ApTimer.h"
#include "instrument/ControllerReplies.h"

#include <QByteArray>
#include <QSerialPort>
#include <QString>
#include <functional>
#include <memory>

class Operator;
class ProgramEnd;
struct Parameters;
struct IntervalTimer;

// The command channel to the System Controller: one exchange at a time, one-letter commands closed by
// CR, replies of an echo letter and fixed-width hex fields. Every failure of an exchange is resolved
// with the operator through CommTimeout (retry, or end the program), so the commands return values.
class ControllerLink {
public:
    static constexpr float SilenceSeconds = 2.0f; // a reply times out after this much silence
    static constexpr int TransmitBufferSize = 512;
    static constexpr int ProbeReadBufferSize = 4096;
    // A port that drops during a move (a USB adapter re-enumerating) is tried again this long, so
    // the stop can go out before any message waits on the operator.
    static constexpr float ReopenSeconds = 0.8f;
    static constexpr int ReopenIntervalMs = 200;

    ControllerLink(Operator& op, ProgramEnd& end, Parameters& params);
    ~ControllerLink();
    ControllerLink(const ControllerLink&) = delete;
    ControllerLink& operator=(const ControllerLink&) = delete;

    // The serial port: 19200 baud, 8 data bits, no parity, 2 stop bits, RTS/CTS.
    QSerialPort& port() { return *m_port; }
    static void ApplyLineSettings(QSerialPort& port);
    // Opens path with the line settings; readBufferSize 0 keeps the platform default.
    bool openPort(const QString& path, qint64 readBufferSize = 0);
    void closePort();
    bool isOpen() const;
    QString portPath() const { return m_path; }

    // Connection state, set by discovery.
    bool ControllerFound() const { return m_controllerFound; }
    void setControllerFound(bool found) { m_controllerFound = found; }
    QString FirmwareVersion() const { return m_firmwareVersion; }
    void setFirmwareVersion(const QString& version) { m_firmwareVersion = version; }

    // Position reported by "?" and "L".
    void setPositionHandler(std::function<void(qint32)> handler) { m_positionHandler = std::move(handler); }
    // Samples per reading sent by every "l" (the load cell divides load-count fields by it).
    void setSamplingHandler(std::function<void(int)> handler) { m_samplingHandler = std::move(handler); }
    // Error events of the open port (QSerialPort::SerialPortError numbers). Those met during an
    // exchange are told once, after it or together with its time-out dialog, never inside it.
    void setSerialErrorHandler(std::function<void(int)> handler) { m_errorHandler = std::move(handler); }

    // Primitives
    void Put(const QString& command);
    bool PutGet(const QString& command, QString& reply, int count);
    QString PutGet(const QString& command, int count);
    QString ReadReply(const QString& echoLetter, int count);
    qint32 NextHex(int width);
    void CommTimeout(const QString& operation);
    // The time-out dialog for a command whose replies keep arriving garbled.
    void GarbledTimeout(const QString& command);
    // Asks with `read` until a reply is valid: a garbled reply is never a value. After as long as a
    // reply may take, the time-out dialog for `command` lets the operator retry or end.
    template <typename Reading>
    Reading AskUntilValid(const QString& command, const std::function<Reading()>& read) {
        IntervalTimer garbled;
        ApTimer::SetTimer(garbled, SilenceSeconds);
        for (;;) {
            Reading r = read();
            if (r.valid)
                return r;
            if (ApTimer::Expired(garbled)) {
                GarbledTimeout(command);
                ApTimer::RestartTimer(garbled);
            }
        }
    }
    QString ReplyBuffer() const { return m_replyBuffer; }
    int ReplyCursor() const { return m_replyCursor + 1; } // 1-based, as the field reader counts
    bool ReplyValid() const { return m_replyValid; }

    // Writes bytes as they are and pushes them onto the line.
    void WriteRaw(const QByteArray& bytes);
    // The stop command, without waiting on anything, when the port is still there to carry it.
    // Returns false when there was no port to carry it.
    bool StopIfPortAnswers();

    // Set by the motion while a move runs. A fault met then stops the capstans before its message
    // is shown (the message would otherwise wait on the operator while the capstans pull on).
    void setMoveInProgress(bool moving);
    bool MoveInProgress() const { return m_moveInProgress; }
    // What went wrong on the line since the move began.
    struct MoveFaults {
        bool fault = false;    // a fault message was shown (time-out, garbled reply, port error)
        bool portGone = false; // the port vanished: the capstans ran unwatched for a while
        bool stopSent = false; // the capstans were stopped because of a fault
        bool reopened = false; // the port dropped and came back at once: the stop went out on it
    };
    const MoveFaults& FaultsDuringMove() const { return m_moveFaults; }
    // Stops the capstans (a move running) and returns what the fault's message must add: that they
    // were stopped, or that they may still be turning. Empty when no move runs.
    QString StopForFault();
    // The note for the port error being reported to the serial error handler.
    QString FaultNote() const { return m_faultNote; }
    // The device has gone (adapter pulled): the port is closed until a retry reopens it.
    bool PortLost() const { return m_portLost; }
    // Waits (without running window events) until input arrives or the timer expires.
    void WaitForInput(const IntervalTimer& timer);

    // Encodings and reply decisions
    static QString Hex1(int value);
    static QString Hex2(int value);
    static QString Hex4(int value);
    static QString Hex8(qint32 value);
    static QString FloatHex(double value);
    static qint32 SingleBits(double value);
    static float BitsSingle(qint32 bits);
    // Value of a width-digit hex field; 0 when the field is short or holds a non-hex character.
    static qint32 ParseHexField(const QString& field, int width);
    // Where the reply to a command lies in the bytes collected since the command was sent. A reply is
    // its echo letter, exactly count characters and the line end (or the end of what has come so
    // far). Of several that fit, the last is the answer: earlier ones are late replies to earlier
    // commands. An echo letter followed by more than count characters and a line end is a garbled
    // line, unless a reply that fits follows it.
    struct ReplyScan {
        enum Kind { Incomplete, Fits, Garbled };
        Kind kind = Incomplete;
        qsizetype start = -1;  // of the reply (Fits, Garbled), or of the first echo letter
        qsizetype length = 0;  // from start, without the line end
        bool settled = false;  // no echo letter after start still waits for the rest of its reply
        qsizetype missing = 0; // characters the first unfinished reply still needs
    };
    static ReplyScan ScanReply(const QByteArray& collected, const QByteArray& echoLetter, int count);
    // Index of the first non-hex character among the count characters from first, -1 when none.
    static int FirstBadHex(const QString& reply, int first, int count);
    static QString StripReply(const QString& reply);
    // Errors after which the device is no longer there to talk to.
    static bool IsLostPortError(QSerialPort::SerialPortError error);
    static QString MotorSettingsText(bool noisy, bool reverseSense, bool motorInitialised);

    // Commands
    ControllerStatus GetStatus();
    LoadStatus GetLoadStatus();
    FinalData GetFinalData();
    FinalData GetAdcData();
    RecordCount GetRecordCount();
    // channel -1 means the current ADchannel; samples per reading is limited to 256.
    void SetLoadSampling(int channel, int samplesPerReading, int recording = -1, int threshold = 4090);
    int SamplesPerReading() const { return m_samplesPerReading; }
    void SetControllerPosition(qint32 position);
    void SendMotorSettings(bool motorInitialised);
    void StartMove(qint32 target, double stepRate, int checkMask, int breaksToDetect);
    void DoubleSpeed();
    void StopMove();
    void BreakStop();
    void ResumeMove();
    void SpeedCorrection(double value);
    int GetRabbitInPortByte();
    void WriteOutputs(int byte);
    void WriteLoaderOutputs(int byte);

private:
    // Marks the time from a command's sending to its reply; port errors wait until it is over.
    struct Exchange {
        explicit Exchange(ControllerLink& link) : m_link(link) { ++m_link.m_exchangeDepth; }
        ~Exchange() { --m_link.m_exchangeDepth; }
        Exchange(const Exchange&) = delete;
        Exchange& operator=(const Exchange&) = delete;
        ControllerLink& m_link;
    };

    void putBytes(const QByteArray& bytes);
    void putGet(const QString& command, QString& reply, int count);
    bool portUsable();
    void reportPortErrors(bool evenInsideExchange);
    FinalData readFinalData(const QString& command);
    void reportPosition(qint32 position);
    void recoverPort();
    void onPortError(QSerialPort::SerialPortError error);
    void waitOnPort(const IntervalTimer& timer, bool forWrite);
    bool moreInputWithin(int ms);
    void emptyInput();
    bool reopenAndStop();
    qint64 transmitRoom() const;

    Operator& m_operator;
    ProgramEnd& m_end;
    Parameters& m_params;
    std::unique_ptr<QSerialPort> m_port;
    QString m_path;
    qint64 m_readBufferSize = 0;
    bool m_controllerFound = false;
    QString m_firmwareVersion;
    QString m_replyBuffer;
    int m_replyCursor = 0;
    bool m_replyValid = true;
    int m_samplesPerReading = 1;
    std::function<void(qint32)> m_positionHandler;
    std::function<void(int)> m_errorHandler;
    std::function<void(int)> m_samplingHandler;
    QSerialPort::SerialPortError m_lastForwardedError = QSerialPort::NoError;
    QSerialPort::SerialPortError m_pendingError = QSerialPort::NoError;
    int m_exchangeDepth = 0;
    bool m_portLost = false;
    bool m_badHexRun = false; // the last reply was garbled: the next garbled one is not shown again
    bool m_moveInProgress = false;
    MoveFaults m_moveFaults;
    QString m_faultNote;
};
