#include "results/ProofStatistics.h"
#include "results/BatchStatistics.h"
#include "tests/support/TestRegistry.h"

#include <QTest>
#include <cmath>
#include <random>

namespace {
QStringList proofRow(double stress, const QString& comment, const QString& rate = QStringLiteral("60 MPa/s"),
                     const QString& gaugeMm = QStringLiteral("500")) {
    QStringList f(17);
    f[0] = QStringLiteral("1");
    f[3] = QString::number(stress);
    f[5] = rate;
    f[15] = comment;
    f[16] =
        QStringLiteral("125 ") + gaugeMm + QStringLiteral(" 0 72 3 0.5N/100 26/12/07 10:00:00 30.1mm/1.00");
    return f;
}
} // namespace

class ProofStatisticsTest : public QObject {
    Q_OBJECT
private slots:
    // The comments the proof run writes read back as what they say; others are no proof rows.
    void commentsReadBack() {
        using K = ProofStatistics::Kind;
        for (K kind : {K::Failure, K::Passed, K::PassedThenBroken}) {
            const QString text = ProofStatistics::CommentText(kind, 700, 0.5);
            const ProofStatistics::Comment c = ProofStatistics::ParseComment(text);
            QCOMPARE(c.kind, kind);
            QCOMPARE(c.stress, 700.0);
            QCOMPARE(c.time, 0.5);
        }
        QCOMPARE(ProofStatistics::CommentText(K::PassedThenBroken, 700, 1),
                 QStringLiteral("proof passed at 700 MPa for 1 s then broken"));
        for (const char* other : {"runout", "ignore: proof failure at 700 MPa for 1 s", "proof",
                                  "proof failure at x MPa for 1 s", "proof passed at 0 MPa for 1 s", ""})
            QVERIFY2(!ProofStatistics::IsProofRow(QString::fromLatin1(other)), other);
    }

    // Failure fraction and breaks per km of tested length; the proof rows stay out of the strength
    // groups, and an ignored one is counted as such.
    void countsAndLength() {
        QList<QStringList> rows;
        for (int i = 0; i < 3; ++i)
            rows << proofRow(650 + i, ProofStatistics::CommentText(ProofStatistics::Kind::Failure, 700, 1));
        for (int i = 0; i < 5; ++i)
            rows << proofRow(702, ProofStatistics::CommentText(ProofStatistics::Kind::Passed, 700, 1));
        for (int i = 0; i < 12; ++i)
            rows << proofRow(900 + 40 * i,
                             ProofStatistics::CommentText(ProofStatistics::Kind::PassedThenBroken, 700, 1));
        rows << proofRow(690, QStringLiteral("ignore: ") +
                                  ProofStatistics::CommentText(ProofStatistics::Kind::Failure, 700, 1));
        rows << proofRow(4000, QString()) << proofRow(4100, QString());
        const BatchStatistics stats(rows);
        QCOMPARE(stats.all().specimens(), 2);
        QCOMPARE(stats.proof().levels().size(), 1);
        const ProofLevel& l = stats.proof().levels().front();
        QCOMPARE(l.failures, 3);
        QCOMPARE(l.passed, 17);
        QCOMPARE(l.ignored, 1);
        QCOMPARE(l.afterProof.size(), 12);
        QCOMPARE(*l.failureFraction(), 0.15);
        QCOMPARE(l.testedMetres, 10.0);    // 20 × 0.5 m
        QCOMPARE(*l.breaksPerKm(), 300.0); // 3 in 0.01 km
        QVERIFY(stats.KeyValueText().contains(QStringLiteral("proof:700_MPa_1_s:breaks_per_km\t300\n")));
        QVERIFY(stats.SummaryText().contains(QStringLiteral("3 of 20 failed (15.0 %)")));
    }

    // The survivors' strengths are a Weibull cut off at σp: the truncated fit finds the parent
    // distribution where the plain one, fitted to the cut sample, is far off.
    void truncatedFitFindsTheParent() {
        const double m = 4, sigma0 = 1000, t = 700;
        std::mt19937_64 random(7);
        std::uniform_real_distribution<double> u(0, 1);
        QList<double> s;
        while (s.size() < 3000) {
            // F(s | s > T) inverted: (s/σ0)^m = (T/σ0)^m − ln(1 − u)
            s << sigma0 * std::pow(std::pow(t / sigma0, m) - std::log1p(-u(random)), 1 / m);
        }
        const auto fit = ProofStatistics::TruncatedWeibull(s, t);
        QVERIFY(fit);
        QVERIFY2(std::abs(fit->m / m - 1) < 0.1, qPrintable(QString::number(fit->m)));
        QVERIFY2(std::abs(fit->sigma0 / sigma0 - 1) < 0.03, qPrintable(QString::number(fit->sigma0)));
        const auto plain = Weibull::MaximumLikelihood(s);
        QVERIFY(plain && plain->estimate.m > 1.3 * m);
        // Too few, or all equal: no fit.
        QVERIFY(!ProofStatistics::TruncatedWeibull({900}, t));
        QVERIFY(!ProofStatistics::TruncatedWeibull({900, 900, 900}, t));
    }
};

STAVELY_TEST(ProofStatisticsTest)
#include "ProofStatisticsTest.moc"
