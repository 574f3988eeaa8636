#pragma once

#include "experiments/Fiber.h"

#include <QString>
#include <optional>

class Operator;
class ParameterTable;
struct Parameters;

// Texts of the calculator window.
namespace CalculatorTexts {
inline const QString Caption = QStringLiteral("STRESS / STRAIN / FACEPLATE GAP  CALCULATOR");
inline const QString FiberFrame = QStringLiteral(" Fiber Parameters");
inline const QString MiscFrame = QStringLiteral("Miscellaneous Parameters");
inline const QString CalculateFrame = QStringLiteral("Calculate");
inline const QString ResultsFrame = QStringLiteral("Results");
inline const QString NotApplicable = QStringLiteral(" n/a");
inline const QString ControlNote = QStringLiteral("Highlighted variable is the control variable");
inline const QString ChangeNote =
    QStringLiteral("Note: Changing the values of the parameters in this calculator "
                   "will not change their values in the main program.");
inline const QString Done = QStringLiteral("Done");
inline const QString ModulusPrefix = QStringLiteral("Modulus = ");
inline const QString ModulusUnit = QStringLiteral(" GPa");
inline const QString FiberLoadPrefix = QStringLiteral("Fiber load = ");
inline const QString FiberLoadUnit = QStringLiteral(" N");
inline const QString Stress = QStringLiteral("Stress");
inline const QString Strain = QStringLiteral("Strain");
inline const QString Load = QStringLiteral("Load");
inline const QString StressUnit = QStringLiteral("MPa");
inline const QString StrainUnit = QStringLiteral("%");
inline const QString LoadUnit = QStringLiteral("N");
} // namespace CalculatorTexts

// The three quantities the operator can type; the one typed last is the control variable.
enum class CalculatorVariable { Stress, Strain, Load };

// What the calculator decides: the fiber values it borrows and gives back, the control variable,
// and the quantities derived from it. The window only shows these and forwards the operator's entries.
class CalculatorLogic {
public:
    // Parameter boxes, bound to these keys.
    static const QString KeyDf, KeyDc, KeyEo, KeyEa, KeyGrooveAngle, KeyZo, KeyCoatingEA;

    CalculatorLogic(Parameters& params, Fiber& fiber, ParameterTable& table, Operator& op);

    // Window load: keep the fiber values, start from zero stress and strain, recompute.
    void Load();
    // Window unload: every fiber value goes back to what it was at Load.
    void Unload();

    // The text a parameter box starts with; " n/a" for the boxes this build does not use.
    QString parameterText(const QString& key) const;
    // A parameter box's entry; true when refused (boxText then holds the current value again).
    bool validateParameter(const QString& key, QString& boxText);
    // A result box's entry; true when refused (nothing changes). Accepted: it becomes the control variable.
    bool validateResult(CalculatorVariable box, const QString& text);

    // Derives the other quantities from the control variable.
    void Recompute();

    std::optional<CalculatorVariable> controlVariable() const { return m_control; }
    double stress() const { return m_stress; }
    double strain() const { return m_strain; }
    double glassLoad() const { return m_glassLoad; }
    double totalLoad() const { return m_totalLoad; }
    double gap() const { return m_gap; }

    QString stressText() const;
    QString strainText() const;
    QString loadText() const;
    QString modulusText() const;
    QString fiberLoadText() const;

private:
    void deriveFromStress();

    Parameters& m_params;
    Fiber& m_fiber;
    ParameterTable& m_table;
    Operator& m_op;

    struct Saved {
        double FiberDiameter = 0, CoatingDiameter = 0, Modulus = 0, ModulusA = 0;
        double GrooveDepth = 0, GrooveAngle = 0, CoatingEA = 0;
        Fiber::State fiberState;
    };
    std::optional<Saved> m_saved;

    std::optional<CalculatorVariable> m_control;
    double m_stress = 0, m_strain = 0, m_glassLoad = 0, m_totalLoad = 0, m_gap = 0;
};
