#include "params/WindowPlacement.h"
#include "base/Twips.h"
#include "params/SettingsStore.h"
#include "tests/support/TestRegistry.h"

#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <cmath>

class WindowPlacementTest : public QObject {
    Q_OBJECT
private slots:

    void placementRoundTripsUnderTheWindowsName() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("w.ini")));
        QWidget saved;
        saved.setObjectName(QStringLiteral("frmLoadTime"));
        saved.setGeometry(40, 60, 320, 240);
        SaveWindowPlacement(store, saved);
        const QString top = store.getText(QStringLiteral("STAVELY"), QStringLiteral("frmLoadTime_Top"), {});
        QCOMPARE(top.toDouble(), double(float(pixelsToTwips(saved.y()))));
        QVERIFY(!top.contains(QLatin1Char('e')));
        QVERIFY(store.contains(QStringLiteral("STAVELY"), QStringLiteral("frmLoadTime_Height")));

        QWidget restored;
        restored.setObjectName(QStringLiteral("frmLoadTime"));
        restored.setGeometry(0, 0, 100, 100);
        RestoreWindowPlacement(store, restored);
        QCOMPARE(restored.pos(), saved.pos());
        QCOMPARE(restored.size(), saved.size());
    }

    void missingOrBadValuesKeepTheCurrentPlacement() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("w.ini")));
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("frmPlot_Width"), QStringLiteral("wide"));
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("frmPlot_Height"), QStringLiteral("2880"));
        // Numbers no screen has, whose pixels would not fit an int.
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("frmPlot_Top"), QStringLiteral("3e9"));
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("frmPlot_Left"), QStringLiteral("-1e300"));
        QWidget w;
        w.setObjectName(QStringLiteral("frmPlot"));
        w.setGeometry(10, 40, 150, 90);
        RestoreWindowPlacement(store, w);
        QCOMPARE(w.pos(), QPoint(10, 40));
        QCOMPARE(w.size(), QSize(150, twipsToPixels(2880)));
    }

    // A placement remembered on a larger screen, or a window made for one, comes back whole onto a
    // laptop's 1366 x 768 (a 32 px task bar below, a 30 px title bar and 4 px borders around).
    void windowsComeBackOntoASmallScreen() {
        const QRect screen(0, 0, 1366, 736);
        const QMargins frame(4, 30, 4, 4);
        struct Case {
            QRect client, placed;
        };
        const QList<Case> cases{
            {{100, 100, 800, 600}, {100, 100, 800, 600}},  // fits: left alone
            {{1500, 900, 800, 600}, {562, 132, 800, 600}}, // from a second screen: pulled in
            {{-300, -50, 640, 480}, {4, 30, 640, 480}},    // off the top left
            {{50, 40, 1408, 720}, {4, 30, 1358, 702}},     // too large: shrunk to the screen
            {{200, 80, 1000, 900}, {200, 30, 1000, 702}},  // too tall only
        };
        for (const Case& c : cases) {
            const QRect placed = PlaceOnScreen(c.client, frame, screen);
            QCOMPARE(placed, c.placed);
            QVERIFY(screen.contains(placed.marginsAdded(frame)));
        }
        // The moving window with its live curve, shown over the main window's foot: whatever side
        // a panel takes, the frame ends inside what the panel leaves.
        const QRect moving(420, 250, 560, 520);
        const QList<QRect> panelsLeave{{0, 0, 1366, 736},   // a panel at the bottom
                                       {0, 32, 1366, 736},  // at the top
                                       {48, 0, 1318, 768},  // on the left
                                       {0, 24, 1366, 712}}; // one at the top and one below
        for (const QRect& available : panelsLeave) {
            const QRect placed = PlaceOnScreen(moving, frame, available);
            QVERIFY2(available.contains(placed.marginsAdded(frame)), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                                    .arg(placed.x())
                                                                                    .arg(placed.y())
                                                                                    .arg(placed.width())
                                                                                    .arg(placed.height())));
            QCOMPARE(placed.width(), moving.width());
        }
        // A window whose stored placement lies off the screen is brought back when restored.
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("w.ini")));
        QWidget far;
        far.setObjectName(QStringLiteral("frmFar"));
        far.setGeometry(5000, 4000, 300, 200);
        SaveWindowPlacement(store, far);
        QWidget back;
        back.setObjectName(QStringLiteral("frmFar"));
        RestoreWindowPlacement(store, back);
        QVERIFY(back.screen()->availableGeometry().contains(back.geometry()));
        QCOMPARE(back.size(), QSize(300, 200));
    }
};

STAVELY_TEST(WindowPlacementTest)
#include "WindowPlacementTest.moc"
