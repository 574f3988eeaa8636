#include "experiments/Fiber.h"
#include "params/Parameters.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QTest>
#include <cmath>

class FiberTest : public QObject {
    Q_OBJECT

    static constexpr int WarningStyle = MsgStyle::OkOnly + MsgStyle::Exclamation;

private slots:
    void withoutCorrectionStrainIsLinearAndExactlyInverted() {
        Parameters p;
        p.Modulus = 72;
        p.ModulusA = 0;
        ScriptedOperator op;
        Fiber f(p, op);
        for (double stress : {-1500.0, 0.0, 0.1, 741.6, 5000.0}) {
            const double strain = f.Stress2Strain(stress);
            QCOMPARE(strain, 100 * (stress / (72 * 1000.0)));
            QCOMPARE(f.Strain2Stress(strain) + 1, stress + 1);
        }
        QCOMPARE(f.SecantModulus(3), 72.0);
        QVERIFY(op.prompts.isEmpty());
    }

    void modulusRisesWithStrain() {
        Parameters p;
        p.Modulus = 72;
        p.ModulusA = 3;
        ScriptedOperator op;
        Fiber f(p, op);
        QCOMPARE(f.SecantModulus(1), 74.16);
        QCOMPARE(f.Strain2Stress(1), 741.6);
        QCOMPARE(f.Stress2Strain(741.6), 1.0);
        // Compression follows the same curve.
        QCOMPARE(f.Stress2Strain(f.Strain2Stress(-2)), -2.0);
        QVERIFY(op.prompts.isEmpty());
    }

    void areaAndStiffnessOfA125MicronFiber() {
        Parameters p;
        p.FiberDiameter = 125;
        p.Modulus = 72;
        ScriptedOperator op;
        Fiber f(p, op);
        QVERIFY(std::abs(f.FiberArea() - 1.2271846e-8) < 1e-15);
        QVERIFY(std::abs(f.FiberEA() - 883.57) < 0.005);
    }

    void negativeDiscriminantWarnsOnceThenStaysLinear() {
        Parameters p;
        p.Modulus = 72;
        p.ModulusA = -6;
        ScriptedOperator op;
        Fiber f(p, op);
        const double corrected = f.Stress2Strain(1000);
        QVERIFY(corrected > 100 * 1000 / 72000.0);
        QVERIFY(op.prompts.isEmpty());

        op.answer(MsgResult::Ok);
        QCOMPARE(f.Stress2Strain(4000), 100 * (4000 / 72000.0));
        QCOMPARE(op.prompts.size(), 1);
        QCOMPARE(op.last().kind, QStringLiteral("msgBox"));
        QCOMPARE(
            op.last().text,
            QStringLiteral("Negative descrimination in Stress2Strain. This is caused by a large  negative "
                           "strain correction term in the modulus (ModulusA). Strain corrections will "
                           "now be ignored."));
        QCOMPARE(op.last().style, WarningStyle);
        QCOMPARE(op.last().title, QString());
        QVERIFY(f.StrainCorrectionDisabled());

        // From now on every strain is linear, also where the correction would have worked, silently.
        QCOMPARE(f.Stress2Strain(4000), 100 * (4000 / 72000.0));
        QCOMPARE(f.Stress2Strain(1000), 100 * (1000 / 72000.0));
        QCOMPARE(op.prompts.size(), 1);

        // Strain to stress and load to strain do not consult the flag.
        QCOMPARE(f.Stress2Strain(f.Strain2Stress(1)), 0.94); // 72 GPa * (1 - 0.06) at 1 %
        double strain = 0, stress = 0;
        f.Load2StrainStress(f.Stress2Load(f.Strain2Stress(1)), strain, stress);
        QCOMPARE(strain, 1.0);

        // A new start of the module switches the correction back on.
        f.Initialise(false);
        QVERIFY(!f.StrainCorrectionDisabled());
    }

    void secondOrderTermIsRefusedOnce() {
        Parameters p;
        p.Modulus = 72;
        p.ModulusA = 0;
        ScriptedOperator op;
        Fiber f(p, op);
        f.setEb(5);
        QCOMPARE(f.SecantModulus(10), 72 * (1 + 5 * 0.01));
        op.answer(MsgResult::Ok);
        QCOMPARE(f.Stress2Strain(720), 1.0);
        QCOMPARE(op.prompts.size(), 1);
        QCOMPARE(op.last().text, QStringLiteral("Second order modulus correction not implemented in "
                                                "Stress2Strain. Correction is now disabled. Stress values "
                                                "are not reliable."));
        QCOMPARE(op.last().style, WarningStyle);
        QCOMPARE(f.Eb(), 0.0);
        QCOMPARE(f.SecantModulus(10), 72.0);
        f.Stress2Strain(720);
        QCOMPARE(op.prompts.size(), 1);
    }

    void coatingShareInBothDirections() {
        Parameters p;
        p.FiberDiameter = 125;
        p.Modulus = 72;
        p.ModulusA = 3;
        p.CoatingEA = 0;
        ScriptedOperator op;
        Fiber f(p, op);
        for (double load : {0.0, 2.5, 40.0}) {
            QCOMPARE(f.FiberLoad2Load(load), load);
            double strain = 0, stress = 0;
            QCOMPARE(f.Load2StrainStress(load, strain, stress) + 1, load + 1);
        }
        p.CoatingEA = 12;
        for (double stress : {100.0, 741.6, 4000.0}) {
            const double glass = f.Stress2Load(stress);
            const double total = f.FiberLoad2Load(glass);
            QCOMPARE(total, glass + f.Stress2Strain(stress) / 100 * 12);
            double strain = 0, back = 0;
            QCOMPARE(f.Load2StrainStress(total, strain, back), glass);
            QCOMPARE(back, stress);
            QCOMPARE(strain, f.Stress2Strain(stress));
        }
    }

    void loadBeyondAFallingModulusTakesTheLinearSolutionSilently() {
        Parameters p;
        p.FiberDiameter = 125;
        p.Modulus = 72;
        p.ModulusA = -6;
        p.CoatingEA = 3;
        ScriptedOperator op;
        Fiber f(p, op);
        const double eoa = f.FiberEA();
        const double load = eoa / 20; // beyond the peak of Ea*EoA*eps^2 + (EoA + CoatingEA)*eps
        double strain = 0, stress = 0;
        const double glass = f.Load2StrainStress(load, strain, stress);
        QCOMPARE(strain, 100 * load / (3 + eoa));
        QCOMPARE(stress, f.Strain2Stress(strain));
        QCOMPARE(glass, stress * 1e6 * f.FiberArea());
        QVERIFY(std::isfinite(glass));
        QVERIFY(op.prompts.isEmpty());
    }
};

STAVELY_TEST(FiberTest)
#include "FiberTest.moc"
