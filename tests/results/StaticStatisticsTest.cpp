#include "results/StaticStatistics.h"
#include "results/BatchStatistics.h"
#include "tests/support/TestRegistry.h"

#include <QTest>
#include <cmath>

namespace {
QStringList staticRow(const QString& level, const QString& seconds, const QString& comment = {},
                      const QString& stress = QStringLiteral("4000")) {
    QStringList f(17);
    f[0] = QStringLiteral("1");
    f[3] = stress;
    f[5] = level;
    f[12] = seconds;
    f[15] = comment;
    return f;
}

struct Case {
    const char* name;
    QList<double> times;
    QList<bool> broke;
};

bool near(double a, double b, double relative) {
    return std::abs(a - b) <= relative * std::abs(b);
}

QMap<QString, QString> keyValues(const QString& text) {
    QMap<QString, QString> out;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        out.insert(line.section(QLatin1Char('\t'), 0, 0), line.section(QLatin1Char('\t'), 1));
    return out;
}
} // namespace

class StaticStatisticsTest : public QObject {
    Q_OBJECT
private slots:
    // An n that says nothing is told so, where the window, the report and the headless output
    // read it: a negative n (lives that grow with the stress) is not determined, and a level
    // whose median rests on fewer than two breaks makes n uncertain.
    void staticNSaysWhenItMeansLittle() {
        struct Level {
            const char* level;
            QList<const char*> times; // "r…" a run-out after that many seconds
        };
        struct Expected {
            const char* name;
            QList<Level> levels;
            bool determined;
            int fewBreaks;
        };
        const QList<Expected> cases{
            {"three levels, one break each, lives rising with the stress",
             {{"2600 MPa", {"31.0"}}, {"2800 MPa", {"54.2"}}, {"3000 MPa", {"402.7"}}},
             false,
             3},
            {"falling lives, two breaks a level",
             {{"2600 MPa", {"905.1", "1210.4"}},
              {"2800 MPa", {"180.3", "240.9"}},
              {"3000 MPa", {"40.2", "52.8"}}},
             true,
             0},
            {"falling lives, one level a break and a run-out",
             {{"2600 MPa", {"905.1", "r3600"}},
              {"2800 MPa", {"180.3", "240.9"}},
              {"3000 MPa", {"40.2", "52.8"}}},
             true,
             1},
        };
        for (const Expected& c : cases) {
            QList<QStringList> rows;
            for (const Level& l : c.levels)
                for (const char* t : l.times) {
                    const QString time = QString::fromLatin1(t);
                    const bool runout = time.startsWith(QLatin1Char('r'));
                    const QString level = QString::fromLatin1(l.level);
                    rows << staticRow(level, runout ? time.mid(1) : time,
                                      runout ? QStringLiteral("runout") : QString(),
                                      level.section(' ', 0, 0));
                }
            const StaticStatistics s(rows);
            QVERIFY2(s.fatigue().has_value(), c.name);
            QCOMPARE(s.FatigueDetermined(), c.determined);
            QCOMPARE(s.fatigue()->n > 0, c.determined);
            const QString text = s.FatigueText();
            QCOMPARE(text.contains(QStringLiteral("n is not determined")), !c.determined);
            QCOMPARE(text.contains(QStringLiteral("uncertain: %1 of the levels").arg(c.fewBreaks)),
                     c.fewBreaks > 0);
            QVERIFY2(text.startsWith(QStringLiteral("Static fatigue n = ")), qPrintable(text));
            const QMap<QString, QString> keys = keyValues(BatchStatistics(rows).KeyValueText());
            QCOMPARE(keys.value(QStringLiteral("static_n_determined")), c.determined ? "1" : "0");
            QCOMPARE(keys.value(QStringLiteral("static_few_break_levels")), QString::number(c.fewBreaks));
            QCOMPARE(s.SummaryText().contains(QStringLiteral("\r\nStatic fatigue note\t")),
                     !c.determined || c.fewBreaks > 0);
        }
    }

    // The censored fit against a script that maximises the whole two-parameter likelihood by golden
    // sections (no use of the profile equation), and the cases it must refuse.
    void censoredWeibullAgainstDirectMaximum() {
        struct Expected {
            Case c;
            double m, t0; // 0: refused
        };
        const QList<Expected> cases{
            {{"two run-outs among six",
              {120, 340, 560, 900, 1500, 75},
              {true, true, true, false, false, true}},
             0.7777228448,
             900.4851662},
            {{"no run-outs: the plain fit", {10, 20, 30, 40, 50}, {true, true, true, true, true}},
             2.293806733,
             33.94290783},
            {{"one break, three longer run-outs", {50, 400, 400, 400}, {true, false, false, false}},
             0.5337334518,
             3809.004514},
            {{"run-outs only", {100, 200}, {false, false}}, 0, 0},
            {{"the breaks all at the longest time", {300, 300, 100}, {true, true, false}}, 0, 0},
            {{"a single row", {100}, {true}}, 0, 0},
        };
        for (const Expected& e : cases) {
            const std::optional<WeibullEstimate> fit =
                StaticStatistics::CensoredWeibull(e.c.times, e.c.broke);
            if (e.m == 0) {
                QVERIFY2(!fit, e.c.name);
                continue;
            }
            QVERIFY2(fit, e.c.name);
            QVERIFY2(near(fit->m, e.m, 1e-6), qPrintable(QString::number(fit->m, 'g', 12)));
            QVERIFY2(near(fit->sigma0, e.t0, 1e-6), qPrintable(QString::number(fit->sigma0, 'g', 12)));
        }
        // Without run-outs it is the strength statistics' own estimator.
        QList<double> logs;
        for (double t : {10.0, 20.0, 30.0, 40.0, 50.0})
            logs.append(std::log(t));
        const std::optional<WeibullEstimate> plain = Weibull::MaximumLikelihoodEstimate(logs);
        QVERIFY(plain);
        QVERIFY(near(plain->m, 2.293806733, 1e-6));
    }

    // Kaplan-Meier medians worked by hand.
    void kaplanMeierMedian() {
        struct Expected {
            Case c;
            std::optional<double> median;
        };
        const QList<Expected> cases{
            {{"odd count, no run-outs", {30, 10, 20}, {true, true, true}}, 20},
            {{"even count: halfway between the middle two", {10, 40, 20, 30}, {true, true, true, true}}, 25},
            // 75, 120, 340 break: S = 5/6, 4/6, 3/6 = one half exactly -> halfway to the next break, 560.
            {{"two run-outs after", {120, 340, 560, 900, 1500, 75}, {true, true, true, false, false, true}},
             450},
            // S(10) = 3/4; the run-out at 20 leaves 2 at risk; S(30) = 3/8.
            {{"a run-out inside", {10, 20, 30, 40}, {true, false, true, true}}, 30},
            // A run-out at the same time as a break was still at risk at that break.
            {{"tie of a break and a run-out", {10, 10, 20}, {false, true, true}}, 20},
            {{"never below one half", {50, 400, 400, 400}, {true, false, false, false}}, std::nullopt},
            {{"nothing", {}, {}}, std::nullopt},
        };
        for (const Expected& e : cases) {
            const std::optional<double> median = StaticStatistics::KaplanMeierMedian(e.c.times, e.c.broke);
            QVERIFY2(median.has_value() == e.median.has_value(), e.c.name);
            if (median)
                QVERIFY2(std::abs(*median - *e.median) < 1e-9, e.c.name);
        }
    }

    // A batch of three levels laid out so that ln(median) falls on a line of slope -20: n_s comes
    // back exactly; run-outs are counted apart, never as breaks; "ignore" rows and rows of the break
    // test stay out; the break test's own figures do not see the static rows.
    void levelsGiveTheStaticFatigueParameter() {
        const double n = 20;
        auto median = [n](double stress) { return 100 * std::pow(3000 / stress, n); };
        QList<QStringList> rows;
        const QList<double> levels{2800, 3000, 3300};
        for (double level : levels) {
            const QString text = QString::number(level) + QStringLiteral(" MPa");
            const double m = median(level);
            for (double f : {0.5, 0.8, 1.0, 1.3, 2.0})
                rows << staticRow(text, QString::number(m * f, 'f', 6));
        }
        // One more break and a run-out longer than every break at the lowest level: of seven, four
        // have broken by the median, so it stays where it was.
        rows << staticRow(QStringLiteral("2800 MPa"), QString::number(median(2800) * 0.3, 'f', 6));
        rows << staticRow(QStringLiteral("2800 MPa"), QString::number(median(2800) * 5, 'f', 6),
                          QStringLiteral("runout after 2 h"));
        rows << staticRow(QStringLiteral("2800 MPa"), QStringLiteral("1"), QStringLiteral("ignore: slipped"));
        rows << staticRow(QStringLiteral("3000 MPa"), QStringLiteral("--"));
        rows << staticRow(QStringLiteral("60 MPa/s"), QStringLiteral("62"), {}, QStringLiteral("4700"));
        rows << staticRow(QStringLiteral("60 MPa/s"), QStringLiteral("64"), {}, QStringLiteral("4800"));
        // A load level takes its stress from the rows.
        rows << staticRow(QStringLiteral("40 N"), QStringLiteral("30"), {}, QStringLiteral("3259.5"));
        // A "run-out" whose hold began on a fiber already broken (-0.176 MPa held at 3300 MPa) is no
        // survivor of the level.
        rows << staticRow(QStringLiteral("3300 MPa"), QStringLiteral("390"), QStringLiteral("runout"),
                          QStringLiteral("-0.176"));

        const BatchStatistics batch(rows);
        QCOMPARE(batch.all().specimens(), 2);
        QCOMPARE(batch.groups().size(), 1);
        const StaticStatistics& s = batch.statics();
        QCOMPARE(s.levels().size(), 4);
        const StaticLevel& low = s.levels()[0]; // by unit, then value: "40 N" comes last
        QCOMPARE(s.levels()[3].level, QStringLiteral("40 N"));
        QCOMPARE(*s.levels()[3].stress, 3259.5);
        QCOMPARE(low.level, QStringLiteral("2800 MPa"));
        QCOMPARE(low.breaks, 6);
        QCOMPARE(low.runouts, 1);
        QCOMPARE(low.ignored, 1);
        QVERIFY(std::abs(*low.median / median(2800) - 1) < 1e-6);
        QCOMPARE(s.levels()[1].skipped, 1);
        QCOMPARE(s.levels()[2].runouts, 0);
        QCOMPARE(s.levels()[2].skipped, 1);
        QVERIFY(low.weibull.has_value());

        QVERIFY(s.fatigue().has_value());
        // The load level's single row sits off the line; the three stress levels alone give n.
        const StaticStatistics stressOnly(rows.mid(0, 17));
        QVERIFY(stressOnly.fatigue().has_value());
        QVERIFY2(std::abs(stressOnly.fatigue()->n - n) < 1e-6,
                 qPrintable(QString::number(stressOnly.fatigue()->n)));
        QVERIFY(stressOnly.fatigue()->nError.has_value());
        QVERIFY(*stressOnly.fatigue()->nError < 1e-6);
        QCOMPARE(stressOnly.FatigueText(),
                 QStringLiteral("Static fatigue n = 20.0 \u00b1 0.0 from 3 levels"));

        const QMap<QString, QString> keys = keyValues(batch.KeyValueText());
        QCOMPARE(keys.value(QStringLiteral("2800_MPa:breaks")), QStringLiteral("6"));
        QCOMPARE(keys.value(QStringLiteral("2800_MPa:runouts")), QStringLiteral("1"));
        QCOMPARE(keys.value(QStringLiteral("2800_MPa:ignored")), QStringLiteral("1"));
        QCOMPARE(keys.value(QStringLiteral("3000_MPa:skipped")), QStringLiteral("1"));
        QVERIFY(keys.contains(QStringLiteral("2800_MPa:median_s")));
        QVERIFY(keys.contains(QStringLiteral("static_n")));
        QVERIFY(keys.contains(QStringLiteral("static_n_se")));
        QVERIFY(!keys.contains(QStringLiteral("2800_MPa:specimens")));
        QCOMPARE(keys.value(QStringLiteral("specimens")), QStringLiteral("2"));
        QVERIFY(batch.SummaryText().contains(QStringLiteral("Static fatigue n\t")));

        // A single level has no line.
        const StaticStatistics one(rows.mid(0, 5));
        QVERIFY(!one.fatigue());
        QCOMPARE(one.FatigueText(),
                 QStringLiteral("Static fatigue needs median times to failure at two or more levels."));
    }

    // The static keys read as the strength keys do: one spelling ("_" for the blank), numbers to 15
    // significant digits, times to the millisecond they were measured in; the rows a level leaves
    // out are counted under keys of their own.
    void scriptKeysAreOneWordFifteenDigitsAndMilliseconds() {
        QList<QStringList> rows;
        // Four breaks whose median falls halfway between two times: 24.731 + 0.1 ulp arithmetic.
        for (const char* t : {"20.5", "24.7309999", "24.7310001", "30.25"})
            rows << staticRow(QStringLiteral("1500 MPa"), QLatin1String(t));
        rows << staticRow(QStringLiteral("1500 MPa"), QStringLiteral("--"))
             << staticRow(QStringLiteral("1500 MPa"), QStringLiteral("3"), QStringLiteral("ignore: slipped"));
        for (const char* t : {"5.1", "6.3", "7.7"})
            rows << staticRow(QStringLiteral("1900 MPa"), QLatin1String(t));
        const QString text = StaticStatistics(rows).KeyValueText();
        const QMap<QString, QString> keys = keyValues(text);
        QVERIFY2(!text.contains(QStringLiteral(" MPa:")), qPrintable(text));
        QCOMPARE(keys.value(QStringLiteral("1500_MPa:median_s")), QStringLiteral("24.731"));
        QCOMPARE(keys.value(QStringLiteral("1500_MPa:skipped")), QStringLiteral("1"));
        QCOMPARE(keys.value(QStringLiteral("1500_MPa:ignored")), QStringLiteral("1"));
        QCOMPARE(keys.value(QStringLiteral("1900_MPa:ignored")), QStringLiteral("0"));
        // Each key once.
        QCOMPARE(text.count(QStringLiteral(":breaks\t")), 2);
        for (const auto& [key, value] : keys.asKeyValueRange()) {
            if (!key.contains(QLatin1Char(':')) && !key.startsWith(QLatin1String("static_n")))
                continue;
            QVERIFY2(value == BatchStatistics::ShortNumber(value.toDouble()),
                     qPrintable(key + QLatin1Char(' ') + value));
            if (key.endsWith(QLatin1String("_s")))
                QVERIFY2(value.section(QLatin1Char('.'), 1).size() <= 3,
                         qPrintable(key + QLatin1Char(' ') + value));
        }
        QVERIFY(keys.contains(QStringLiteral("static_n")));
        QVERIFY2(
            keys.value(QStringLiteral("static_n")).remove(QLatin1Char('-')).remove(QLatin1Char('.')).size() <=
                15,
            qPrintable(keys.value(QStringLiteral("static_n"))));
    }
};

STAVELY_TEST(StaticStatisticsTest)
#include "StaticStatisticsTest.moc"
