#include "app/ProofCommands.h"

#include "app/LifetimeStoreQuery.h"
#include "app/Program.h"
#include "app/frmLifetime.h"
#include "app/frmMain.h"
#include "base/Operator.h"
#include "experiments/BreakRun.h"
#include "experiments/Fiber.h"
#include "experiments/LifetimeCharts.h"
#include "experiments/ProofTexts.h"
#include "params/ParameterTable.h"
#include "params/SettingsStore.h"
#include "results/BatchStatistics.h"
#include "results/Datasheet.h"
#include "results/StatisticsRows.h"
#include "results/frmStatistics.h"
#include "store/ResultsStore.h"

#include <QMenu>
#include <cmath>

namespace {
const QString Section = QStringLiteral("STAVELY");
const QString StressKey = QStringLiteral("ProofStress"), TimeKey = QStringLiteral("ProofTime"),
              PullKey = QStringLiteral("ProofThenBreak");

std::optional<double> number(const std::optional<QString>& text) {
    if (!text)
        return std::nullopt;
    bool ok = false;
    const double v = text->trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}
} // namespace

void ProofCommands::AddMenuEntries(Program& program, frmMain& main) {
    auto* misc = main.findChild<QMenu*>(QStringLiteral("mnuOptions"));
    if (misc == nullptr)
        return;
    QAction* proof = misc->addAction(ProofTexts::MenuEntry);
    proof->setObjectName(QStringLiteral("mnuOptionsProofTest"));
    QObject::connect(proof, &QAction::triggered, &main, [&program, &main] {
        if (main.CommitEdit())
            RunProofTest(program);
    });
    QAction* lifetime = misc->addAction(LifetimeTexts::MenuEntry);
    lifetime->setObjectName(QStringLiteral("mnuOptionsLifetime"));
    QObject::connect(lifetime, &QAction::triggered, &main, [&program] {
        ShowLifetime(program, StatisticsRows(program.datasheet().model(), {}), nullptr);
    });
}

std::optional<ProofRun::Settings> ProofCommands::AskSettings(Operator& op, SettingsStore& store) {
    ProofRun::Settings s;
    const std::optional<double> stress =
        number(op.inputBox(ProofTexts::StressPrompt, ProofTexts::Title,
                           store.getText(Section, StressKey, QStringLiteral("700"))));
    if (!stress)
        return std::nullopt;
    const std::optional<double> time = number(op.inputBox(
        ProofTexts::TimePrompt, ProofTexts::Title, store.getText(Section, TimeKey, QStringLiteral("1"))));
    if (!time)
        return std::nullopt;
    s.stress = *stress;
    s.time = *time;
    const bool pullBefore = store.getText(Section, PullKey, QStringLiteral("False")) == QLatin1String("True");
    s.pullToBreak =
        op.msgBox(ProofTexts::PullQuestion,
                  MsgStyle::YesNo + MsgStyle::Question + (pullBefore ? 0 : MsgStyle::DefaultButton2),
                  ProofTexts::Title) == MsgResult::Yes;
    store.saveText(Section, StressKey, QString::number(s.stress));
    store.saveText(Section, TimeKey, QString::number(s.time));
    store.saveText(Section, PullKey, s.pullToBreak ? QStringLiteral("True") : QStringLiteral("False"));
    return s;
}

void ProofCommands::RunProofTest(Program& program) {
    const std::optional<ProofRun::Settings> settings = AskSettings(program.op(), program.settings());
    if (!settings)
        return;
    // What the rows will say is on disc before the pull, as for a break.
    program.table().SaveParameters();
    program.breakRun().RunProof(*settings);
}

LifetimeInputs ProofCommands::BatchInputs(const QList<QStringList>& rows) {
    const BatchStatistics stats(rows);
    LifetimeInputs in;
    in.FillFromBatch(stats, stats.proof(),
                     LifetimeInputs::RowConditions(int(rows.size()), [&rows](int r, int index) {
                         return rows[r].value(index).trimmed();
                     }));
    return in;
}

void ProofCommands::ShowLifetime(Program& program, const QList<QStringList>& rows,
                                 frmStatistics* statistics) {
    QWidget* parent = statistics != nullptr ? static_cast<QWidget*>(statistics) : program.mainWindow();
    Fiber& fiber = program.fiber();
    frmLifetime window(
        BatchInputs(rows), [&fiber](double strain) { return fiber.Strain2Stress(strain); }, parent);
    window.setStoreQuery([path = program.resultsStore().path()](const QString& sample,
                                                                const LifetimeInputs& kept, QString* error) {
        return LifetimeStoreQuery::Inputs(path, {sample, {}, {}}, kept, error);
    });
    if (statistics != nullptr)
        window.setReportAdder([statistics](const LifetimeInputs& in) {
            statistics->addReportPage(
                [in](QPainter& painter, const QRectF& page) { LifetimeCharts::DrawPage(painter, page, in); });
        });
    window.exec();
}
