#include "experiments/LifetimeModel.h"
#include "tests/support/TestRegistry.h"

#include <QTest>
#include <cmath>
#include <functional>

namespace {
using L = long double;

// The proof model by the flaw population it stands for, in long double and absolute inert strengths
// (crack growth constant 1): the proof leaves no flaw weaker than Sp, Sp^(n-2) = σp^n tp; a flaw fails
// in service by ts when its inert strength was below Sc, Sc^(n-2) = Sp^(n-2) + σa^n ts; the flaws
// per km below S number N_p (S/Sp)^m.
L flawPopulationFailure(L m, L n, L sp, L tp, L np, L len, L sa, L ts) {
    const L spInert = powl(powl(sp, n) * tp, 1 / (n - 2));
    const L scInert = powl(powl(spInert, n - 2) + powl(sa, n) * ts, 1 / (n - 2));
    const L flaws = len * np * (powl(scInert / spInert, m) - 1);
    return 1 - expl(-flaws);
}

// Root of an increasing g over ln x by bisection, in long double.
L bisectLog(const std::function<L(L)>& g, L target, L lo, L hi) {
    L a = logl(lo), b = logl(hi);
    for (int i = 0; i < 400; ++i) {
        const L mid = (a + b) / 2;
        (g(expl(mid)) < target ? a : b) = mid;
    }
    return expl((a + b) / 2);
}

// ∫0^1 u^n du by Simpson's rule: the damage of a ramp in units of its end stress and duration.
L rampDamage(L n) {
    const int steps = 20000;
    const L h = L(1) / steps;
    L sum = 0;
    for (int i = 0; i <= steps; ++i) {
        const L w = i == 0 || i == steps ? 1 : (i % 2 ? 4 : 2);
        sum += w * powl(i * h, n);
    }
    return sum * h / 3;
}

bool near(double got, L want, double relative) {
    return std::isfinite(got) && std::abs(L(got) - want) <= relative * std::abs(want);
}
} // namespace

class LifetimeModelTest : public QObject {
    Q_OBJECT
private slots:
    // Every form of the proof model against the flaw-population route: the lifetime for a target F
    // found by bisection on that route, then each closed form checked against it at that point.
    void proofFormsAgainstFlawPopulation() {
        int points = 0;
        for (double n : {15.0, 20.0, 25.0, 30.0})
            for (double m : {1.0, 3.0, 8.0, 20.0})
                for (double ratio : {0.1, 0.25, 0.5})
                    for (double f : {1e-6, 1e-3, 0.5}) {
                        const double sp = 690, tp = 1, np = 0.1, len = 100, sa = ratio * sp;
                        auto forward = [&](L ts) {
                            return flawPopulationFailure(m, n, sp, tp, np, len, sa, ts);
                        };
                        const L ts = bisectLog(forward, f, 1e-30L, 1e300L);
                        const LifetimeModel::Proof p{m, n, sp, tp, np, len};
                        const QByteArray where = QStringLiteral("n %1 m %2 ratio %3 F %4")
                                                     .arg(n)
                                                     .arg(m)
                                                     .arg(ratio)
                                                     .arg(f)
                                                     .toUtf8();
                        QVERIFY2(near(*LifetimeModel::ProofFailure(p, sa, double(ts)), f, 1e-9), where);
                        QVERIFY2(near(*LifetimeModel::ProofLifetime(p, sa, f), ts, 1e-9), where);
                        QVERIFY2(near(*LifetimeModel::ProofAllowedStress(p, f, double(ts)), sa, 1e-9), where);
                        QVERIFY2(near(*LifetimeModel::ProofStressNeeded(p, sa, f, double(ts)), sp, 1e-9),
                                 where);
                        ++points;
                    }
        QCOMPARE(points, 144);
    }

    // The tensile-batch form: the equivalent strength from a numerically integrated ramp damage, then
    // failure, lifetime and allowed stress against it.
    void batchFormsAgainstIntegratedRamp() {
        for (double n : {15.0, 22.0, 30.0}) {
            const L ramp = rampDamage(n); // ∫ (σ̇ t / S)^n dt over the ramp = S / σ̇ · ramp
            for (double m : {1.0, 5.0, 20.0})
                for (double f : {1e-6, 1e-3, 0.5}) {
                    const LifetimeModel::Batch b{m, n, 5093, 0.5, 60, 2};
                    const double sa = 900;
                    // S whose ramp does the damage of σa held for ts: S^(n+1) ramp / σ̇ = σa^n ts.
                    const L s =
                        b.sigma0 * powl(-log1pl(-L(f)) * b.gaugeLengthM / (b.lengthKm * 1000), 1 / L(m));
                    const L ts = powl(s, n + 1) * ramp / b.stressRate / powl(sa, n);
                    const QByteArray where = QStringLiteral("n %1 m %2 F %3").arg(n).arg(m).arg(f).toUtf8();
                    QVERIFY2(
                        near(*LifetimeModel::EquivalentStrength(n, b.stressRate, sa, double(ts)), s, 1e-9),
                        where);
                    QVERIFY2(near(*LifetimeModel::BatchFailure(b, sa, double(ts)), f, 1e-8), where);
                    QVERIFY2(near(*LifetimeModel::BatchLifetime(b, sa, f), ts, 1e-8), where);
                    QVERIFY2(near(*LifetimeModel::BatchAllowedStress(b, f, double(ts)), sa, 1e-9), where);
                }
        }
    }

    // A proof at 0.69 GPa for 1 s, n 20, m 3, one proof break per 10 km, 1 km of fiber at a fifth of the
    // proof stress for 25 years (figures from 40-digit arithmetic); and a batch like the simulator's
    // default fiber.
    void workedExamples() {
        const double years25 = 25 * LifetimeModel::SecondsPerYear;
        const LifetimeModel::Proof p{3, 20, 690, 1, 0.1, 1};
        QVERIFY(near(*LifetimeModel::ProofFailure(p, 138, years25), 1.378767734839409e-7L, 1e-12));
        QVERIFY(near(*LifetimeModel::ProofLifetime(p, 138, 1e-5) / LifetimeModel::SecondsPerYear,
                     1813.669361861996L, 1e-12));
        QVERIFY(near(*LifetimeModel::ProofAllowedStress(p, 1e-5, years25), 170.9660948490742L, 1e-12));
        QVERIFY(near(*LifetimeModel::ProofStressNeeded(p, 138, 1e-5, years25), 556.9525354372660L, 1e-12));

        const LifetimeModel::Batch b{20, 20, 5093, 0.5, 60, 1};
        QVERIFY(near(*LifetimeModel::EquivalentStrength(20, 60, 1000, years25), 2681.935386188276L, 1e-12));
        QVERIFY(near(*LifetimeModel::BatchFailure(b, 1000, years25), 0.005362356107616824L, 1e-11));
        QVERIFY(near(*LifetimeModel::BatchLifetime(b, 1000, 1e-5) / LifetimeModel::SecondsPerYear,
                     0.03395419762790085L, 1e-11));
        QVERIFY(near(*LifetimeModel::BatchAllowedStress(b, 1e-5, years25), 718.8655527127035L, 1e-12));
    }

    // Inputs the model cannot take give no answer, never a number.
    void impossibleInputsGiveNoAnswer() {
        const LifetimeModel::Proof good{3, 20, 690, 1, 0.1, 1};
        struct Case {
            const char* name;
            LifetimeModel::Proof p;
            double f;
        };
        const QList<Case> cases{
            {"n 2", {3, 2, 690, 1, 0.1, 1}, 1e-5},
            {"n below 2", {3, 1.5, 690, 1, 0.1, 1}, 1e-5},
            {"m 0", {0, 20, 690, 1, 0.1, 1}, 1e-5},
            {"negative proof time", {3, 20, 690, -1, 0.1, 1}, 1e-5},
            {"no breaks", {3, 20, 690, 1, 0, 1}, 1e-5},
            {"F 0", good, 0},
            {"F 1", good, 1},
            {"F nan", good, std::nan("")},
        };
        for (const Case& c : cases) {
            QVERIFY2(!LifetimeModel::ProofLifetime(c.p, 138, c.f), c.name);
            QVERIFY2(!LifetimeModel::ProofAllowedStress(c.p, c.f, 1e8), c.name);
        }
        QVERIFY(!LifetimeModel::ProofFailure(good, 138, -1));
        QCOMPARE(*LifetimeModel::ProofFailure(good, 138, 0), 0.0);
        QVERIFY(!LifetimeModel::Check(LifetimeModel::Proof{3, 2, 690, 1, 0.1, 1}).isEmpty());
        QVERIFY(LifetimeModel::Check(good).isEmpty());
    }

    // The span over the bounds holds the answers at every bound pair; a span of decades says so, and
    // an n bound at or below 2 is told, not hidden.
    void spreadCoversTheBounds() {
        const LifetimeModel::Proof p{3, 20, 690, 1, 0.1, 1};
        auto life = [&p](double m, double n) {
            LifetimeModel::Proof q = p;
            q.m = m;
            q.n = n;
            return LifetimeModel::ProofLifetime(q, 138, 1e-5);
        };
        const LifetimeModel::Range r = LifetimeModel::Spread(3, 20, {16, 25, 2, 4}, life);
        QVERIFY(r.value && r.low && r.high);
        for (double m : {2.0, 2.5, 3.0, 4.0})
            for (double n : {16.0, 18.0, 20.0, 25.0}) {
                QVERIFY(*life(m, n) >= *r.low * (1 - 1e-12));
                QVERIFY(*life(m, n) <= *r.high * (1 + 1e-12));
            }
        QVERIFY(r.decades() > 2);
        QVERIFY(LifetimeModel::SpreadNote(r).contains(QStringLiteral("orders of magnitude")));
        QVERIFY(!r.partial);

        const LifetimeModel::Range narrow = LifetimeModel::Spread(3, 20, {19.9, 20.1, 2.9, 3.1}, life);
        QVERIFY(LifetimeModel::SpreadNote(narrow).isEmpty());

        const LifetimeModel::Range open = LifetimeModel::Spread(3, 20, {1.5, 25, {}, {}}, life);
        QVERIFY(open.partial && open.value);
        QVERIFY(LifetimeModel::SpreadNote(open).contains(QStringLiteral("n at or below 2")));
    }
};

STAVELY_TEST(LifetimeModelTest)
#include "LifetimeModelTest.moc"
