#include "results/BatchStatistics.h"
#include "results/DataFileRows.h"
#include "results/FatigueFit.h"
#include "results/WeibullEstimate.h"
#include "tests/support/TestRegistry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <random>
#include <tuple>

namespace {
// A seeded Weibull batch by inversion.
QList<double> weibullBatch(std::mt19937_64& random, int n, double m, double sigma0) {
    std::uniform_real_distribution<double> uniform(1e-12, 1.0);
    QList<double> s;
    for (int i = 0; i < n; ++i)
        s.append(sigma0 * std::pow(-std::log(uniform(random)), 1 / m));
    return s;
}

QStringList
row(const QString& stress, const QString& rate, const QString& comment = {},
    const QString& strain = QStringLiteral("5.2"),
    const QString& parameters = QStringLiteral("125 500 0 72 3 0.5N/100 08/12/23 14:15:02 1.2mm/1.00")) {
    QStringList f(17);
    f[0] = QStringLiteral("1");
    f[3] = stress;
    f[4] = strain;
    f[5] = rate;
    f[15] = comment;
    f[16] = parameters;
    return f;
}

QString number(double v) {
    return BatchStatistics::Number(v);
}
} // namespace

class StatisticsTest : public QObject {
    Q_OBJECT
private slots:
    // The whole batch's column says when it pools different rates, in the copy and the headless
    // output alike; static holds are no rate of it.
    void allColumnIsFlaggedWherePooled() {
        const QList<std::tuple<QStringList, QString, QString>> cases{
            {{"600 MPa/s", "600 MPa/s", "600 MPa/s"}, QStringLiteral("All"), QStringLiteral("0")},
            {{"600 MPa/s", "600 MPa/s", "3000 MPa"}, QStringLiteral("All"), QStringLiteral("0")},
            {{"600 MPa/s", "60 MPa/s", "50 %/min"}, QStringLiteral("All (pooled)"), QStringLiteral("1")},
        };
        for (const auto& [rates, title, pooled] : cases) {
            QList<QStringList> rows;
            for (const QString& rate : rates)
                rows << row(QStringLiteral("5120"), rate);
            const BatchStatistics stats(rows);
            QCOMPARE(stats.AllTitle(), title);
            QVERIFY(stats.SummaryText().startsWith(QLatin1Char('\t') + title + QLatin1Char('\t')) ||
                    stats.SummaryText().startsWith(QLatin1Char('\t') + title + QStringLiteral("\r\n")));
            QVERIFY(
                stats.KeyValueText().contains(QStringLiteral("\nall_pooled\t") + pooled + QLatin1Char('\n')));
            QCOMPARE(stats.PooledText().isEmpty(), pooled == QStringLiteral("0"));
        }
    }

    // Ball bearing endurance data (23 values) of the lifetime-data literature: ML shape 2.102,
    // scale 81.88.
    void maximumLikelihoodMatchesThePublishedWorkedExample() {
        const QList<double> data{17.88, 28.92, 33.00,  41.52,  42.12,  45.60,  48.48, 51.84,
                                 51.96, 54.12, 55.56,  67.80,  68.64,  68.64,  68.88, 84.12,
                                 93.12, 98.64, 105.12, 105.84, 127.92, 128.04, 173.40};
        const auto ml = Weibull::MaximumLikelihood(data);
        QVERIFY(ml);
        QVERIFY(std::abs(ml->estimate.m - 2.102) < 0.0005);
        QVERIFY(std::abs(ml->estimate.sigma0 - 81.88) < 0.005);
        // Bounds lie around the estimate and widen below, as the shape's estimator is skewed.
        QVERIFY(ml->mLow < ml->estimate.m && ml->estimate.m < ml->mHigh);
        QVERIFY(ml->estimate.m - ml->mLow > 0.4 && ml->mHigh - ml->estimate.m > 0.4);
        QVERIFY(ml->sigma0Low < 81.88 && 81.88 < ml->sigma0High);
        // The scale does not depend on the unit: the same data in other units scale sigma0 alone.
        QList<double> scaled;
        for (double v : data)
            scaled.append(v * 1000);
        const auto ml2 = Weibull::MaximumLikelihood(scaled);
        QVERIFY(std::abs(ml2->estimate.m - ml->estimate.m) < 1e-9);
        QVERIFY(std::abs(ml2->estimate.sigma0 / 1000 - ml->estimate.sigma0) < 1e-9);
        QVERIFY(std::abs(ml2->mLow - ml->mLow) < 1e-9);
    }

    void estimatorsRecoverKnownParametersOfSeededBatches_data() {
        QTest::addColumn<double>("m");
        QTest::addColumn<double>("sigma0");
        QTest::addColumn<int>("n");
        QTest::newRow("m 5, 3 GPa, 3000") << 5.0 << 3000.0 << 3000;
        QTest::newRow("m 20, 5.5 GPa, 3000") << 20.0 << 5500.0 << 3000;
        QTest::newRow("m 80, 6 GPa, 50 (exact bounds)") << 80.0 << 6000.0 << 50;
    }
    void estimatorsRecoverKnownParametersOfSeededBatches() {
        QFETCH(double, m);
        QFETCH(double, sigma0);
        QFETCH(int, n);
        std::mt19937_64 random(42);
        const QList<double> s = weibullBatch(random, n, m, sigma0);
        const auto ml = Weibull::MaximumLikelihood(s);
        const auto reg = Weibull::Regression(s);
        QVERIFY(ml && reg);
        QVERIFY2(ml->mLow < m && m < ml->mHigh, qPrintable(number(ml->mLow) + " " + number(ml->mHigh)));
        QVERIFY(ml->sigma0Low < sigma0 && sigma0 < ml->sigma0High);
        const double tolerance = 4 * std::sqrt(0.61 / n);
        QVERIFY(std::abs(ml->estimate.m / m - 1) < tolerance);
        QVERIFY(std::abs(reg->m / m - 1) < 2 * tolerance);
        QVERIFY(std::abs(ml->estimate.sigma0 / sigma0 - 1) < 4 * 1.06 / m / std::sqrt(n));
        QVERIFY(std::abs(reg->sigma0 / sigma0 - 1) < 8 * 1.06 / m / std::sqrt(n));
    }

    // The 90 % bounds must cover the true values in about 90 % of batches, and miss about equally
    // often on either side, for small batches too (where a normal approximation would not).
    void confidenceBoundsCoverTheTruthNinetyPercentOfTheTime_data() {
        QTest::addColumn<int>("n");
        QTest::newRow("6 specimens") << 6;
        QTest::newRow("15 specimens") << 15;
        QTest::newRow("200 specimens (normal approximation)") << 200;
    }
    void confidenceBoundsCoverTheTruthNinetyPercentOfTheTime() {
        QFETCH(int, n);
        std::mt19937_64 random(7 + n);
        const int batches = 600;
        int mBelow = 0, mAbove = 0, sBelow = 0, sAbove = 0;
        for (int b = 0; b < batches; ++b) {
            const auto ml = Weibull::MaximumLikelihood(weibullBatch(random, n, 8, 4000));
            QVERIFY(ml);
            mBelow += ml->mHigh < 8;
            mAbove += ml->mLow > 8;
            sBelow += ml->sigma0High < 4000;
            sAbove += ml->sigma0Low > 4000;
        }
        // 30 expected misses on each side (binomial sd 5.3).
        for (int misses : {mBelow, mAbove, sBelow, sAbove})
            QVERIFY2(misses >= 14 && misses <= 46, qPrintable(QString::number(misses)));
    }

    void regressionOnExactMedianRankQuantilesIsExact() {
        const int n = 12;
        QList<double> s;
        for (int i = n; i >= 1; --i) // any order
            s.append(5000 * std::pow(-std::log(1 - (i - 0.3) / (n + 0.4)), 1 / 9.5));
        const auto reg = Weibull::Regression(s);
        QVERIFY(reg);
        QVERIFY(std::abs(reg->m - 9.5) < 1e-9);
        QVERIFY(std::abs(reg->sigma0 - 5000) < 1e-7);
        const QList<WeibullPlotPoint> points = Weibull::PlotPoints(s);
        QCOMPARE(points.size(), n);
        QVERIFY(points.front().x < points.back().x);
        QVERIFY(std::abs(points.front().y - std::log(-std::log(1 - 0.7 / 12.4))) < 1e-12);
    }

    void batchesWithoutSpreadOrWithBadValuesGiveNoEstimate() {
        for (const QList<double>& s :
             QList<QList<double>>{{}, {5000}, {4000, 4000, 4000}, {4000, 0}, {4000, -3}}) {
            QVERIFY(!Weibull::MaximumLikelihood(s));
            QVERIFY(!Weibull::Regression(s));
        }
        QVERIFY(Weibull::MaximumLikelihood({4000, 4001}));
    }

    // Median stress rising as rate^(1/(n+1)): n comes back, from stress rates and from strain rates
    // converted with the modulus, alone or mixed.
    void fatigueFitRecoversNFromGroupsOfKnownN_data() {
        QTest::addColumn<QStringList>("rates");
        QTest::newRow("stress rates") << QStringList{"0.5 MPa/s", "5 MPa/s", "50 MPa/s", "500 MPa/s"};
        QTest::newRow("strain rates") << QStringList{"0.1 %/min", "1 %/min", "10 %/min"};
        QTest::newRow("mixed") << QStringList{"2 MPa/s", "1 %/min", "200 MPa/s"};
    }
    void fatigueFitRecoversNFromGroupsOfKnownN() {
        QFETCH(QStringList, rates);
        const double n = 20, eo = 72; // GPa, with Ea 0 the secant modulus is Eo
        QList<QStringList> rows;
        for (const QString& rate : rates) {
            const double value = rate.section(' ', 0, 0).toDouble();
            const double stressRate = rate.endsWith("%/min") ? eo * 1000 * value / 100 / 60 : value;
            const double median = 3000 * std::pow(stressRate, 1 / (n + 1));
            // Three specimens around the median, so the median is exactly that.
            for (double f : {0.97, 1.0, 1.02})
                rows.append(row(number(median * f), rate, {}, number(100 * median * f / (eo * 1000)),
                                QStringLiteral("125 500 0 72 0 0N/0")));
        }
        const BatchStatistics stats(rows);
        QVERIFY(stats.fatigue());
        QVERIFY2(std::abs(stats.fatigue()->n - n) < 1e-6, qPrintable(number(stats.fatigue()->n)));
        QCOMPARE(stats.fatigue()->groups.size(), rates.size());
        QVERIFY(stats.fatigue()->nError && *stats.fatigue()->nError < 1e-3);
    }

    // The standard error of n must describe the real scatter of n between repeated experiments,
    // with three groups (from the fit) and with two (from the scatter of the medians of Weibull
    // strengths inside the groups), for rows as a data file gives them.
    void fatigueStandardErrorMatchesTheScatterOfRepeatedExperiments_data() {
        QTest::addColumn<QList<double>>("rates");
        QTest::addColumn<int>("experiments");
        QTest::addColumn<double>("tolerance");
        QTest::newRow("two groups") << QList<double>{1, 100} << 3000 << 0.06;
        QTest::newRow("four groups") << QList<double>{0.1, 1, 10, 100} << 300 << 0.4;
    }
    void fatigueStandardErrorMatchesTheScatterOfRepeatedExperiments() {
        QFETCH(QList<double>, rates);
        QFETCH(int, experiments);
        QFETCH(double, tolerance);
        std::mt19937_64 random(99);
        const double n = 20;
        QList<double> estimates;
        double meanError = 0;
        for (int e = 0; e < experiments; ++e) {
            QList<QStringList> rows;
            for (double rate : rates)
                for (double s : weibullBatch(random, 20, 25, 4000 * std::pow(rate, 1 / (n + 1))))
                    rows.append(row(number(s), number(rate) + QStringLiteral(" MPa/s")));
            const BatchStatistics stats(rows);
            QVERIFY(stats.fatigue() && stats.fatigue()->nError);
            estimates.append(stats.fatigue()->n);
            meanError += *stats.fatigue()->nError / experiments;
        }
        std::sort(estimates.begin(), estimates.end());
        double mean = 0, squares = 0;
        for (double v : estimates)
            mean += v / experiments;
        for (double v : estimates)
            squares += (v - mean) * (v - mean);
        const double spread = std::sqrt(squares / (experiments - 1));
        QVERIFY2(std::abs(meanError / spread - 1) < tolerance,
                 qPrintable(number(meanError) + " vs " + number(spread)));
        QVERIFY(std::abs(estimates[experiments / 2] - n) < 0.3 * spread + 0.5);
    }

    // Rows no glass fiber can give are left out of every figure and counted on their own; nothing
    // that is printed overflows.
    void physicallyImpossibleRowsAreLeftOutAndCounted() {
        QList<QStringList> rows;
        std::mt19937_64 random(3);
        for (double s : weibullBatch(random, 10, 8, 5000))
            rows << row(number(s), QStringLiteral("60 MPa/s"));
        const BatchStatistics good(rows);
        struct Bad {
            QString stress, rate, strain;
        };
        const QList<Bad> bad{
            {"1e308", "60 MPa/s", "5.2"}, {"5e-324", "60 MPa/s", "5.2"},   {"0.5", "60 MPa/s", "5.2"},
            {"30001", "60 MPa/s", "5.2"}, {"5000", "60 MPa/s", "45"},      {"5000", "60 MPa/s", "-1"},
            {"5000", "60 MPa/s", "0"},    {"5000", "1e308 MPa/s", "5.2"},  {"5000", "-6 MPa/s", "5.2"},
            {"5000", "0 %/min", "5.2"},   {"5000", "2e6 \u00b5m/s", "5.2"}};
        for (const Bad& b : bad)
            rows << row(b.stress, b.rate, {}, b.strain);
        // At the limits, and a strain that is not given: kept.
        rows << row("1", "60 MPa/s") << row("30000", "60 MPa/s") << row("5000", "60 MPa/s", {}, "30")
             << row("5000", "60 MPa/s", {}, "") << row("5000", "1e-9 MPa/s");
        const BatchStatistics stats(rows);
        QCOMPARE(stats.all().impossible, bad.size());
        QCOMPARE(stats.all().specimens(), 15);
        QCOMPARE(stats.groups().size(), 2); // the impossible rates make no group
        QCOMPARE(stats.groups()[1].impossible, 7);
        QVERIFY(stats.fatigue()); // from 60 MPa/s and 1e-9 MPa/s, not from 1e308 MPa/s

        // Without the limit rows the figures are those of the good rows.
        const BatchStatistics withoutLimits(rows.mid(0, 10 + bad.size()));
        QCOMPARE(withoutLimits.all().maximumLikelihood->estimate.m, good.all().maximumLikelihood->estimate.m);
        QCOMPARE(*withoutLimits.all().sd, *good.all().sd);
        const QString text = withoutLimits.KeyValueText();
        QVERIFY(text.contains(QStringLiteral("\nimpossible\t11\n")));
        QVERIFY(text.contains(QStringLiteral("\n60_MPa/s:impossible\t7\n")));
        QVERIFY(!withoutLimits.SummaryText().contains(QStringLiteral("inf")) &&
                !text.contains(QStringLiteral("inf")) && !text.contains(QStringLiteral("nan")));
        QVERIFY(withoutLimits.SummaryText().contains(
            QStringLiteral("\r\nLeft out (physically impossible)\t11\t7\r\n")));
    }

    void rowsAreGroupedByRateWithIgnoredAndBadStressesLeftOut() {
        const QList<QStringList> rows{
            row("5000", "60 MPa/s"),
            row("5100", "6 MPa/s"),
            row("4900", "60 MPa/s", "Ignore: broke in the grip"),
            row("5200", "60 MPa/s", "  ignore"),
            row("5300", "60 MPa/s", "not to ignore"),
            row("abc", "6 MPa/s"),
            row("0", "6 MPa/s"),
            row("-12", "60 MPa/s"),
            row("nan", "6 MPa/s"),
            row("", "6 MPa/s"),
            row("4800", "6 MPa/s"),
            row("5250", "100 \u00b5m/s"),
        };
        const BatchStatistics stats(rows);
        QCOMPARE(stats.all().specimens(), 5);
        QCOMPARE(stats.all().skipped, 5);
        QCOMPARE(stats.all().ignored, 2);
        QCOMPARE(stats.groups().size(), 3);
        // By unit, then by value: 6 before 60 MPa/s.
        QCOMPARE(stats.groups()[0].rate, QStringLiteral("6 MPa/s"));
        QCOMPARE(stats.groups()[1].rate, QStringLiteral("60 MPa/s"));
        QCOMPARE(stats.groups()[1].stresses, (QList<double>{5000, 5300}));
        QCOMPARE(stats.groups()[0].skipped, 4);
        QCOMPARE(stats.groups()[2].specimens(), 1);
        QVERIFY(!stats.groups()[2].maximumLikelihood && !stats.groups()[2].sd);
        QCOMPARE(*stats.all().median, 5100.0);
        QCOMPARE(*stats.groups()[0].median, 4950.0);
        QVERIFY(std::abs(*stats.groups()[1].sd - std::sqrt(45000.0)) < 1e-9);
        // Two stress-rate groups: a fatigue fit; the speed group stays out of it.
        QVERIFY(stats.fatigue());
        QCOMPARE(stats.fatigue()->groups.size(), 2);

        const QString text = stats.KeyValueText();
        QVERIFY(text.contains("\n6_MPa/s:weibull_m\t"));
        QVERIFY(!text.contains("100_\u00b5m/s:weibull_m"));
        QVERIFY(text.contains("100_\u00b5m/s:specimens\t1\n100_\u00b5m/s:skipped\t0\n100_\u00b5m/"
                              "s:ignored\t0\n100_\u00b5m/s:impossible\t0\n"
                              "100_\u00b5m/s:mean_MPa\t5250\n100_\u00b5m/s:median_MPa\t5250\n"
                              "100_\u00b5m/s:min_MPa\t5250\n100_\u00b5m/s:max_MPa\t5250\n"));
        const QString summary = stats.SummaryText();
        QVERIFY(summary.startsWith("\tAll (pooled)\t6 MPa/s\t60 MPa/s\t100 \u00b5m/s\r\n"));
        QVERIFY(summary.contains("\r\nSpecimens\t5\t2\t2\t1\r\n"));
        QVERIFY(summary.contains("\tnot enough data\r\n"));
    }

    // What scripts read: numbers as short as their 15 significant digits allow, one word per key,
    // the largest group first in the Weibull plot and a fatigue n from small groups flagged.
    void scriptFiguresAreShortAndKeysOneWord() {
        const QList<QPair<double, QString>> numbers{
            {(4725.1 + 4725.2 + 4725.12) / 3, QStringLiteral("4725.14")},
            {4849.528571428571, QStringLiteral("4849.52857142857")},
            {5000, QStringLiteral("5000")},
            {0.1 + 0.2, QStringLiteral("0.3")},
            {-4.25, QStringLiteral("-4.25")},
            {1e-7, QStringLiteral("1e-07")},
            {123456789012345678.0, QStringLiteral("123456789012346000")}};
        for (const auto& [value, text] : numbers)
            QCOMPARE(BatchStatistics::ShortNumber(value), text);
        QVERIFY((4725.1 + 4725.2 + 4725.12) / 3 != 4725.14); // the case the 15 digits are for
        QCOMPARE(BatchStatistics::GroupKey(QStringLiteral("60 MPa/s")), QStringLiteral("60_MPa/s"));
        QCOMPARE(BatchStatistics::GroupKey(QStringLiteral(" 0.5  %/min ")), QStringLiteral("0.5_%/min"));

        // Two breaks at 6 MPa/s, three at 60, one at 600: n from three groups, two of them small.
        QList<QStringList> rows;
        for (const char* s : {"4500", "4600"})
            rows << row(QLatin1String(s), QStringLiteral("6 MPa/s"));
        for (const char* s : {"5000", "5100", "4900"})
            rows << row(QLatin1String(s), QStringLiteral("60 MPa/s"));
        rows << row(QStringLiteral("5500"), QStringLiteral("600 MPa/s"));
        BatchStatistics stats(rows);
        QVERIFY(stats.fatigue());
        QCOMPARE(stats.groups()[stats.LargestGroup()].rate, QStringLiteral("60 MPa/s"));
        QCOMPARE(stats.FatigueSmallGroups(), 2);
        QVERIFY(stats.FatigueText().endsWith(
            QStringLiteral("uncertain: 2 of the groups have fewer than 3 specimens")));
        const QString text = stats.KeyValueText();
        QVERIFY(text.contains(QStringLiteral("\nfatigue_groups\t3\nfatigue_small_groups\t2\n")));
        QVERIFY(text.contains(QStringLiteral("\n60_MPa/s:min_MPa\t4900\n60_MPa/s:max_MPa\t5100\n")));
        QVERIFY(!text.contains(QStringLiteral(" MPa/s:")));
        // With three in every group nothing is flagged.
        rows << row(QStringLiteral("4550"), QStringLiteral("6 MPa/s"))
             << row(QStringLiteral("5450"), QStringLiteral("600 MPa/s"))
             << row(QStringLiteral("5520"), QStringLiteral("600 MPa/s"));
        QCOMPARE(BatchStatistics(rows).FatigueSmallGroups(), 0);
        QVERIFY(!BatchStatistics(rows).FatigueText().contains(QStringLiteral("uncertain")));
        QCOMPARE(BatchStatistics(QList<QStringList>{}).LargestGroup(), -1);
    }

    // n means something only from three or more groups whose rates span a decade: otherwise the
    // line says it is not determined (and the script key says 0); small groups read in the singular.
    void fatigueNIsNotDeterminedFromCloseRatesOrTwoGroups_data() {
        QTest::addColumn<QStringList>("rates");
        QTest::addColumn<QString>("caution"); // "" when n is determined
        QTest::newRow("two groups two decades apart")
            << QStringList{QStringLiteral("0.6 MPa/s"), QStringLiteral("60 MPa/s")}
            << QStringLiteral(" \u2014 n is not determined: only two rate groups");
        QTest::newRow("three groups within a decade")
            << QStringList{QStringLiteral("20 MPa/s"), QStringLiteral("40 MPa/s"), QStringLiteral("60 MPa/s")}
            << QStringLiteral(" \u2014 n is not determined: the rates are less than a decade apart");
        QTest::newRow("two close groups")
            << QStringList{QStringLiteral("50 MPa/s"), QStringLiteral("60 MPa/s")}
            << QStringLiteral(" \u2014 n is not determined: the rates are less than a decade apart");
        QTest::newRow("three groups over two decades")
            << QStringList{QStringLiteral("0.6 MPa/s"), QStringLiteral("6 MPa/s"), QStringLiteral("60 MPa/s")}
            << QString();
    }
    void fatigueNIsNotDeterminedFromCloseRatesOrTwoGroups() {
        QFETCH(QStringList, rates);
        QFETCH(QString, caution);
        QList<QStringList> rows;
        for (qsizetype g = 0; g < rates.size(); ++g)
            for (int k = 0; k < 3; ++k)
                rows << row(QString::number(4500 + 200 * g + 37 * k), rates[g]);
        const BatchStatistics stats(rows);
        QVERIFY(stats.fatigue());
        QCOMPARE(stats.FatigueCaution(), caution);
        QVERIFY(stats.FatigueText().contains(caution));
        QVERIFY(stats.KeyValueText().contains(
            QStringLiteral("\nfatigue_determined\t%1\n").arg(caution.isEmpty() ? 1 : 0)));
        // One small group is "has", not "have".
        rows.removeLast();
        rows.removeLast();
        QVERIFY2(BatchStatistics(rows).FatigueText().endsWith(
                     QStringLiteral("uncertain: 1 of the groups has fewer than 3 specimens")),
                 qPrintable(BatchStatistics(rows).FatigueText()));
    }

    void numbersAreShortestRoundTripInTheCLocale() {
        QCOMPARE(number(5000), QStringLiteral("5000"));
        QCOMPARE(number(123456.5), QStringLiteral("123456.5"));
        QCOMPARE(number(-4.25), QStringLiteral("-4.25"));
        QCOMPARE(number(0.1), QStringLiteral("0.1"));
        QCOMPARE(number(2.0 / 3), QStringLiteral("0.6666666666666666"));
        QCOMPARE(number(1e-7), QStringLiteral("1e-07"));
    }

    void dataFileRowsSkipHeaderCommentsAndKeepQuotedFields() {
        QTemporaryDir dir;
        const QString path = dir.filePath("batch.dat");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("; made by hand\r\n\r\nN,Lt (N),Lf (N),s (MPa),e (%),nom rate,v (\xb5m/s)\r\n"
                "1,50.1,50.1,5000.1,6.1,60 MPa/s,1,1,1,1,1,1,1,08/12/23,14:15:02,\"ignore, "
                "\"\"slipped\"\"\",125\r\n"
                "; between\r\n"
                "2,50.1,50.1,5100.5,6.1,100 \xb5m/s,1,1,1,1,1,1,1,08/12/23,14:15:02,,125\r\n");
        f.close();
        QString error;
        const auto rows = ReadDataFileRows(path, &error);
        QVERIFY(rows);
        QCOMPARE(rows->size(), 2);
        QCOMPARE((*rows)[0].field(16), QStringLiteral("ignore, \"slipped\""));
        QCOMPARE((*rows)[0].field(17), QStringLiteral("125"));
        QCOMPARE((*rows)[1].field(6), QStringLiteral("100 \u00b5m/s"));
        // The same figures from the datasheet's rows as from their fields.
        QList<QStringList> fields;
        for (const DataRow& row : *rows)
            fields.append(row.fields());
        QCOMPARE(BatchStatistics(*rows).KeyValueText(), BatchStatistics(fields).KeyValueText());
        QVERIFY(!ReadDataFileRows(dir.filePath("missing.dat"), &error));
        QCOMPARE(error, QStringLiteral("No such file or directory"));
        QVERIFY(!ReadDataFileRows(dir.path(), &error));
        QCOMPARE(error, QStringLiteral("It is a directory, not a file"));
        // A file the datasheet would call corrupted is not taken for a batch.
        QFile bad(dir.filePath("bad.dat"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("N\r\n");
        for (int i = 0; i < 120; ++i)
            bad.write("x,y\r\n");
        bad.close();
        QVERIFY(!ReadDataFileRows(bad.fileName(), &error));
        QVERIFY(error.contains("reading stopped"));
    }
};

STAVELY_TEST(StatisticsTest)
#include "StatisticsTest.moc"
