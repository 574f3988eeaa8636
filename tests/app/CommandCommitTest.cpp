#include "tests/app/MainRig.h"
#include "tests/support/TestRegistry.h"

#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>

namespace {
enum class Way { ButtonAltKey, MenuBar, Shortcut };

// The main window on screen with "Fiber diameter" being typed into and the focus still in it.
struct Typing {
    MainRig rig;
    QLineEdit* box = nullptr;
    bool start(const QString& typed) {
        rig.window.load(QStringLiteral("STAVELY"), false);
        rig.window.activateWindow();
        if (!QTest::qWaitForWindowActive(&rig.window))
            return false;
        box = rig.find<QLineEdit>("txtDf");
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, typed);
        return box->isModified() && QApplication::focusWidget() == box;
    }
};
} // namespace

// A command reached without the focus leaving the box being typed into first takes the typed value,
// checked as leaving the box would check it; a refused value stops the command.
class CommandCommitTest : public QObject {
    Q_OBJECT
private slots:
    void commandsCommitTheBoxBeingEdited_data() {
        QTest::addColumn<int>("way");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("Alt+E on the exit button") << int(Way::ButtonAltKey) << "80" << true;
        QTest::newRow("Alt+E, value refused") << int(Way::ButtonAltKey) << "5" << false;
        QTest::newRow("a menu opened") << int(Way::MenuBar) << "80" << true;
        QTest::newRow("a menu, value refused") << int(Way::MenuBar) << "abc" << false;
        QTest::newRow("F1") << int(Way::Shortcut) << "90" << true;
    }
    void commandsCommitTheBoxBeingEdited() {
        QFETCH(int, way);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        Typing t;
        QVERIFY(t.start(typed));
        MainRig& rig = t.rig;
        std::optional<double> diameterAtCommand;
        rig.window.setUnloadHandler([&] {
            diameterAtCommand = rig.params.FiberDiameter;
            return false;
        });
        connect(&rig.window, &frmMain::helpRequested, this,
                [&] { diameterAtCommand = rig.params.FiberDiameter; });
        if (!accepted)
            rig.op.answer(MsgResult::Ok);

        switch (Way(way)) {
        case Way::ButtonAltKey:
            QTest::keyClick(t.box, Qt::Key_E, Qt::AltModifier);
            break;
        case Way::Shortcut:
            QTest::keyClick(t.box, Qt::Key_F1);
            break;
        case Way::MenuBar: {
            QMenuBar* bar = rig.window.menuBar();
            QAction* file = bar->actions().first();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file).center());
            // The menu opens only once the value is in force; its entry then runs with it.
            if (QWidget* popup = QApplication::activePopupWidget()) {
                popup->close();
                rig.find<QAction>("mnuFileExit")->trigger();
            }
            break;
        }
        }

        if (accepted) {
            QTRY_VERIFY(diameterAtCommand); // a button's Alt key clicks it a moment later
            QCOMPARE(*diameterAtCommand, typed.toDouble());
            QVERIFY(rig.op.prompts.isEmpty());
        } else {
            QTest::qWait(300);
            QVERIFY(!diameterAtCommand);
            QCOMPARE(rig.params.FiberDiameter, 125.0);
            QCOMPARE(rig.op.prompts.size(), 1);
            QCOMPARE(rig.op.last().title, QStringLiteral("BAD VALUE"));
            QCOMPARE(t.box->text(), QStringLiteral("125"));
            QTRY_COMPARE(QApplication::focusWidget(), t.box);
        }
    }
};

STAVELY_TEST(CommandCommitTest)
#include "CommandCommitTest.moc"
