#include "instrument/ApTimer.h"
#include "tests/support/TestRegistry.h"

#include <QTest>
#include <QTimer>
#include <ctime>

class ApTimerTest : public QObject {
    Q_OBJECT
private slots:
    void zeroIntervalExpiresOnNextTick() {
        IntervalTimer t;
        ApTimer::SetTimer(t, 0);
        while (ApTimer::Now() == t.Deadline) {
        }
        QVERIFY(ApTimer::Expired(t));
    }

    void restartAfterExpiryGivesFullInterval() {
        IntervalTimer t;
        ApTimer::SetTimer(t, 0.01f);
        ApTimer::DelayMs(20);
        QVERIFY(ApTimer::Expired(t));
        QVERIFY(ApTimer::RemainingSeconds(t) < 0);
        ApTimer::RestartTimer(t);
        QVERIFY(!ApTimer::Expired(t));
        QVERIFY(ApTimer::RemainingSeconds(t) > 0.009);
        QCOMPARE(t.Deadline - t.Start, qint64(0.01 * double(ApTimer::CounterFrequency()) + 0.5));
    }

    void delayRunsEventsWithoutSpinning() {
        bool fired = false;
        QTimer::singleShot(30, [&] { fired = true; });
        const std::clock_t cpu0 = std::clock();
        IntervalTimer t;
        ApTimer::SetTimer(t, 0);
        ApTimer::DelayMs(100);
        const double elapsed = ApTimer::ElapsedSeconds(t);
        const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
        QVERIFY(fired);
        QVERIFY2(elapsed >= 0.1 && elapsed < 0.2, qPrintable(QString::number(elapsed)));
        QVERIFY2(cpu < 0.05, qPrintable(QStringLiteral("cpu %1 s").arg(cpu)));
    }

    void waitStopsEarlyWhenWoken() {
        bool flag = false;
        QTimer::singleShot(20, [&] {
            flag = true;
            ApTimer::Wake();
        });
        IntervalTimer t;
        ApTimer::SetTimer(t, 5);
        QVERIFY(ApTimer::WaitUntil(t, [&] { return flag; }));
        QVERIFY(ApTimer::ElapsedSeconds(t) < 1);
    }
};

STAVELY_TEST(ApTimerTest)
#include "ApTimerTest.moc"
