#include "app/Progress.h"
#include "app/Status.h"
#include "base/Twips.h"
#include "tests/support/TestRegistry.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {
// Stand-ins for the program's other windows.
struct OtherWindows {
    QWidget shown;
    QWidget alreadyDisabled;
    QWidget hidden;
    OtherWindows() {
        shown.show();
        alreadyDisabled.setEnabled(false);
        alreadyDisabled.show();
    }
};
} // namespace

class StatusWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void statusTextAndLayout() {
        Status s;
        s.ShowStatus(QStringLiteral("Scanning\rCOM1:"),
                     QStringLiteral("Scanning COM ports for System Controller"), 2, QString());
        auto* label = s.findChild<QLabel*>(QStringLiteral("lblStatus"));
        auto* button = s.findChild<QPushButton*>(QStringLiteral("cmdDone"));
        QVERIFY(s.isVisible());
        QCOMPARE(s.windowTitle(), QStringLiteral("Scanning COM ports for System Controller"));
        QVERIFY(label->alignment().testFlag(Qt::AlignHCenter));
        QVERIFY(button->isHidden());
        QCOMPARE(label->text(), QStringLiteral("Scanning\nCOM1:"));
        QCOMPARE(label->y(), twipsToPixels(300));
        QCOMPARE(s.windowHeightTwips(), s.labelBottomTwips() + 300 + 400);
        QCOMPARE(s.height(), twipsToPixels(s.windowHeightTwips()));
        const int twoLines = s.labelBottomTwips();

        s.AppendStatus(QStringLiteral("  port busy\r\nCOM2:\rCOM3:"));
        QCOMPARE(s.text(), QStringLiteral("Scanning\rCOM1:  port busy\r\nCOM2:\rCOM3:"));
        QVERIFY(s.labelBottomTwips() > twoLines); // the layout follows the text

        s.UpdateStatus(QStringLiteral("Done"));
        QCOMPARE(s.text(), QStringLiteral("Done"));
        QCOMPARE(label->text(), QStringLiteral("Done"));

        s.ShowStatus(QStringLiteral("Waiting"), QStringLiteral("T"), 1, QStringLiteral("OK"));
        QVERIFY(label->alignment().testFlag(Qt::AlignRight));
        QVERIFY(!button->isHidden());
        QVERIFY(!button->isEnabled());
        QCOMPARE(button->text(), QStringLiteral("OK"));
        const int buttonHeight = int(std::lround(pixelsToTwips(button->sizeHint().height())));
        QCOMPARE(s.windowHeightTwips(), s.labelBottomTwips() + 300 + 400 + buttonHeight + 300);
        QCOMPARE(button->y(), twipsToPixels(s.labelBottomTwips() + 300));

        s.StatusDone();
        QVERIFY(!s.isVisible());
    }

    void statusDisablesOtherWindowsWhileShown() {
        OtherWindows others;
        auto status = std::make_unique<Status>();
        status->ShowStatus(QStringLiteral("Busy"), QStringLiteral("T"), 0, QString());
        QVERIFY(!others.shown.isEnabled());
        QVERIFY(status->isEnabled());
        QVERIFY(others.hidden.isEnabled());
        status->StatusDone();
        QVERIFY(others.shown.isEnabled());
        QVERIFY(!others.alreadyDisabled.isEnabled());

        // A window that goes away meanwhile is skipped; destroying a shown window re-enables the rest.
        auto extra = std::make_unique<QWidget>();
        extra->show();
        status->ShowStatus(QStringLiteral("Busy"), QStringLiteral("T"), 0, QString());
        extra.reset();
        status.reset();
        QVERIFY(others.shown.isEnabled());
    }

    void waitForClickWaitsForTheButton() {
        Status s;
        s.ShowStatus(QStringLiteral("No System Controller found"), QStringLiteral("T"), 0,
                     QStringLiteral("OK"));
        auto* button = s.findChild<QPushButton*>(QStringLiteral("cmdDone"));
        bool enabledWhileWaiting = false;
        QTimer::singleShot(150, [&] {
            enabledWhileWaiting = button->isEnabled();
            QTest::mouseClick(button, Qt::LeftButton);
        });
        QElapsedTimer clock;
        clock.start();
        s.WaitForClick();
        QVERIFY(clock.elapsed() >= 140);
        QVERIFY(enabledWhileWaiting);
        QVERIFY(s.clicked());
        QVERIFY(!s.isVisible());

        // Closing the window instead of clicking also ends the wait.
        s.ShowStatus(QStringLiteral("Again"), QStringLiteral("T"), 0, QStringLiteral("OK"));
        QVERIFY(!s.clicked());
        QTimer::singleShot(50, &s, &QWidget::close);
        s.WaitForClick();
        QVERIFY(!s.isVisible());

        // Without a button there is nothing to wait for.
        s.ShowStatus(QStringLiteral("Plain"), QStringLiteral("T"), 0, QString());
        clock.restart();
        s.WaitForClick();
        QVERIFY(clock.elapsed() < 100);
        QVERIFY(!s.isVisible());
    }

    void progressClampsAndHandsBack() {
        OtherWindows others;
        Progress p;
        p.ShowProgress(QStringLiteral("Calibrating"), QStringLiteral("channel 0"), 10, 20);
        auto* bar = p.findChild<QProgressBar*>(QStringLiteral("Bar"));
        auto* status = p.findChild<QLabel*>(QStringLiteral("lblStatus"));
        QVERIFY(p.isVisible());
        QVERIFY(!others.shown.isEnabled());
        QCOMPARE(p.findChild<QLabel*>(QStringLiteral("lblLabel2"))->text(), QStringLiteral("channel 0"));
        QCOMPARE(p.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->text(), QStringLiteral("Cancel"));

        double value = 25;
        p.UpdateProgress(value, QString());
        QCOMPARE(value, 20.0);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(status->text(), QStringLiteral("Calibrating"));

        value = 12.5;
        p.UpdateProgress(value, QStringLiteral("Half way"));
        QCOMPARE(value, 12.5);
        QCOMPARE(bar->value(), Progress::BarSteps / 4);
        QCOMPARE(status->text(), QStringLiteral("Half way"));

        value = -3;
        p.UpdateProgress(value, QString());
        QCOMPARE(value, 10.0);
        QCOMPARE(bar->value(), bar->minimum());

        p.ProgressAppend(QStringLiteral(" - done"));
        QCOMPARE(p.text(), QStringLiteral("Half way - done"));

        // Bounds given the wrong way round still make a range.
        p.ShowProgress(QStringLiteral("Back"), QString(), 5, 1);
        value = 9;
        p.UpdateProgress(value, QString());
        QCOMPARE(value, 5.0);

        QTest::mouseClick(p.findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        QVERIFY(p.Cancelled);
        p.ProgressDone();
        QVERIFY(!p.isVisible());
        QVERIFY(others.shown.isEnabled());
    }
};

STAVELY_TEST(StatusWindowsTest)
#include "StatusWindowsTest.moc"
