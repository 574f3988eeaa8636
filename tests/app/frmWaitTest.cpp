#include "app/frmWait.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/TestRegistry.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <ctime>

namespace {
QPushButton* child(QWidget* w, const char* name) {
    return w->findChild<QPushButton*>(QLatin1String(name));
}

double shownSeconds(QWidget* w) {
    const QString text = w->findChild<QLabel*>(QStringLiteral("lblTimeLeft"))->text();
    static const QString head = QStringLiteral("Waiting for "), tail = QStringLiteral(" seconds");
    if (!text.startsWith(head) || !text.endsWith(tail))
        return -1;
    return QLocale().toDouble(text.mid(head.size(), text.size() - head.size() - tail.size()));
}
} // namespace

class frmWaitTest : public QObject {
    Q_OBJECT
private slots:
    void windowAsLoaded() {
        frmWait w;
        QStringList captions;
        for (int i = 0; i < 4; ++i)
            captions.append(w.findChild<QPushButton*>(QStringLiteral("cmdIncrement%1").arg(i))->text());
        QCOMPARE(captions, (QStringList{"+10", "+60", "-10", "-60"}));
        QCOMPARE(child(&w, "CancelButton")->text(), QStringLiteral("&Cancel"));
        QCOMPARE(child(&w, "ContinueButton")->text(), QStringLiteral("C&ontinue"));
        QCOMPARE(w.findChild<QTimer*>(QStringLiteral("frmWaitTimer"))->interval(), 100);

        const QLocale saved;
        QLocale::setDefault(QLocale::c());
        QCOMPARE(frmWait::timeLeftText(14.96), QStringLiteral("Waiting for 15.0 seconds"));
        QCOMPARE(frmWait::timeLeftText(1234.04), QStringLiteral("Waiting for 1234.0 seconds"));
        QLocale::setDefault(saved);
    }

    void plusTenLengthensThenContinueEndsAtOnce() {
        frmWait w;
        double before = -1, after = -1;
        QWidget* focused = nullptr;
        QString title;
        whenModal<frmWait>([&](frmWait* dlg) {
            focused = dlg->focusWidget();
            title = dlg->windowTitle();
            before = shownSeconds(dlg);
            QTest::mouseClick(child(dlg, "cmdIncrement0"), Qt::LeftButton);
            after = shownSeconds(dlg);
            QTimer::singleShot(250, dlg, [dlg, &after] {
                after = std::min(after, shownSeconds(dlg)); // still counting down after a few ticks
                QTest::mouseClick(child(dlg, "ContinueButton"), Qt::LeftButton);
            });
        });
        QElapsedTimer clock;
        clock.start();
        w.Init(5, QStringLiteral("WAIT BEFORE BREAK"));
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!w.Cancelled);
        QCOMPARE(title, QStringLiteral("WAIT BEFORE BREAK"));
        QCOMPARE(focused, child(&w, "CancelButton"));
        QVERIFY2(before > 4.5 && before <= 5.0, qPrintable(QString::number(before)));
        QVERIFY2(after > 14.0 && after <= 15.0, qPrintable(QString::number(after)));
        QVERIFY(w.remainingSeconds() > 13.0);
    }

    void cancelAndCloseControlCancel() {
        frmWait w;
        whenModal<frmWait>(
            [](frmWait* dlg) { QTest::mouseClick(child(dlg, "CancelButton"), Qt::LeftButton); });
        w.Init(5, QStringLiteral("T"));
        QVERIFY(w.Cancelled);

        whenModal<frmWait>([](frmWait* dlg) { dlg->close(); });
        w.Init(5, QStringLiteral("T"));
        QVERIFY(w.Cancelled);

        // Cancelled is cleared by the next wait.
        whenModal<frmWait>(
            [](frmWait* dlg) { QTest::mouseClick(child(dlg, "ContinueButton"), Qt::LeftButton); });
        w.Init(5, QStringLiteral("T"));
        QVERIFY(!w.Cancelled);
    }

    void runsOutByItselfWithoutSpinning() {
        frmWait w;
        QElapsedTimer clock;
        clock.start();
        const std::clock_t cpu0 = std::clock();
        w.Init(0.3, QStringLiteral("T"));
        const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
        QVERIFY2(clock.elapsed() >= 300 && clock.elapsed() < 1000,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!w.Cancelled);
        QVERIFY2(cpu < 0.15, qPrintable(QStringLiteral("cpu %1 s").arg(cpu)));
    }

    void minusTenEndsAShortWait() {
        frmWait w;
        whenModal<frmWait>(
            [](frmWait* dlg) { QTest::mouseClick(child(dlg, "cmdIncrement2"), Qt::LeftButton); });
        QElapsedTimer clock;
        clock.start();
        w.Init(5, QStringLiteral("T"));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!w.Cancelled);
    }
};

STAVELY_TEST(frmWaitTest)
#include "frmWaitTest.moc"
