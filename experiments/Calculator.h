#pragma once

#include "experiments/CalculatorLogic.h"

#include <QDialog>
#include <QHash>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The stress / strain / load calculator. A thin window over CalculatorLogic: it shows the logic's
// values and forwards each entry; every fiber value it changed goes back when it closes.
class Calculator : public QDialog {
    Q_OBJECT
public:
    Calculator(Parameters& params, Fiber& fiber, ParameterTable& table, Operator& op,
               QWidget* parent = nullptr);
    ~Calculator() override;

    const CalculatorLogic& logic() const { return m_logic; }

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* addBox(QWidget* frame, const QString& name, const QString& tip);
    void validateBox(QLineEdit* box);
    void showResults();
    void keepFocus(QLineEdit* box);

    CalculatorLogic m_logic;
    QHash<QLineEdit*, QString> m_parameterKeys;
    QHash<QLineEdit*, CalculatorVariable> m_resultBoxes;
    bool m_validating = false;

    QLineEdit* txtDf = nullptr;
    QLineEdit* txtDc = nullptr;
    QLineEdit* txtEo = nullptr;
    QLineEdit* txtEa = nullptr;
    QLineEdit* txtGrooveAngle = nullptr;
    QSpinBox* UpDown1 = nullptr;
    QLineEdit* txtZo = nullptr;
    QLineEdit* txtCoatingEA = nullptr;
    QLineEdit* txtStress = nullptr;
    QLineEdit* txtStrain = nullptr;
    QLineEdit* txtLoad = nullptr;
    QLineEdit* txtGap = nullptr;
    QLabel* lblModulus = nullptr;
    QLabel* lblFiberLoad = nullptr;
    QPushButton* cmdDone = nullptr;
};
