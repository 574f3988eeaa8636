#include "instrument/Motion.h"
#include "instrument/MoveReport.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

class MotionRulesTest : public QObject {
    Q_OBJECT
private slots:
    void reportedEndings_data() {
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("mask");
        QTest::addColumn<QString>("title"); // empty: not reported
        QTest::addColumn<QString>("text");
        const QString overload = QStringLiteral("The load cell signal is too high. The load cell could be "
                                                "overloaded and might be damaged if loaded further.");
        QTest::newRow("done") << 0 << 255 << QString() << QString();
        QTest::newRow("operator stop, bit 1 set") << 1 << 1 << QString() << QString();
        QTest::newRow("operator stop, all bits") << 1 << 255 << QString() << QString();
        QTest::newRow("contact") << 2 << 2 << "CONTACT DETECTED"
                                 << "Faceplates in unexpected contact";
        QTest::newRow("contact, other bits") << 2 << 255 - 2 << QString() << QString();
        QTest::newRow("break, bend product only") << 3 << 255 << QString() << QString();
        QTest::newRow("hard limit") << 4 << 8 << "HARD LIMIT"
                                    << "Hard limit detected";
        QTest::newRow("hard limit, homing back") << 4 << 95 << "HARD LIMIT"
                                                 << "Hard limit detected";
        QTest::newRow("hard limit, not asked") << 4 << 0 << QString() << QString();
        QTest::newRow("contact disabled") << 5 << 16 << "NOT SAFE TO MOVE"
                                          << "Contact detection is disabled";
        QTest::newRow("overload") << 7 << 64 << "NOT SAFE TO MOVE" << overload;
        QTest::newRow("overload, bit 4 only") << 7 << 4 << QString() << QString();
        QTest::newRow("uninterpreted 6") << 6 << 255 << QString() << QString();
        QTest::newRow("local control, no bits") << 10 << 0 << "DRIVE UNDER LOCAL CONTROL"
                                                << "Stepper motor drive is in local control mode";
        QTest::newRow("local control, bit 1 only") << 10 << 1 << "DRIVE UNDER LOCAL CONTROL"
                                                   << "Stepper motor drive is in local control mode";
    }
    void reportedEndings() {
        QFETCH(int, result);
        QFETCH(int, mask);
        QFETCH(QString, title);
        QFETCH(QString, text);
        const auto report = ReportMoveResult(result, mask);
        if (title.isEmpty()) {
            QVERIFY(!report.has_value());
            return;
        }
        QVERIFY(report.has_value());
        QCOMPARE(report->title, title);
        QCOMPARE(report->text, text);
    }

    void loadText() {
        QCOMPARE(Motion::LoadText(1.23f), QStringLiteral("Load  1.23 N"));
        QCOMPARE(Motion::LoadText(-0.12f), QStringLiteral("Load -0.12 N"));
        QCOMPARE(Motion::LoadText(0.0f), QStringLiteral("Load  0.00 N"));
        QCOMPARE(Motion::LoadText(12.345f), QStringLiteral("Load  12.35 N"));
        QCOMPARE(Motion::PeakText(7.5f), QStringLiteral(" max 7.50 N"));
    }

    void pollPeriod() {
        QCOMPARE(Motion::PollPeriod(0), 0.3f); // not set by any break run yet
        QCOMPARE(Motion::PollPeriod(-1), 0.3f);
        QCOMPARE(Motion::PollPeriod(0.12f), 0.12f);
        QCOMPARE(Motion::PollPeriod(0.3f), 0.3f);
        QCOMPARE(Motion::PollPeriod(2.0f), 0.3f);
    }

    void breakRuleInSinglePrecision() {
        QVERIFY(Motion::BreakDetected(0.5f, 10, 4.9f, 5));
        QVERIFY(!Motion::BreakDetected(0.5f, 10, 5.0f, 5)); // a drop to exactly the fraction is no break
        QVERIFY(!Motion::BreakDetected(0.5f, 5, 1.0f, 5));  // the peak must be above the minimum
        // In double precision 0.3f * 10 lies above the single-precision product; the rule must not see a
        // drop where the loads are equal as kept.
        const float current = 0.3f * 10.0f;
        QVERIFY(double(0.3f) * 10.0 > double(current));
        QVERIFY(!Motion::BreakDetected(0.3f, 10.0f, current, 5));
    }

    void baseOutputByte() {
        QCOMPARE(Motion::BaseOutputByte(6), 0);
        QCOMPARE(Motion::BaseOutputByte(0), 2);
        QCOMPARE(Motion::BaseOutputByte(1 | 8), 1 | 2 | 8);
        QCOMPARE(Motion::BaseOutputByte(0xFF), 1 | 8);
    }
};

STAVELY_TEST(MotionRulesTest)
#include "MotionRulesTest.moc"
