#pragma once

#include "app/ProgramEnd.h"
#include "instrument/ControllerLink.h"
#include "params/Parameters.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/ScriptedPeer.h"

#include <QTemporaryDir>

// Ends the program by throwing, so a test can see where it would have ended.
class ThrowingEnd : public ProgramEnd {
public:
    [[noreturn]] void EndProgram(const QString& message, const QString& title) override {
        throw ProgramEnded{message, title};
    }
};

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
