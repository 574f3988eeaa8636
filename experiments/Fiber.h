#pragma once

#include "base/ProductIdentity.h"

#include <QString>

class Operator;
struct Parameters;

// Texts of the fiber relations shown to the operator.
namespace FiberTexts {
inline const QString SecondOrderNotImplemented =
    QStringLiteral("Second order modulus correction not implemented in Stress2Strain. Correction is now "
                   "disabled. Stress values are not reliable.");
inline const QString NegativeDiscriminant =
    QStringLiteral("Negative descrimination in Stress2Strain. This is caused by a large  negative strain "
                   "correction term in the modulus (ModulusA). Strain corrections will now be ignored.");
} // namespace FiberTexts

// Load, stress and strain of a glass fiber whose modulus rises with strain, with an optional share of
// the load carried by the coating. Fiber values are read from the parameters at every call.
// Units: load N, stress MPa, strain percent (epsilon = strain / 100 inside the formulas).
class Fiber {
public:
    static constexpr double Pi = 3.14159265358979;

    Fiber(Parameters& params, Operator& op);

    // Start-up: built-in defaults for the product, before the parameters are loaded.
    void Initialise(bool bendProduct = ProductIdentity::BendProduct);

    double FiberArea() const;                  // m^2
    double FiberEA() const;                    // Eo * A, N
    double SecantModulus(double strain) const; // GPa
    double Strain2Stress(double strain) const; // MPa
    double Stress2Strain(double stress);       // % ; may warn once and switch the correction off
    double Load2Stress(double glassLoad) const;
    double Stress2Load(double stress) const; // glass load only
    double FiberLoad2Load(double glassLoad); // glass load + coating share
    // Total load -> glass load; strain (%) and stress (MPa) are handed back.
    double Load2StrainStress(double load, double& strain, double& stress) const;

    // Second-order modulus coefficient; no parameter sets it, Stress2Strain refuses it.
    double Eb() const { return m_eb; }
    void setEb(double eb) { m_eb = eb; }
    bool StrainCorrectionDisabled() const { return m_strainCorrectionDisabled; }

    // The module's own state, so that a tool that only tries values out can put it back.
    struct State {
        double eb = 0;
        bool strainCorrectionDisabled = false;
    };
    State state() const { return {m_eb, m_strainCorrectionDisabled}; }
    void restoreState(const State& s) {
        m_eb = s.eb;
        m_strainCorrectionDisabled = s.strainCorrectionDisabled;
    }

    // Bend-product values with no parameter row in this build; the calculator keeps and restores them.
    double CoatingDiameter = 0;
    double GrooveDepth = 0;
    double GrooveAngle = 180;

private:
    Parameters& m_params;
    Operator& m_op;
    double m_eb = 0;
    bool m_strainCorrectionDisabled = false;
};
