#pragma once

#include <QString>

// Thrown by the end-of-program hook that tests install, so that EndProgram never returns there either.
struct ProgramEnded {
    QString message;
    QString title;
};

// The orderly end after a fatal condition. Never returns.
class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    [[noreturn]] virtual void EndProgram(const QString& message, const QString& title) = 0;
};
