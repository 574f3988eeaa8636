#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QString>

// The program's side of the line, for tests: a real serial port opened as the program opens it.
class SimSerialClient {
public:
    bool open(const QString& path) {
        port.setPortName(path);
        if (!port.open(QIODevice::ReadWrite))
            return false;
        return port.setBaudRate(19200) && port.setDataBits(QSerialPort::Data8) &&
               port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::TwoStop) &&
               port.setFlowControl(QSerialPort::HardwareControl);
    }

    void send(const QByteArray& command) {
        port.write(command + "\r");
        port.flush();
    }

    // Sends a command and collects input until `count` characters follow the echo letter, or
    // until `silenceMs` pass without input. elapsedMs is the time from sending to completion.
    QByteArray exchange(const QByteArray& command, int count, int silenceMs = 2000) {
        QElapsedTimer clock;
        clock.start();
        send(command);
        QByteArray text;
        const char letter = command.isEmpty() ? '\0' : command[0];
        for (;;) {
            text += port.readAll();
            const qsizetype p = text.indexOf(letter);
            if (p >= 0 && text.size() - p - 1 >= count)
                break;
            if (!port.waitForReadyRead(silenceMs))
                break;
        }
        elapsedMs = double(clock.nsecsElapsed()) / 1e6;
        return text;
    }

    // Everything that arrives within ms.
    QByteArray readFor(int ms) {
        QElapsedTimer clock;
        clock.start();
        QByteArray text = port.readAll();
        while (clock.elapsed() < ms) {
            if (port.waitForReadyRead(int(ms - clock.elapsed())))
                text += port.readAll();
        }
        return text + port.readAll();
    }

    QSerialPort port;
    double elapsedMs = 0;
};
