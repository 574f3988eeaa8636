#include "experiments/LifetimeInputs.h"
#include "results/BatchStatistics.h"
#include "tests/support/TestRegistry.h"

#include <QTest>
#include <cmath>
#include <random>

class LifetimeInputsTest : public QObject {
    Q_OBJECT
private slots:
    // The 90 % bounds of the dynamic n hold the true n in about nine batches out of ten: batches of four
    // stress rates, ten strengths each, drawn from the power law with n 20 and Weibull m 15.
    void dynamicBoundsCoverTheTrueN() {
        const double n = 20, m = 15;
        std::mt19937_64 random(2024);
        std::uniform_real_distribution<double> u(0, 1);
        const int batches = 300;
        int covered = 0, fitted = 0;
        for (int b = 0; b < batches; ++b) {
            QList<QStringList> rows;
            for (double rate : {0.06, 0.6, 6.0, 60.0})
                for (int i = 0; i < 10; ++i) {
                    QStringList r(17);
                    r[0] = QString::number(rows.size() + 1);
                    const double inert = 5000 * std::pow(-std::log1p(-u(random)), 1 / m);
                    r[3] = QString::number(inert * std::pow(rate / 60, 1 / (n + 1)), 'f', 3);
                    r[5] = QString::number(rate) + QStringLiteral(" MPa/s");
                    rows << r;
                }
            const BatchStatistics stats(rows);
            if (!stats.fatigue() || !stats.fatigue()->nError)
                continue;
            ++fitted;
            const auto [lo, hi] = LifetimeInputs::DynamicBounds(stats.fatigue()->n, *stats.fatigue()->nError,
                                                                int(stats.fatigue()->groups.size()) - 2);
            QVERIFY(lo < stats.fatigue()->n && stats.fatigue()->n < hi);
            covered += lo <= n && n <= hi ? 1 : 0;
        }
        QCOMPARE(fitted, batches);
        const double coverage = double(covered) / fitted;
        QVERIFY2(coverage > 0.84 && coverage < 0.96, qPrintable(QString::number(coverage)));
    }

    // What the model needs and cannot use is said, one reason each; a complete proof set has none.
    void problemsNameWhatIsMissing() {
        LifetimeInputs in;
        in.m.set(3, {});
        in.n.set(20, {});
        in.proofStress.set(690, {});
        in.serviceStress.set(138, {});
        in.serviceYears.set(25, {});
        in.FillDefaults();
        QCOMPARE(in.Problems(), QStringList{QStringLiteral("the proof breaks per km is missing")});
        in.breaksPerKm.set(0.1, {});
        QVERIFY(in.Problems().isEmpty());
        QCOMPARE(*in.proofTime.value, LifetimeInputs::DefaultProofTime);
        QCOMPARE(*in.lengthKm.value, LifetimeInputs::DefaultLengthKm);
        in.n.set(1.9, {});
        in.targetF.set(2, {});
        QCOMPARE(in.Problems(), (QStringList{QStringLiteral("n must be above 2"),
                                             QStringLiteral("F must lie between 0 and 1")}));
    }
};

STAVELY_TEST(LifetimeInputsTest)
#include "LifetimeInputsTest.moc"
