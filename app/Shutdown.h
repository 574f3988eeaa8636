#pragma once

#include <QString>
#include <functional>
#include <optional>

class Operator;
class OrderlyEnd;
class SettingsStore;
struct Parameters;

// The main window's unload: confirm, save the parameters and the grid's column widths, end.
class Shutdown {
public:
    Shutdown(Operator& op, const Parameters& parameters, SettingsStore& settings, OrderlyEnd& end);

    void setSaveParameters(std::function<void()> save) { m_saveParameters = std::move(save); }
    // The datasheet's live column widths as "w1,w2,..."; empty (or unset) while there is no datasheet.
    void setGridColumnWidths(std::function<QString()> widths) { m_gridColumnWidths = std::move(widths); }

    // The load on the fiber when it is under load (the exit question then says how to unload it).
    void setLoadedFiber(std::function<std::optional<double>()> load) { m_loadedFiber = std::move(load); }

    // Asked once the operator has confirmed the exit, before anything is saved: false keeps the program.
    void setBeforeExit(std::function<bool()> check) { m_beforeExit = std::move(check); }

    // Returns false when the operator declines to exit; otherwise ends the process and never returns.
    bool run();

private:
    Operator& m_op;
    const Parameters& m_parameters;
    SettingsStore& m_settings;
    OrderlyEnd& m_end;
    std::function<void()> m_saveParameters;
    std::function<QString()> m_gridColumnWidths;
    std::function<bool()> m_beforeExit;
    std::function<std::optional<double>()> m_loadedFiber;
};
