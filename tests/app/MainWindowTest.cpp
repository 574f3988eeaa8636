#include "app/frmMain.h"
#include "tests/support/TestRegistry.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void menusByObjectName() {
        frmMain window;
        window.load(QStringLiteral("STAVELY - Control Program for the Stavely Tester"), false);
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("STAVELY - Control Program for the Stavely Tester"));

        QStringList menus;
        for (QAction* a : window.menuBar()->actions())
            menus << a->text();
        QCOMPARE(menus, (QStringList{"&File", "&Data sheet", "Export &data", "Copy Special", "&Miscellaneous",
                                     "&Help"}));

        const QList<std::pair<const char*, const char*>> entries{
            {"mnuFileOpen", "&Open data file"},
            {"mnuFileSaveas", "&Save data file as"},
            {"mnuFileExit", "E&xit program"},
            {"mnuOptionsHardware", "&Hardware setup"},
            {"mnuOptionsCalculator", "&Calculator"},
            {"mnuOptionsOptions", "&Options"},
            {"mnuOptionsNoisy", "&Noisy - click when motor steps"},
            {"mnuHelpContents", "&Help"},
            {"mnuCheckNewVersion", "&Check for newer version"},
            {"mnuHelpAbout", "&About"},
        };
        for (const auto& [name, caption] : entries) {
            auto* action = window.findChild<QAction*>(QLatin1String(name));
            QVERIFY2(action, name);
            QCOMPARE(action->text(), QString::fromUtf8(caption));
        }
        QCOMPARE(window.findChild<QAction*>(QStringLiteral("mnuHelpContents"))->shortcut(),
                 QKeySequence(Qt::Key_F1));
        QVERIFY(window.statusBar()->isVisible());
    }

    void noisyEntryIsACheckMark() {
        frmMain window;
        auto* noisy = window.findChild<QAction*>(QStringLiteral("mnuOptionsNoisy"));
        QSignalSpy toggled(&window, &frmMain::noisyToggled);
        window.setNoisyChecked(true);
        QVERIFY(noisy->isChecked());
        QCOMPARE(toggled.count(), 0); // setting the mark is not the operator's toggle
        noisy->trigger();
        QCOMPARE(toggled.count(), 1);
        QCOMPARE(toggled.at(0).at(0).toBool(), false);
    }

    void unloadHandlerDecidesTheClose() {
        frmMain window;
        window.show();
        bool allow = false;
        int asked = 0;
        window.setUnloadHandler([&] {
            ++asked;
            return allow;
        });
        window.findChild<QAction*>(QStringLiteral("mnuFileExit"))->trigger();
        QCOMPARE(asked, 1);
        QVERIFY(window.isVisible());
        allow = true;
        QVERIFY(window.close());
        QCOMPARE(asked, 2);
        QVERIFY(!window.isVisible());
    }
};

STAVELY_TEST(MainWindowTest)
#include "MainWindowTest.moc"
