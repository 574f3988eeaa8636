#include "experiments/Fiber.h"

#include "base/Operator.h"
#include "params/Parameters.h"

#include <cmath>

Fiber::Fiber(Parameters& params, Operator& op) : m_params(params), m_op(op) {}

void Fiber::Initialise(bool bendProduct) {
    m_params.ModulusA = bendProduct ? 2.125 : 3.0;
    m_eb = 0;
    m_strainCorrectionDisabled = false;
    m_params.CoatingEA = 0;
    GrooveAngle = 180;
}

double Fiber::FiberArea() const {
    const double radius = m_params.FiberDiameter / 2e6;
    return Pi * radius * radius;
}

double Fiber::FiberEA() const {
    return FiberArea() * m_params.Modulus * 1e9;
}

double Fiber::SecantModulus(double strain) const {
    const double eps = strain / 100;
    return m_params.Modulus * (1 + m_params.ModulusA * eps + m_eb * eps * eps);
}

double Fiber::Strain2Stress(double strain) const {
    return SecantModulus(strain) * 1000 * strain / 100;
}

double Fiber::Stress2Strain(double stress) {
    if (m_eb != 0) {
        m_op.msgBox(FiberTexts::SecondOrderNotImplemented, MsgStyle::OkOnly + MsgStyle::Exclamation);
        m_eb = 0;
    }
    const double eo = m_params.Modulus * 1000; // MPa
    const double ea = m_params.ModulusA;
    double eps = stress / eo;
    if (ea != 0 && !m_strainCorrectionDisabled) {
        const double d = 1 + 4 * ea * stress / eo;
        if (d < 0) {
            m_op.msgBox(FiberTexts::NegativeDiscriminant, MsgStyle::OkOnly + MsgStyle::Exclamation);
            m_strainCorrectionDisabled = true;
        } else {
            eps = (std::sqrt(d) - 1) / 2 / ea;
        }
    }
    return 100 * eps;
}

double Fiber::Load2Stress(double glassLoad) const {
    return glassLoad / FiberArea() / 1e6;
}

double Fiber::Stress2Load(double stress) const {
    return stress * FiberArea() * 1e6;
}

double Fiber::FiberLoad2Load(double glassLoad) {
    double strain = Stress2Strain(Load2Stress(glassLoad));
    if (!std::isfinite(strain))
        strain = 0;
    return glassLoad + strain / 100 * m_params.CoatingEA;
}

double Fiber::Load2StrainStress(double load, double& strain, double& stress) const {
    const double eoa = FiberEA();
    const double ea = m_params.ModulusA;
    // Solves Ea*EoA*eps^2 + (EoA + CoatingEA)*eps - F = 0.
    const double b = m_params.CoatingEA / eoa + 1;
    const double d = -load / eoa;
    const double disc = b * b - 4 * ea * d;
    double eps;
    if (ea != 0 && disc >= 0)
        eps = (std::sqrt(disc) - b) / 2 / ea;
    else // no correction, or a load beyond the reach of a falling modulus: the linear solution
        eps = load / (m_params.CoatingEA + eoa);
    strain = 100 * eps;
    stress = Strain2Stress(strain);
    return stress * 1e6 * FiberArea();
}
