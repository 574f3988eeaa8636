#include "experiments/CalculatorLogic.h"

#include "params/NumberEntry.h"
#include "params/NumberFormat.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"

const QString CalculatorLogic::KeyDf = QStringLiteral("FiberDiameter");
const QString CalculatorLogic::KeyDc = QStringLiteral("CoatingDiameter");
const QString CalculatorLogic::KeyEo = QStringLiteral("Modulus");
const QString CalculatorLogic::KeyEa = QStringLiteral("ModulusA");
const QString CalculatorLogic::KeyGrooveAngle = QStringLiteral("GrooveAngle");
const QString CalculatorLogic::KeyZo = QStringLiteral("GrooveDepth");
const QString CalculatorLogic::KeyCoatingEA = QStringLiteral("CoatingEA");

namespace {
// At most n decimals: "0." and n "#", without a trailing point.
QString upTo(double value, int decimals) {
    return FormatNum(value, 1, -decimals);
}
} // namespace

CalculatorLogic::CalculatorLogic(Parameters& params, Fiber& fiber, ParameterTable& table, Operator& op)
    : m_params(params), m_fiber(fiber), m_table(table), m_op(op) {}

void CalculatorLogic::Load() {
    Saved s;
    s.FiberDiameter = m_params.FiberDiameter;
    s.CoatingDiameter = m_fiber.CoatingDiameter;
    s.Modulus = m_params.Modulus;
    s.ModulusA = m_params.ModulusA;
    s.GrooveDepth = m_fiber.GrooveDepth;
    s.GrooveAngle = m_fiber.GrooveAngle;
    s.CoatingEA = m_params.CoatingEA;
    // A warning met while trying values out must not switch the correction off for the real tests.
    s.fiberState = m_fiber.state();
    m_saved = s;

    m_control.reset();
    m_stress = 0;
    m_strain = 0;
    m_gap = 0;
    m_glassLoad = 0;
    m_totalLoad = 0;
    Recompute();
}

void CalculatorLogic::Unload() {
    if (!m_saved)
        return;
    const Saved& s = *m_saved;
    m_params.FiberDiameter = s.FiberDiameter;
    m_fiber.CoatingDiameter = s.CoatingDiameter;
    m_params.Modulus = s.Modulus;
    m_params.ModulusA = s.ModulusA;
    m_fiber.GrooveDepth = s.GrooveDepth;
    m_fiber.GrooveAngle = s.GrooveAngle;
    m_params.CoatingEA = s.CoatingEA;
    m_fiber.restoreState(s.fiberState);
    m_saved.reset();
}

QString CalculatorLogic::parameterText(const QString& key) const {
    if (key == KeyDf || key == KeyEo || key == KeyEa || key == KeyCoatingEA)
        return m_table.valueText(key);
    return CalculatorTexts::NotApplicable; // the bend tester's values
}

bool CalculatorLogic::validateParameter(const QString& key, QString& boxText) {
    if (m_table.profValidate(key, boxText))
        return true;
    Recompute();
    return false;
}

bool CalculatorLogic::validateResult(CalculatorVariable box, const QString& text) {
    double value = 0;
    bool invalid = true;
    switch (box) {
    case CalculatorVariable::Stress:
        invalid = CheckNumber(m_op, text, CalculatorTexts::Stress, CalculatorTexts::StressUnit, -20000, 20000,
                              value);
        break;
    case CalculatorVariable::Strain:
        invalid =
            CheckNumber(m_op, text, CalculatorTexts::Strain, CalculatorTexts::StrainUnit, -20, 50, value);
        break;
    case CalculatorVariable::Load:
        invalid = CheckNumber(m_op, text, CalculatorTexts::Load, CalculatorTexts::LoadUnit, -10, 200, value);
        break;
    }
    if (invalid)
        return true;
    m_control = box;
    switch (box) {
    case CalculatorVariable::Stress:
        m_stress = value;
        break;
    case CalculatorVariable::Strain:
        m_strain = value;
        break;
    case CalculatorVariable::Load:
        m_totalLoad = value;
        break;
    }
    Recompute();
    return false;
}

void CalculatorLogic::deriveFromStress() {
    m_glassLoad = m_fiber.Stress2Load(m_stress);
    m_totalLoad = m_fiber.FiberLoad2Load(m_glassLoad);
}

void CalculatorLogic::Recompute() {
    if (!m_control)
        return;
    switch (*m_control) {
    case CalculatorVariable::Stress:
        m_strain = m_fiber.Stress2Strain(m_stress);
        deriveFromStress();
        break;
    case CalculatorVariable::Strain:
        m_stress = m_fiber.Strain2Stress(m_strain);
        deriveFromStress();
        break;
    case CalculatorVariable::Load: {
        // A changed fiber value changes what a typed load means, so the load is followed too.
        double strain = 0, stress = 0;
        m_glassLoad = m_fiber.Load2StrainStress(m_totalLoad, strain, stress);
        m_stress = m_fiber.Load2Stress(m_glassLoad);
        m_strain = m_fiber.Stress2Strain(m_stress);
        break;
    }
    }
}

QString CalculatorLogic::stressText() const {
    return upTo(m_stress, 1);
}
QString CalculatorLogic::strainText() const {
    return upTo(m_strain, 4);
}
QString CalculatorLogic::loadText() const {
    return upTo(m_totalLoad, 3);
}

QString CalculatorLogic::modulusText() const {
    return CalculatorTexts::ModulusPrefix + upTo(m_fiber.SecantModulus(m_strain), 3) +
           CalculatorTexts::ModulusUnit;
}

QString CalculatorLogic::fiberLoadText() const {
    return CalculatorTexts::FiberLoadPrefix + upTo(m_glassLoad, 3) + CalculatorTexts::FiberLoadUnit;
}
