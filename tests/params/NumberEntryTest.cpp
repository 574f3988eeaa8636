#include "params/NumberEntry.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

class NumberEntryTest : public QObject {
    Q_OBJECT
private slots:
    void askNumberAcceptsBothBoundsAndRefusesBeyond() {
        ScriptedOperator op;
        float value = 7;
        op.answer(QStringLiteral("200001"));
        op.answer(MsgResult::Ok);
        op.answer(QStringLiteral("abc"));
        op.answer(MsgResult::Ok);
        op.answer(QStringLiteral(" -200000 "));
        QVERIFY(
            AskNumber(op, QStringLiteral("Go to position"), QStringLiteral("GO TO"), value, -200000, 200000));
        QCOMPARE(value, -200000.f);
        QCOMPARE(op.prompts.size(), 5);
        QCOMPARE(op.prompts[0].text, QStringLiteral("Go to position"));
        QCOMPARE(op.prompts[0].title, QStringLiteral("GO TO"));
        QCOMPARE(op.prompts[0].buttons, QStringList{QStringLiteral("7")}); // current value as starting text
        QCOMPARE(op.prompts[1].text, QStringLiteral("Value outside range of -200000 to 200000"));
        QCOMPARE(op.prompts[1].style, int(MsgStyle::OkOnly));
        QCOMPARE(op.prompts[3].text, QStringLiteral("Non numeric value - please try again"));
        QCOMPARE(op.prompts[4].buttons, QStringList{QStringLiteral("7")}); // asked again from the old value

        op.answer(QStringLiteral("200000"));
        QVERIFY(AskNumber(op, QString(), QString(), value, -200000, 200000));
        QCOMPARE(value, 200000.f);
    }

    void askNumberEmptyOrCancelKeepsTheValue() {
        ScriptedOperator op;
        float value = 3.5f;
        op.answer(QString());
        QVERIFY(!AskNumber(op, QString(), QString(), value, 0, 10));
        op.cancel();
        QVERIFY(!AskNumber(op, QString(), QString(), value, 0, 10));
        QCOMPARE(value, 3.5f);
        QCOMPARE(op.prompts.size(), 2);
    }

    void checkNumberMessages() {
        ScriptedOperator op;
        double value = -1;
        op.answer(MsgResult::Ok);
        QVERIFY(
            CheckNumber(op, QStringLiteral("x1"), QStringLiteral("Load"), QStringLiteral("N"), 0, 10, value));
        QCOMPARE(op.last().title, QStringLiteral("Bad value"));
        QCOMPARE(op.last().text, QStringLiteral("Load must be a number"));
        QCOMPARE(op.last().style, int(MsgStyle::Critical));
        op.answer(MsgResult::Ok);
        QVERIFY(CheckNumber(op, QStringLiteral("10.5"), QStringLiteral("Load"), QStringLiteral("N"), 0.1, 10,
                            value));
        QCOMPARE(op.last().title, QStringLiteral("Bad Value"));
        QCOMPARE(op.last().text, QStringLiteral("Load is outside the range 0.1 to 10 N"));
        QCOMPARE(value, -1.0);
        QVERIFY(!CheckNumber(op, QStringLiteral("1e1"), QStringLiteral("Load"), QStringLiteral("N"), 0.1, 10,
                             value));
        QCOMPARE(value, 10.0);
    }

    void checkRangeRoundsAndRewritesTheText() {
        ScriptedOperator op;
        QString text = QStringLiteral(" 4.6 ");
        qint32 value = 0;
        QVERIFY(CheckRange(op, text, 1, 5, value));
        QCOMPARE(value, 5);
        QCOMPARE(text, QStringLiteral("5"));

        text = QStringLiteral("5.5");
        op.answer(MsgResult::Ok);
        QVERIFY(!CheckRange(op, text, 1, 5, value));
        QCOMPARE(op.last().text, QStringLiteral("Value out of range 1 to 5"));
        QCOMPARE(op.last().style, int(MsgStyle::Exclamation));
        text = QStringLiteral("1e20"); // beyond 32 bits is out of range, not a wrapped number
        op.answer(MsgResult::Ok);
        QVERIFY(!CheckRange(op, text, -5, 5, value));
        text = QStringLiteral("five");
        op.answer(MsgResult::Ok);
        QVERIFY(!CheckRange(op, text, 1, 5, value));
        QCOMPARE(op.last().text, QStringLiteral("bad value"));
        QCOMPARE(value, 5);
        QCOMPARE(text, QStringLiteral("five"));
    }
};

STAVELY_TEST(NumberEntryTest)
#include "NumberEntryTest.moc"
