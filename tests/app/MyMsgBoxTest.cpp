#include "app/MyMsgBox.h"
#include "base/Twips.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {
QPushButton* button(QWidget* box, int i) {
    return box->findChild<QPushButton*>(QStringLiteral("cmdButton%1").arg(i));
}
} // namespace

class MyMsgBoxTest : public QObject {
    Q_OBJECT
private slots:
    void accessKeyClicksItsButton_data() {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("expected");
        QTest::newRow("R retries") << QStringList{"&Retry", "&Cancel"} << "R" << 1;
        QTest::newRow("C cancels") << QStringList{"&Retry", "&Cancel"} << "C" << 2;
        QTest::newRow("lower case key") << QStringList{"&Retry", "&Cancel"} << "c" << 2;
        QTest::newRow("key inside caption") << QStringList{"&Scan", "&Exit program", "C&ontinue"} << "o" << 3;
        QTest::newRow("unmatched keys ignored") << QStringList{"&Scan", "&Exit program"} << "xqE" << 2;
        QTest::newRow("first match wins") << QStringList{"&Abort", "&All", "&Back"} << "a" << 1;
    }

    void accessKeyClicksItsButton() {
        QFETCH(QStringList, captions);
        QFETCH(QString, keys);
        QFETCH(int, expected);

        ScriptedOperator op;
        MyMsgBox box(op);
        bool openAfterUnmatched = true;
        whenModal<MyMsgBox>([&](MyMsgBox* w) {
            for (int i = 0; i < keys.size(); ++i) {
                QTest::keyClicks(focusTarget(w), keys.mid(i, 1));
                if (i + 1 < keys.size())
                    openAfterUnmatched = openAfterUnmatched && w->isVisible();
            }
        });
        const int result = box.Go(QStringLiteral("Try again?"), captions.value(0), captions.value(1),
                                  captions.value(2), captions.value(3));
        QCOMPARE(result, expected);
        QVERIFY(openAfterUnmatched);
        QCOMPARE(op.beeps, 0);
    }

    void closeControlAndEscape() {
        ScriptedOperator op;
        MyMsgBox box(op);
        bool openAfterEscape = false;
        whenModal<MyMsgBox>([&](MyMsgBox* w) {
            QTest::keyClick(focusTarget(w), Qt::Key_Escape);
            openAfterEscape = w->isVisible();
            w->close();
        });
        QCOMPARE(box.Go(QStringLiteral("Close me"), QStringLiteral("&Yes"), QStringLiteral("&No")), 0);
        QVERIFY(openAfterEscape);

        // The same window answers the next request afresh.
        whenModal<MyMsgBox>([](MyMsgBox* w) { button(w, 1)->click(); });
        QCOMPARE(box.Go(QStringLiteral("Again"), QStringLiteral("&Yes"), QStringLiteral("&No")), 2);
    }

    void focusButtonTakesEnter() {
        ScriptedOperator op;
        MyMsgBox box(op);
        QWidget* focused = nullptr;
        bool topMost = false;
        QString caption;
        whenModal<MyMsgBox>([&](MyMsgBox* w) {
            focused = w->focusWidget();
            topMost = w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            caption = w->windowTitle();
            QTest::keyClick(focusTarget(w), Qt::Key_Return);
        });
        const int result = box.Go(QStringLiteral("Which?"), QStringLiteral("&One"), QStringLiteral("&Two"),
                                  QStringLiteral("T&hree"), {}, false, 0, {}, 3);
        QCOMPARE(result, 3);
        QCOMPARE(focused, button(&box, 2));
        QVERIFY(topMost);
        QVERIFY(!box.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(caption, QStringLiteral("STAVELY"));
    }

    void controlsFollowTheLayout() {
        ScriptedOperator op;
        MyMsgBox box(op);
        QList<bool> visible;
        QList<QRect> geometry;
        QSize size;
        bool pictureShown = true;
        whenModal<MyMsgBox>([&](MyMsgBox* w) {
            for (int i = 0; i < 4; ++i) {
                visible.append(button(w, i)->isVisible());
                geometry.append(button(w, i)->geometry());
            }
            size = w->size();
            pictureShown = w->findChild<QLabel*>(QStringLiteral("Picture1"))->isVisible();
            button(w, 0)->click();
        });
        box.Go(QStringLiteral("Line one\rLine two\r\nLine three"), QStringLiteral("&Yes"), {},
               QStringLiteral("&Ghost"), {}, false, 0, QStringLiteral("QUESTION"));
        const MyMsgBoxLayout& l = box.lastLayout();
        QCOMPARE(visible, (QList<bool>{true, false, false, false}));
        QCOMPARE(geometry[0], QRect(twipsToPixels(2242), twipsToPixels(l.buttons[0].top()),
                                    twipsToPixels(1260), twipsToPixels(l.buttons[0].height())));
        QCOMPARE(size, QSize(twipsToPixels(5745), twipsToPixels(l.windowHeight)));
        QVERIFY(!pictureShown);
        // Three lines of text need more room than one.
        QVERIFY(l.text.height() > 2 * pixelsToTwips(QFontMetrics(box.font()).height()));
        QCOMPARE(box.findChild<QLabel*>(QStringLiteral("lblText"))->text(),
                 QStringLiteral("Line one\nLine two\nLine three"));
    }

    void iconBeepsAndBadIconsAreReported() {
        ScriptedOperator op;
        MyMsgBox box(op);
        bool pictureShown = false;
        whenModal<MyMsgBox>([&](MyMsgBox* w) {
            pictureShown = w->findChild<QLabel*>(QStringLiteral("Picture1"))->isVisible();
            button(w, 0)->click();
        });
        box.Go(QStringLiteral("Careful"), QStringLiteral("&Yes"), QStringLiteral("&No"), {}, {}, false,
               48 + 4);
        QVERIFY(pictureShown);
        QCOMPARE(op.beeps, 1);
        QVERIFY(op.prompts.isEmpty());
        QCOMPARE(box.lastLayout().text.left(), box.lastLayout().picture.width() + 400);

        op.answer(MsgResult::Ok);
        whenModal<MyMsgBox>([&](MyMsgBox* w) {
            pictureShown = w->findChild<QLabel*>(QStringLiteral("Picture1"))->isVisible();
            button(w, 1)->click();
        });
        QCOMPARE(box.Go(QStringLiteral("Odd icon"), QStringLiteral("&Yes"), QStringLiteral("&No"), {}, {},
                        false, 80),
                 2);
        QVERIFY(!pictureShown);
        QCOMPARE(op.beeps, 1);
        QCOMPARE(op.prompts.size(), 1);
        QCOMPARE(op.last().kind, QStringLiteral("msgBox"));
        QCOMPARE(op.last().text, QStringLiteral("Invalid Icons bit in MyMsgBox.Go: 80 (remnant 80)"));
        QCOMPARE(op.last().style, int(MsgStyle::OkOnly));
    }

    void verticalShowsDescriptions() {
        ScriptedOperator op;
        MyMsgBox box(op);
        QStringList infos;
        QList<bool> infoVisible;
        whenModal<MyMsgBox>([&](MyMsgBox* w) {
            for (int i = 0; i < 4; ++i) {
                auto* info = w->findChild<QLabel*>(QStringLiteral("lblButtonInfo%1").arg(i));
                infos.append(info->text());
                infoVisible.append(info->isVisible());
            }
            QTest::keyClick(focusTarget(w), Qt::Key_D);
        });
        const int result = box.GoVertical(QStringLiteral("Pick a mode"), QStringLiteral("&Speed"),
                                          QStringLiteral("Constant capstan speed"), QStringLiteral("&Dwell"),
                                          QStringLiteral("Hold the load\rthen release"));
        QCOMPARE(result, 2);
        QCOMPARE(infoVisible, (QList<bool>{true, true, false, false}));
        QCOMPARE(infos.mid(0, 2), (QStringList{QStringLiteral("Constant capstan speed"),
                                               QStringLiteral("Hold the load\nthen release")}));
        const MyMsgBoxLayout& l = box.lastLayout();
        QCOMPARE(l.buttons[0].left(), 200);
        QCOMPARE(l.buttons[1].left(), 200);
        QVERIFY(l.buttons[1].top() >= l.buttons[0].bottom() + 150);
        QCOMPARE(l.descriptions[1].left(), 1610);
    }
};

STAVELY_TEST(MyMsgBoxTest)
#include "MyMsgBoxTest.moc"
