#include "results/LineFit.h"
#include "tests/support/TestRegistry.h"

#include <QTest>
#include <cmath>

namespace {
// Independent reference: centred normal equations in long double.
struct Reference {
    long double m, c, delm, delc, delb, mse, sse, sxx, r;
};

Reference reference(const QList<double>& x, const QList<double>& y) {
    const int n = int(x.size());
    long double mx = 0, my = 0;
    for (int i = 0; i < n; ++i) {
        mx += x[i];
        my += y[i];
    }
    mx /= n;
    my /= n;
    long double sxx = 0, syy = 0, sxy = 0;
    for (int i = 0; i < n; ++i) {
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
        sxy += (x[i] - mx) * (y[i] - my);
    }
    Reference r;
    r.m = sxy / sxx;
    r.c = my - r.m * mx;
    r.sse = syy - r.m * sxy;
    r.mse = r.sse / (n - 2);
    r.delm = std::sqrt(r.mse / sxx);
    r.delc = std::sqrt(r.mse * (1.0L / n + mx * mx / sxx));
    r.delb = std::sqrt(r.mse / n);
    r.sxx = sxx;
    r.r = sxy / std::sqrt(sxx * syy);
    return r;
}

bool near(double value, long double expected, long double relative = 1e-9L) {
    return std::fabs(value - expected) <= relative * std::max(1.0L, std::fabs(expected));
}
} // namespace

class LineFitTest : public QObject {
    Q_OBJECT
private slots:
    void perfectCalibrationLine() {
        const LineFitResult f = LineFit({0, 9.81, 19.62}, {100, 600, 1100});
        QCOMPARE(f.N, 3);
        QVERIFY(std::abs(*f.m - 50.968) < 0.0005);
        QCOMPARE(*f.c, 100.0);
        QVERIFY(*f.delm == 0.0); // exactly: a perfect line is not a calibration
        QCOMPARE(*f.xbar, 9.81);
        QVERIFY(std::abs(*f.b - 600) < 1e-9);
        QVERIFY(std::abs(*f.gamma - 1) < 1e-12);
    }

    void noisySetAgreesWithNormalEquations() {
        const QList<double> x = {0.5, 1.7, 2.2, 3.9, 4.1, 5.6, 7.3, 8.0, 9.4};
        const QList<double> y = {12.1, 15.3, 15.9, 21.7, 21.2, 26.0, 30.9, 33.6, 36.8};
        const LineFitResult f = LineFit(x, y);
        const Reference r = reference(x, y);
        QVERIFY(near(*f.m, r.m));
        QVERIFY(near(*f.c, r.c));
        QVERIFY(near(*f.delm, r.delm, 1e-7L));
        QVERIFY(near(*f.delc, r.delc, 1e-7L));
        QVERIFY(near(*f.delb, r.delb, 1e-7L));
        QVERIFY(near(*f.MSE, r.mse, 1e-7L));
        QVERIFY(near(*f.resid, r.sse, 1e-7L));
        QVERIFY(near(*f.Xsos, r.sxx));
        QVERIFY(near(*f.gamma, r.r));
        QVERIFY(near(*f.b, r.m * (*f.xbar) + r.c));
        QCOMPARE(f.N, 9);
        // A falling line gives a negative correlation.
        QList<double> down;
        for (double v : y)
            down.append(-v);
        QVERIFY(near(*LineFit(x, down).gamma, -r.r));
    }

    void fewerThanThreePointsGiveNoStandardErrors() {
        QCOMPARE(LineFitResult::names(), QStringList({"m", "delm", "c", "delc", "b", "delb", "xbar", "resid",
                                                      "gamma", "Xsos", "MSE", "N"}));
        const LineFitResult two = LineFit({1, 3}, {10, 20});
        QCOMPARE(*two.m, 5.0);
        QCOMPARE(*two.c, 5.0);
        const QStringList t = two.texts();
        for (int i : {1, 3, 5, 10})
            QCOMPARE(t[i], QStringLiteral("--"));
        QCOMPARE(t[0], QStringLiteral("5"));
        QCOMPARE(t[2], QStringLiteral("5"));
        QCOMPARE(t[11], QStringLiteral("2"));

        // One point, or every x alike: there is no slope to report.
        for (const LineFitResult& f : {LineFit({2}, {7}), LineFit({2, 2, 2}, {1, 2, 3})}) {
            QVERIFY(!f.m && !f.c && !f.delm);
            QCOMPARE(f.texts()[0], QStringLiteral("--"));
            QCOMPARE(*f.xbar, 2.0);
        }
    }

    void weightsCountAsRepeatedPoints() {
        const LineFitResult weighted = LineFit({0, 1, 3, 4}, {1.0, 2.5, 6.2, 8.9}, {1, 2, 1, 3}, true, 4);
        const LineFitResult repeated = LineFit({0, 1, 1, 3, 4, 4, 4}, {1.0, 2.5, 2.5, 6.2, 8.9, 8.9, 8.9});
        QCOMPARE(*weighted.m, *repeated.m);
        QCOMPARE(*weighted.c, *repeated.c);
        QCOMPARE(*weighted.xbar, *repeated.xbar);
        QCOMPARE(weighted.N, 4);
        // Without the flag the weights are ignored; n limits the points used.
        QCOMPARE(*LineFit({0, 1, 3, 4}, {1.0, 2.5, 6.2, 8.9}, {1, 2, 1, 3}, false, 4).m,
                 *LineFit({0, 1, 3, 4}, {1.0, 2.5, 6.2, 8.9}).m);
        QCOMPARE(LineFit({0, 1, 3, 4}, {1.0, 2.5, 6.2, 100}, {}, false, 3).N, 3);
        QCOMPARE(*LineFit({0, 1, 3, 4}, {1.0, 2.5, 6.2, 100}, {}, false, 3).m,
                 *LineFit({0, 1, 3}, {1.0, 2.5, 6.2}).m);
    }
};

STAVELY_TEST(LineFitTest)
#include "LineFitTest.moc"
