#include "app/Shutdown.h"

#include "app/OrderlyEnd.h"
#include "app/StartupTexts.h"
#include "base/Operator.h"
#include "base/ProductIdentity.h"
#include "params/NumberFormat.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"

Shutdown::Shutdown(Operator& op, const Parameters& parameters, SettingsStore& settings, OrderlyEnd& end)
    : m_op(op), m_parameters(parameters), m_settings(settings), m_end(end) {}

bool Shutdown::run() {
    if (!m_parameters.DebugMode) {
        QString question = StartupTexts::ExitQuestion;
        if (const std::optional<double> load = m_loadedFiber ? m_loadedFiber() : std::nullopt)
            question = StartupTexts::ExitWithLoadedFiber(fixedText(*load, 2)) + question;
        if (m_op.msgBox(question, MsgStyle::YesNo | MsgStyle::Question, StartupTexts::ExitTitle) !=
            MsgResult::Yes)
            return false;
    }
    if (m_beforeExit && !m_beforeExit())
        return false;
    if (m_saveParameters)
        m_saveParameters();
    const QString widths = m_gridColumnWidths ? m_gridColumnWidths() : QString();
    if (!widths.isEmpty())
        m_settings.saveText(ProductIdentity::AppTitle, QStringLiteral("GridColWidths"), widths);
    m_settings.sync();
    m_end.endProcess();
}
