#include "params/WindowPlacement.h"
#include "base/Twips.h"
#include "params/SettingsStore.h"
#include "tests/support/TestRegistry.h"

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
        w.setGeometry(10, 20, 150, 90);
        RestoreWindowPlacement(store, w);
        QCOMPARE(w.pos(), QPoint(10, 20));
        QCOMPARE(w.size(), QSize(150, twipsToPixels(2880)));
    }
};

STAVELY_TEST(WindowPlacementTest)
#include "WindowPlacementTest.moc"
