#pragma once

#include "experiments/LifetimeInputs.h"

#include <QDialog>
#include <QHash>
#include <functional>

class ChartControl;
class QLabel;
class QLineEdit;
class QPushButton;

// Texts of the lifetime window.
namespace LifetimeTexts {
inline const QString WindowTitle = QStringLiteral("LIFETIME");
inline const QString MenuEntry = QStringLiteral("&Lifetime");
inline const QString FromBatch = QStringLiteral("From the &batch");
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

    QHash<QString, QLineEdit*> txtInput; // by the key of the headless output
    QLineEdit* txtServiceStrain = nullptr;
    QHash<QString, QLabel*> lblSource;
    QLabel* lblAnswers = nullptr;
    ChartControl* chtFailure = nullptr;
    ChartControl* chtAllowed = nullptr;
    QLabel* lblFailureLegend = nullptr;
    QPushButton* cmdFromBatch = nullptr;
    QPushButton* cmdReport = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    LifetimeValue* value(const QString& key);
    void showInputs();
    void recompute();
    void edited(const QString& key);

    LifetimeInputs m_batch;
    LifetimeInputs m_inputs;
    std::function<double(double)> m_strainToStress;
    std::function<void(const LifetimeInputs&)> m_addToReport;
    QStringList m_keys;
};
