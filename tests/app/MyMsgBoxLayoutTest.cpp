#include "app/MyMsgBoxLayout.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

namespace {
MyMsgBoxRequest row(const QStringList& captions, bool expand = false, double width = 1.0) {
    MyMsgBoxRequest r;
    for (int i = 0; i < 4; ++i)
        r.buttons[i] = captions.value(i);
    r.expandButtons = expand;
    r.width = width;
    return r;
}

MyMsgBoxMetrics metrics(int textHeight, int buttonHeight, int icon = 0) {
    MyMsgBoxMetrics m;
    m.textHeight = textHeight;
    m.buttonHeight = buttonHeight;
    m.iconWidth = m.iconHeight = icon;
    return m;
}
} // namespace

class MyMsgBoxLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void buttonRow_data() {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<bool>("expand");
        QTest::addColumn<double>("width");
        QTest::addColumn<QList<int>>("lefts");
        QTest::addColumn<int>("buttonWidth");

        QTest::newRow("one button centred") << QStringList{"&OK"} << false << 1.0 << QList<int>{2242} << 1260;
        QTest::newRow("Btn2 empty hides Btn3")
            << QStringList{"&Yes", "", "&Maybe"} << false << 1.0 << QList<int>{2242} << 1260;
        QTest::newRow("Btn3 empty hides Btn4")
            << QStringList{"&Yes", "&No", "", "&Later"} << false << 1.0 << QList<int>{1562, 2922} << 1260;
        QTest::newRow("four in the base width") << QStringList{"&1", "&2", "&3", "&4"} << false << 1.0
                                                << QList<int>{202, 1562, 2922, 4282} << 1260;
        QTest::newRow("three in double width")
            << QStringList{"&1", "&2", "&3"} << false << 2.0 << QList<int>{3755, 5115, 6475} << 1260;
        QTest::newRow("four expanded") << QStringList{"&1", "&2", "&3", "&4"} << true << 1.0
                                       << QList<int>{200, 1561, 2922, 4283} << 1261;
        QTest::newRow("two expanded, width 1.5")
            << QStringList{"&Scan", "&Exit"} << true << 1.5 << QList<int>{200, 4359} << 4059;
        QTest::newRow("zero width taken as one")
            << QStringList{"&OK"} << false << 0.0 << QList<int>{2242} << 1260;
    }

    void buttonRow() {
        QFETCH(QStringList, captions);
        QFETCH(bool, expand);
        QFETCH(double, width);
        QFETCH(QList<int>, lefts);
        QFETCH(int, buttonWidth);

        const MyMsgBoxLayout l = MyMsgBoxLayout::compute(row(captions, expand, width), metrics(400, 375));
        QCOMPARE(l.buttonCount, lefts.size());
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(l.buttonVisible[i], i < lefts.size());
            QCOMPARE(l.descriptionVisible[i], false);
        }
        for (int i = 0; i < lefts.size(); ++i) {
            QCOMPARE(l.buttons[i].left(), lefts[i]);
            QCOMPARE(l.buttons[i].width(), buttonWidth);
            QCOMPARE(l.buttons[i].top(), 400 + 400);
            QCOMPARE(l.buttons[i].height(), 375);
        }
        QCOMPARE(l.windowHeight, 375 + 800 + 600);
    }

    void textAndIcon_data() {
        QTest::addColumn<int>("icons");
        QTest::addColumn<int>("textHeight");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("textLeft");
        QTest::addColumn<int>("buttonTop");
        QTest::addColumn<QString>("invalid");

        QTest::newRow("no icon") << 0 << 600 << int(MsgIcon::None) << 200 << 1000 << QString();
        QTest::newRow("exclamation with Yes/No code")
            << 48 + 4 << 300 << int(MsgIcon::Exclamation) << 880 << 880 << QString();
        QTest::newRow("text taller than icon")
            << 32 << 900 << int(MsgIcon::Question) << 880 << 1300 << QString();
        QTest::newRow("critical") << 16 << 300 << int(MsgIcon::Error) << 880 << 880 << QString();
        QTest::newRow("information among other bits")
            << 0x1000 + 64 + 256 << 300 << int(MsgIcon::Information) << 880 << 880 << QString();
        QTest::newRow("invalid 80") << 80 << 300 << int(MsgIcon::None) << 200 << 700
                                    << QStringLiteral("Invalid Icons bit in MyMsgBox.Go: 80 (remnant 80)");
        QTest::newRow("invalid 116 keeps the full value")
            << 116 << 300 << int(MsgIcon::None) << 200 << 700
            << QStringLiteral("Invalid Icons bit in MyMsgBox.Go: 116 (remnant 112)");
        QTest::newRow("bits outside 70 hex only")
            << 4 << 300 << int(MsgIcon::None) << 200 << 700 << QString();
    }

    void textAndIcon() {
        QFETCH(int, icons);
        QFETCH(int, textHeight);
        QFETCH(int, icon);
        QFETCH(int, textLeft);
        QFETCH(int, buttonTop);
        QFETCH(QString, invalid);

        MyMsgBoxRequest r = row({"&OK"});
        r.icons = icons;
        const MyMsgBoxLayout l = MyMsgBoxLayout::compute(r, metrics(textHeight, 375, 480));
        QCOMPARE(int(l.icon), icon);
        QCOMPARE(l.invalidIcons, invalid);
        QCOMPARE(l.text, QRect(textLeft, 200, 5745 - 200 - textLeft, textHeight));
        QCOMPARE(l.picture.isEmpty(), l.icon == MsgIcon::None);
        if (l.icon != MsgIcon::None)
            QCOMPARE(l.picture, QRect(200, 200, 480, 480));
        QCOMPARE(l.buttons[0].top(), buttonTop);
        QCOMPARE(l.windowHeight, 375 + buttonTop + 600);
    }

    void focusAndCaption() {
        MyMsgBoxRequest r = row({"&Yes", "&No"});
        const QList<QPair<int, int>> cases{{1, 1}, {2, 2}, {3, 1}, {0, 1}, {-2, 1}};
        for (const auto& [asked, expected] : cases) {
            r.focusButton = asked;
            QCOMPARE(MyMsgBoxLayout::compute(r, {}).focusButton, expected);
        }
        QCOMPARE(MyMsgBoxLayout::compute(r, {}).caption, QStringLiteral("STAVELY"));
        r.title = QStringLiteral("SCAN FOR SYSTEM CONTROLLER");
        QCOMPARE(MyMsgBoxLayout::compute(r, {}).caption, QStringLiteral("SCAN FOR SYSTEM CONTROLLER"));
    }

    void verticalRows() {
        MyMsgBoxRequest r = row({"&One", "&Two", "&Three"});
        r.vertical = true;
        MyMsgBoxMetrics m = metrics(300, 375);
        m.descriptionHeights = {200, 600, 375, 900};
        const MyMsgBoxLayout l = MyMsgBoxLayout::compute(r, m);

        QCOMPARE(l.buttonCount, 3);
        // A description shorter than its button drops by 75; each row starts 150 below the taller.
        QCOMPARE(l.buttons[0], QRect(200, 700, 1260, 375));
        QCOMPARE(l.descriptions[0], QRect(1610, 775, 3935, 200));
        QCOMPARE(l.buttons[1], QRect(200, 1225, 1260, 375));
        QCOMPARE(l.descriptions[1], QRect(1610, 1225, 3935, 600));
        QCOMPARE(l.buttons[2], QRect(200, 1975, 1260, 375));
        QCOMPARE(l.descriptions[2], QRect(1610, 1975, 3935, 375));
        QCOMPARE(l.windowHeight, 1975 + 375 + 600);
        QVERIFY(!l.buttonVisible[3]);
        QVERIFY(!l.descriptionVisible[3]);
        QVERIFY(l.descriptionVisible[2]);
    }

    void verticalLastRowTallDescription() {
        MyMsgBoxRequest r = row({"&One", "", "&Three"}, false, 1.2);
        r.vertical = true;
        r.icons = 64;
        MyMsgBoxMetrics m = metrics(300, 375, 480);
        m.descriptionHeights = {1000, 0, 0, 0};
        const MyMsgBoxLayout l = MyMsgBoxLayout::compute(r, m);
        QCOMPARE(l.buttonCount, 1);
        QCOMPARE(l.windowWidth, 6894);
        QCOMPARE(l.buttons[0].top(), 880);
        QCOMPARE(l.descriptions[0], QRect(1610, 880, 6894 - 1610 - 200, 1000));
        QCOMPARE(l.windowHeight, 880 + 1000 + 600);
        QVERIFY(!l.buttonVisible[2]);
    }
};

STAVELY_TEST(MyMsgBoxLayoutTest)
#include "MyMsgBoxLayoutTest.moc"
