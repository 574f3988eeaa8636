#pragma once

#include "base/ProgramEnd.h"
#include "instrument/ControllerDiscovery.h"
#include "instrument/ControllerLink.h"
#include "instrument/PortMap.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/ThrowingEnd.h"

#include <QSerialPort>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <vector>

// A scripted operator that ends the test instead of answering a prompt nobody scripted, so a
// retry loop cannot keep asking forever.
class StrictOperator : public ScriptedOperator {
public:
    int msgBox(const QString& prompt, int style, const QString& title) override {
        if (remainingAnswers() == 0) {
            ScriptedOperator::msgBox(prompt, style, title);
            throw ProgramEnded{QStringLiteral("unscripted prompt"), prompt};
        }
        return ScriptedOperator::msgBox(prompt, style, title);
    }
    int myMsgBox(const MyMsgBoxRequest& request) override {
        if (remainingAnswers() == 0) {
            ScriptedOperator::myMsgBox(request);
            throw ProgramEnded{QStringLiteral("unscripted prompt"), request.prompt};
        }
        return ScriptedOperator::myMsgBox(request);
    }
};

// A link on a real serial port whose other end is a scripted peer.
struct LinkRig {
    QTemporaryDir dir;
    ScriptedPeer peer;
    StrictOperator op;
    ThrowingEnd end;
    Parameters params;
    ControllerLink link{op, end, params};

    QString portPath() const { return dir.filePath(QStringLiteral("COM1")); }
    bool start() { return dir.isValid() && peer.open(portPath()) && link.openPort(portPath()); }
};

// Sixteen COM numbers pointed at a temporary folder where nothing exists until a test puts a
// peer there, so the machine's own ports never take part.
struct DiscoveryRig {
    QTemporaryDir dir;
    StrictOperator op;
    ThrowingEnd end;
    Parameters params;
    SettingsStore store{dir.filePath(QStringLiteral("settings.ini"))};
    ControllerLink link{op, end, params};
    PortMap ports{&store};
    ControllerDiscovery discovery{op, end, link, params, store, ports};
    std::map<int, std::unique_ptr<ScriptedPeer>> peers;
    std::vector<std::unique_ptr<QSerialPort>> holders;

    DiscoveryRig() {
        for (int n = 1; n <= 16; ++n)
            qputenv(qPrintable(PortMap::environmentName(n)), path(n).toLocal8Bit());
    }
    ~DiscoveryRig() {
        for (int n = 1; n <= 16; ++n)
            qunsetenv(qPrintable(PortMap::environmentName(n)));
    }
    QString path(int n) const { return dir.filePath(QStringLiteral("COM%1").arg(n)); }

    ScriptedPeer& port(int n) {
        auto& peer = peers[n];
        peer = std::make_unique<ScriptedPeer>();
        if (!peer->open(path(n)))
            qFatal("cannot create a pseudo-terminal");
        return *peer;
    }
    ScriptedPeer& controller(int n, const QByteArray& versionReply) {
        ScriptedPeer& peer = port(n);
        peer.reply('V', versionReply);
        peer.reply('z', QByteArrayLiteral("z00000000\r\n"));
        return peer;
    }
    // Another program holds the port.
    ScriptedPeer& busy(int n) {
        ScriptedPeer& peer = port(n);
        auto holder = std::make_unique<QSerialPort>(path(n));
        if (!holder->open(QIODevice::ReadWrite))
            qFatal("cannot hold the port");
        holders.push_back(std::move(holder));
        return peer;
    }
    QString storedComNum() const {
        return store.getText(QStringLiteral("STAVELY"), QStringLiteral("COMnum"), {});
    }
};
