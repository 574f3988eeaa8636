#include "results/BatchStatistics.h"
#include "results/WeibullEstimate.h"
#include "tests/support/TestRegistry.h"

#include <QTest>
#include <algorithm>
#include <cmath>
#include <random>

namespace {
struct Simulated {
    double shape05, shape95, scale05, scale95;
};

// The pivots' 5 % and 95 % points from a fresh simulation, with another generator and other seeds
// than the table was made with.
Simulated SimulatePivots(int n, int replicates) {
    std::mt19937 random(unsigned(977 * n + 13));
    std::uniform_real_distribution<double> uniform(0, 1);
    std::vector<double> shapes, scales;
    QList<double> stresses(n);
    while (int(shapes.size()) < replicates) {
        for (double& s : stresses)
            s = -std::log(1 - uniform(random)); // m 1, sigma0 1
        const auto ml = Weibull::MaximumLikelihood(stresses);
        if (!ml)
            continue;
        shapes.push_back(ml->estimate.m);
        scales.push_back(ml->estimate.m * std::log(ml->estimate.sigma0));
    }
    auto quantile = [](std::vector<double>& v, double p) {
        const auto k = std::size_t(p * double(v.size() - 1));
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
        return v[k];
    };
    return {quantile(shapes, 0.05), quantile(shapes, 0.95), quantile(scales, 0.05), quantile(scales, 0.95)};
}
} // namespace

class WeibullBoundsTest : public QObject {
    Q_OBJECT
private slots:
    // The 90 % bounds against the exact pivotal quantiles: closed form for two values (m^ |ln s1 -
    // ln s2| is a constant c, and the difference of two log-exponentials is logistic, so
    // P(m^/m <= q) = 1 - tanh(c / 2q)), a large independent simulation for batches inside and beyond
    // the table, and the normal limit with its O(1/n) shift for 100,000 values.
    void boundsAreTheExactPivotalBounds_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("replicates"); // 0: the closed form or the limit
        QTest::newRow("2, closed form") << 2 << 0;
        QTest::newRow("6") << 6 << 700000;
        QTest::newRow("20") << 20 << 250000;
        QTest::newRow("75") << 75 << 60000;
        QTest::newRow("240, beyond the table") << 240 << 20000;
        QTest::newRow("100000, normal limit") << 100000 << 0;
    }
    void boundsAreTheExactPivotalBounds() {
        QFETCH(int, n);
        QFETCH(int, replicates);
        Simulated exact{};
        double tolerance = 0.003; // relative, on the shape's points
        if (n == 2) {
            const double c = 2.399357280515467; // (c/2) tanh(c/2) = 1
            exact = {c / (2 * std::atanh(0.95)), c / (2 * std::atanh(0.05)), 0, 0};
            tolerance = 1e-6;
        } else if (replicates == 0) {
            const double sd = std::sqrt(6.0 / n) / M_PI, z = 1.6448536269514722;
            const double shift = 1.35 / n; // the O(1/n) terms: 1e-5 here
            exact = {std::exp(-z * sd + shift), std::exp(z * sd + shift), 0, 0};
            tolerance = 0.0003;
        } else {
            exact = SimulatePivots(n, replicates);
        }
        const WeibullPivots table = Weibull::Pivots(n);
        for (const auto& [got, want] :
             {std::pair{table.shape05, exact.shape05}, {table.shape95, exact.shape95}})
            QVERIFY2(std::abs(got / want - 1) < tolerance,
                     qPrintable(QStringLiteral("%1 against %2").arg(got, 0, 'g', 8).arg(want, 0, 'g', 8)));
        if (replicates > 0) // the scale's points set sigma0's bounds through exp(-q / m)
            for (const auto& [got, want] :
                 {std::pair{table.scale05, exact.scale05}, {table.scale95, exact.scale95}})
                QVERIFY2(std::abs(got - want) < 0.003 * std::abs(want) + 0.002,
                         qPrintable(QStringLiteral("%1 against %2").arg(got).arg(want)));

        // The bounds a batch gets are the estimate over those points.
        std::mt19937_64 random(5);
        QList<double> s;
        for (int i = 0; i < std::min(n, 300); ++i)
            s.append(4000 *
                     std::pow(-std::log(1 - std::uniform_real_distribution<double>(0, 1)(random)), 0.1));
        if (n <= 300) {
            const auto ml = Weibull::MaximumLikelihood(s);
            QVERIFY(ml);
            QCOMPARE(ml->mLow, ml->estimate.m / table.shape95);
            QCOMPARE(ml->mHigh, ml->estimate.m / table.shape05);
        }
    }

    // No jump anywhere from 2 to 100,000 values: past the skewed smallest batches the lower point
    // rises and the upper one falls with n, each step smaller than the one before.
    void boundsChangeSmoothlyWithTheBatchSize() {
        double step05 = 1, step95 = 1;
        WeibullPivots previous = Weibull::Pivots(3);
        for (int n = 4; n <= 100000; n += n < 2000 ? 1 : 97) {
            const WeibullPivots p = Weibull::Pivots(n);
            const double d05 = std::log(p.shape05 / previous.shape05),
                         d95 = std::log(previous.shape95 / p.shape95);
            QVERIFY2(d05 > 0 && d95 > 0, qPrintable(QString::number(n)));
            if (n < 2000) {
                QVERIFY2(d05 < step05 * 1.02 && d95 < step95 * 1.02, qPrintable(QString::number(n)));
                step05 = d05;
                step95 = d95;
            }
            QVERIFY2(p.scale05 > previous.scale05 && p.scale95 < previous.scale95 && p.scale05 < 0 &&
                         p.scale95 > 0,
                     qPrintable(QString::number(n)));
            previous = p;
        }
    }

    // The unbiased modulus has the true one as its mean; two values have none (their ML modulus has
    // no finite mean).
    void unbiasedModulusIsUnbiased_data() {
        QTest::addColumn<int>("n");
        QTest::newRow("5") << 5;
        QTest::newRow("10") << 10;
        QTest::newRow("30") << 30;
        QTest::newRow("150") << 150;
    }
    void unbiasedModulusIsUnbiased() {
        QFETCH(int, n);
        std::mt19937_64 random(31 + n);
        std::uniform_real_distribution<double> uniform(0, 1);
        const int batches = 400000 / n;
        double sum = 0, sumMl = 0;
        QList<double> s(n);
        for (int b = 0; b < batches; ++b) {
            for (double& v : s)
                v = 5000 * std::pow(-std::log(1 - uniform(random)), 1 / 12.0);
            const auto ml = Weibull::MaximumLikelihood(s);
            QVERIFY(ml && ml->mUnbiased);
            sum += *ml->mUnbiased / batches;
            sumMl += ml->estimate.m / batches;
        }
        // Standard error of the mean: about 0.8 / sqrt(n batches) of m.
        const double tolerance = 4 * 0.8 * 12 / std::sqrt(double(n) * batches);
        QVERIFY2(std::abs(sum - 12) < tolerance, qPrintable(QString::number(sum)));
        QVERIFY(sumMl - 12 > 0.6 * 12 / n); // what it corrects
        QVERIFY(!Weibull::MaximumLikelihood({4000, 4100})->mUnbiased);
        QVERIFY(!Weibull::UnbiasingFactor(2));
    }
};

STAVELY_TEST(WeibullBoundsTest)
#include "WeibullBoundsTest.moc"
