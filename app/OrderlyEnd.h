#pragma once

#include "base/ProgramEnd.h"

#include <functional>
#include <optional>

class Operator;
struct Parameters;

// The one way the program ends: after a fatal condition (EndProgram) and after the normal shutdown.
class OrderlyEnd : public ProgramEnd {
public:
    // Ends the process; must not return (tests install one that throws ProgramEnded).
    using EndHook = std::function<void(const ProgramEnded&)>;

    OrderlyEnd(Operator& op, Parameters& parameters);

    void setClosePort(std::function<void()> closePort) { m_closePort = std::move(closePort); }
    void setUnloadWindows(std::function<void()> unloadWindows) { m_unloadWindows = std::move(unloadWindows); }
    void setEndHook(EndHook hook) { m_endHook = std::move(hook); }

    [[noreturn]] void EndProgram(const QString& message, const QString& title) override;

    // Ends the process now; carries the message of an EndProgram under way, if any.
    [[noreturn]] void endProcess();

    bool ending() const { return m_pending.has_value(); }

    // Exit status: 1 after a fatal message, 0 otherwise.
    static int exitCode(const ProgramEnded& how) { return how.message.isEmpty() ? 0 : 1; }

private:
    Operator& m_op;
    Parameters& m_parameters;
    std::function<void()> m_closePort;
    std::function<void()> m_unloadWindows;
    EndHook m_endHook;
    std::optional<ProgramEnded> m_pending;
};
