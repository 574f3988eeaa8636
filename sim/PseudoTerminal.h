#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// The instrument's end of a serial line: a pseudo-terminal whose other end a program opens as its
// serial port, optionally reachable through a symbolic link (e.g. /tmp/sim/COM1).
// Lives in the thread that created it; all I/O is non-blocking and signalled through the event loop.
class PseudoTerminal : public QObject {
    Q_OBJECT
public:
    explicit PseudoTerminal(QObject* parent = nullptr);
    ~PseudoTerminal() override;

    // Creates the terminal pair and, when linkPath is given, the link to its device.
    bool open(const QString& linkPath = {});
    bool isOpen() const { return m_master >= 0; }
    // Closes the terminal and removes the link: the device vanishes for the program.
    void close();

    QString devicePath() const { return m_devicePath; }
    QString linkPath() const { return m_linkPath; }
    QString errorString() const { return m_error; }

    // Queues bytes for the program; they are written as the line accepts them.
    void write(const QByteArray& bytes);
    QByteArray readAll();
    qint64 pendingWrite() const { return m_outgoing.size(); }

signals:
    void readyRead();
    void bytesWritten();

private:
    void onReadable();
    bool drain();
    void flush();

    int m_master = -1;
    int m_slave = -1; // kept open so the line survives the program closing its end
    QString m_devicePath;
    QString m_linkPath;
    QString m_error;
    QByteArray m_incoming;
    QByteArray m_outgoing;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
};
