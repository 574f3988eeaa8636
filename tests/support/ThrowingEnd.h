#pragma once

#include "base/ProgramEnd.h"

// Ends the program by throwing, so a test can see where it would have ended.
class ThrowingEnd : public ProgramEnd {
public:
    [[noreturn]] void EndProgram(const QString& message, const QString& title) override {
        throw ProgramEnded{message, title};
    }
};
