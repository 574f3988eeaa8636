#include "app/StatisticsVerification.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

class StatisticsVerificationTest : public QObject {
    Q_OBJECT
private slots:
    // The shipped sets: each with its source and figures, all agreeing; a reference moved by more
    // than the tolerance, or a figure the program does not give, is reported as differing.
    void shippedSetsAgreeAndADifferenceIsCaught() {
        QString error;
        const QList<ReferenceSet> sets = StatisticsVerification::ShippedSets(&error);
        QCOMPARE(sets.size(), 3);
        int figures = 0;
        for (const ReferenceSet& set : sets) {
            QVERIFY(set.comments.join(QLatin1Char(' ')).contains(QStringLiteral("Source: ")));
            for (const VerifiedFigure& f : StatisticsVerification::Verify(set)) {
                QVERIFY2(f.agrees(), qPrintable(set.name + QLatin1Char(' ') + f.key));
                ++figures;
            }
        }
        QCOMPARE(figures, 21);
        QVERIFY(sets[0].censored && sets[0].broke.count(false) == 5);

        ReferenceSet moved = sets[2];
        moved.references[0].second *= 1 + 3 * StatisticsVerification::Tolerance;
        moved.references.append({QStringLiteral("weibull_k"), 1});
        const QList<VerifiedFigure> checked = StatisticsVerification::Verify(moved);
        QVERIFY(!checked[0].agrees() && checked[1].agrees());
        QVERIFY(!checked.back().value && !checked.back().agrees());
    }

    void malformedSetsAreRefused_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("no reference") << "1\n2\n"
                                      << "x.txt: needs values and reference figures";
        QTest::newRow("one value") << "#= weibull_m 2\n1\n"
                                   << "x.txt: needs values and reference figures";
        QTest::newRow("reference without a number")
            << "#= weibull_m\n1\n2\n"
            << "x.txt, line 1: a reference line needs a key and a number";
        QTest::newRow("not a value") << "#= weibull_m 2\n1\nabc\n"
                                     << "x.txt, line 3: not a value";
        QTest::newRow("unknown status") << "#= weibull_m 2\n1 failure\n2 lost\n"
                                        << "x.txt, line 3: a value is followed by \"failure\" or \"runout\"";
    }
    void malformedSetsAreRefused() {
        QFETCH(QString, text);
        QFETCH(QString, error);
        QString got;
        QVERIFY(!ReferenceSet::Parse(QStringLiteral("x.txt"), text, &got));
        QCOMPARE(got, error);
    }
};

STAVELY_TEST(StatisticsVerificationTest)
#include "StatisticsVerificationTest.moc"
