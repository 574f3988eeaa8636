#include "app/OrderlyEnd.h"

#include "base/Operator.h"
#include "params/Parameters.h"

#include <cstdio>
#include <cstdlib>

OrderlyEnd::OrderlyEnd(Operator& op, Parameters& parameters) : m_op(op), m_parameters(parameters) {}

void OrderlyEnd::EndProgram(const QString& message, const QString& title) {
    if (!m_pending)
        m_pending = ProgramEnded{message, title};
    if (m_closePort)
        m_closePort();
    if (!message.isEmpty() && !m_parameters.DebugMode)
        m_op.msgBox(message, MsgStyle::OkOnly | MsgStyle::Critical, title);
    // Nothing may ask the operator anything from here on; the main window closes without its question.
    m_parameters.DebugMode = true;
    // Unloading the main window runs the normal shutdown, which ends the process itself.
    if (m_unloadWindows)
        m_unloadWindows();
    endProcess();
}

void OrderlyEnd::endProcess() {
    const ProgramEnded how = m_pending.value_or(ProgramEnded{});
    if (m_endHook)
        m_endHook(how);
    std::fflush(nullptr);
    std::_Exit(exitCode(how));
}
