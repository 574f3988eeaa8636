#pragma once

#include "experiments/LifetimeInputs.h"
#include "experiments/ProofRun.h"

#include <QList>
#include <QStringList>
#include <optional>

class Operator;
class Program;
class SettingsStore;
class frmMain;
class frmStatistics;
class QWidget;

// The proof test and the lifetime window as the main window and the statistics window reach them.
namespace ProofCommands {
// "&Proof test" and "&Lifetime" in the Miscellaneous menu.
void AddMenuEntries(Program& program, frmMain& main);

// The proof settings the operator confirms (σp, tp, the pull of survivors), starting from the last ones
// kept in the settings store; nullopt when cancelled or not a number.
std::optional<ProofRun::Settings> AskSettings(Operator& op, SettingsStore& store);
void RunProofTest(Program& program);

// The inputs the rows give (their statistics, proof rows and conditions).
LifetimeInputs BatchInputs(const QList<QStringList>& rows);
// The lifetime window over the rows; with a statistics window its report can take the lifetime page.
void ShowLifetime(Program& program, const QList<QStringList>& rows, frmStatistics* statistics);
} // namespace ProofCommands
