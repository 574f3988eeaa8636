#pragma once

#include "experiments/LifetimeInputs.h"

#include <QDialog>
#include <QHash>
#include <functional>
#include <optional>

class ChartControl;
class QLabel;
class QLineEdit;
class QPushButton;

// Texts of the lifetime window.
namespace LifetimeTexts {
inline const QString WindowTitle = QStringLiteral("LIFETIME");
inline const QString MenuEntry = QStringLiteral("&Lifetime");
inline const QString FromBatch = QStringLiteral("From the &batch");
inline const QString FromStore = QStringLiteral("From the &store");
inline const QString StoreSample = QStringLiteral("Sample:");
inline const QString StoreSampleTip =
    QStringLiteral("The results of this sample in the results store (any part of the name, any case)");
inline const QString AddToReport = QStringLiteral("Add to the &report");
inline const QString AddedToReport = QStringLiteral("The lifetime page will be part of the report saved from "
                                                    "the statistics window.");
inline const QString Close = QStringLiteral("C&lose");
inline const QString Typed = QStringLiteral("typed");
} // namespace LifetimeTexts

// The lifetime window: the model's inputs, each with where it came from (the datasheet's batch, typed or a
// default), its answers with their 90 % ranges, F against service life for a few service stresses and the
// allowed stress against service life. Shows and forwards; the model decides.
class frmLifetime : public QDialog {
    Q_OBJECT
public:
    // batch: the inputs the datasheet's rows give; strainToStress: the fiber's modulus law (%, MPa).
    frmLifetime(const LifetimeInputs& batch, std::function<double(double)> strainToStress,
                QWidget* parent = nullptr);
    ~frmLifetime() override;

    const LifetimeInputs& inputs() const { return m_inputs; }
    // Offers "Add to the report": called with the inputs as they stand.
    void setReportAdder(std::function<void(const LifetimeInputs&)> add);
    // Offers "From the store": the inputs a sample's results in the results store give over those
    // kept (the typed ones), or nullopt with *error saying why there are none.
    using StoreQuery = std::function<std::optional<LifetimeInputs>(
        const QString& sample, const LifetimeInputs& kept, QString* error)>;
    void setStoreQuery(StoreQuery query);

    QHash<QString, QLineEdit*> txtInput; // by the key of the headless output
    QLineEdit* txtServiceStrain = nullptr;
    QHash<QString, QLabel*> lblSource;
    QLabel* lblAnswers = nullptr;
    ChartControl* chtFailure = nullptr;
    ChartControl* chtAllowed = nullptr;
    QLabel* lblFailureLegend = nullptr;
    QPushButton* cmdFromBatch = nullptr;
    QLabel* lblStoreSample = nullptr;
    QLineEdit* txtStoreSample = nullptr;
    QPushButton* cmdFromStore = nullptr;
    QLabel* lblStoreOutcome = nullptr;
    QPushButton* cmdReport = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    LifetimeValue* value(const QString& key);
    void showInputs();
    void recompute();
    void edited(const QString& key);
    void fromStore();

    LifetimeInputs m_batch;
    LifetimeInputs m_inputs;
    std::function<double(double)> m_strainToStress;
    std::function<void(const LifetimeInputs&)> m_addToReport;
    StoreQuery m_storeQuery;
    QStringList m_keys;
};
