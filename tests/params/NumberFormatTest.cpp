#include "params/NumberFormat.h"
#include "tests/support/TestRegistry.h"

#include <QTest>
#include <limits>

class NumberFormatTest : public QObject {
    Q_OBJECT
private slots:
    void formatNum_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("text");
        QTest::newRow("fixed, padded") << 3.14159 << 5 << 2 << " 3.14";
        QTest::newRow("at most 3, some") << 2.5 << 1 << -3 << "2.5";
        QTest::newRow("at most 3, none") << 2.0 << 1 << -3 << "2";
        QTest::newRow("cut to 6 chars") << 0.123456 << -5 << 5 << "0.1234";
        QTest::newRow("point beyond, integer part") << 123456.7 << -5 << 1 << "123456";
        QTest::newRow("positive width never cuts") << 12.34 << 3 << 2 << "12.34";
        QTest::newRow("width 0 shows integer part") << 98.76 << 0 << 2 << "98";
        QTest::newRow("no point is never cut") << 123456789.0 << -5 << 0 << "123456789";
        QTest::newRow("half away from zero") << 2.675 << 1 << 2 << "2.68";
        QTest::newRow("negative half") << -0.125 << 1 << 2 << "-0.13";
        QTest::newRow("rounds up a digit") << 9.996 << 1 << 2 << "10.00";
        QTest::newRow("tiny negative is zero") << -0.001 << 1 << 2 << "0.00";
        QTest::newRow("large, no exponent") << 1.5e20 << 1 << 0 << "150000000000000000000";
        QTest::newRow("optional decimals trimmed") << 0.10000000000000001 << 1 << -4 << "0.1";
    }
    void formatNum() {
        QFETCH(double, value);
        QFETCH(int, width);
        QFETCH(int, decimals);
        QTEST(FormatNum(value, width, decimals), "text");
    }

    void formatAlikeTakesTheTemplatesDecimals() {
        QCOMPARE(FormatAlike(0.123456, 12.3, 1, 1), QStringLiteral("0.1"));
        QCOMPARE(FormatAlike(1.5, 0.0123, 1, -4), QStringLiteral("1.5000")); // template "0.0123"
        QCOMPARE(FormatAlike(0.04, -3.25, 1, 2), QStringLiteral("0.04"));    // sign of the template dropped
        QCOMPARE(FormatAlike(3.14159, 250, 1, -2), QStringLiteral("3"));     // template shows no decimals
        QCOMPARE(FormatAlike(0.5, 12.3, 6, 1), QStringLiteral("  00.5"));    // padding stays in the pattern
    }

    void betweenTakesEitherBoundAsTheLarger() {
        QVERIFY(Between(5, 10, 1));
        QVERIFY(Between(10, 1, 10));
        QVERIFY(Between(1, 1, 10));
        QVERIFY(!Between(10.5, 10, 1));
        QVERIFY(!Between(-1, 1, 10));
    }

    void defaultTextForm() {
        QCOMPARE(numberText(-200000.0), QStringLiteral("-200000"));
        QCOMPARE(numberText(0.1), QStringLiteral("0.1"));
        QCOMPARE(numberText(0.00001), QStringLiteral("0.00001"));
        QCOMPARE(numberText(1e6), QStringLiteral("1000000"));
        QCOMPARE(numberText(123456.7), QStringLiteral("123456.7"));
        QCOMPARE(numberText(0.1 + 0.2), QStringLiteral("0.30000000000000004"));
        QCOMPARE(numberText(1e16), QStringLiteral("1E+16"));
        QCOMPARE(numberText(-1.5e-7), QStringLiteral("-1.5E-07"));
        QCOMPARE(numberText(-0.0), QStringLiteral("0"));
        QCOMPARE(numberText(0.1f), QStringLiteral("0.1"));
        QCOMPARE(numberText(1.3f), QStringLiteral("1.3"));
        QCOMPARE(numberText(5e-5f), QStringLiteral("0.00005"));
        for (const double v : {0.1, 1.0 / 3, 6.02214076e23, -2.5e-300, 5000.0})
            QCOMPARE(numberText(v).toDouble(), v);

        // At most 15 significant digits, for the load/time data: noise in the last bits goes.
        QCOMPARE(generalText(4172.5 - 1e-12), QStringLiteral("4172.5"));
        QCOMPARE(generalText(0.1 + 0.2), QStringLiteral("0.3"));
        QCOMPARE(generalText(1.0 / 3), QStringLiteral("0.333333333333333"));
        QCOMPARE(generalText(123456789.123456789), QStringLiteral("123456789.123457"));
        QCOMPARE(generalText(-2.5e-300), QStringLiteral("-2.5E-300"));
        QCOMPARE(generalText(4172.5), QStringLiteral("4172.5"));
        QCOMPARE(generalText(std::numeric_limits<double>::infinity()), QStringLiteral("Inf"));
    }

    void numbersAsUsersTypeThem() {
        QCOMPARE(toNumber(QStringLiteral("1e3")), std::optional<double>(1000));
        QCOMPARE(toNumber(QStringLiteral(" 12 ")), std::optional<double>(12));
        QCOMPARE(toNumber(QStringLiteral("-5")), std::optional<double>(-5));
        QCOMPARE(toNumber(QStringLiteral("0.5")), std::optional<double>(0.5));
        QCOMPARE(toNumber(QStringLiteral("1E+16")), std::optional<double>(1e16));
        for (const char* bad : {"", "   ", "12abc", "abc", "1,5", "inf", "nan", "1e999", "0x10"})
            QVERIFY2(!toNumber(QString::fromLatin1(bad)), bad);
    }

    void booleansInEitherCaseOrAsNumbers() {
        for (const char* yes : {"True", "TRUE", "true", "-1", "1", " 2 "})
            QCOMPARE(toBoolean(QString::fromLatin1(yes)), std::optional<bool>(true));
        for (const char* no : {"False", "false", "0", "0.0"})
            QCOMPARE(toBoolean(QString::fromLatin1(no)), std::optional<bool>(false));
        for (const char* bad : {"", "yes", "T"})
            QVERIFY2(!toBoolean(QString::fromLatin1(bad)), bad);
    }
};

STAVELY_TEST(NumberFormatTest)
#include "NumberFormatTest.moc"
