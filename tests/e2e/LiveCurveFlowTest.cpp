#include "instrument/BreakRunHooks.h"
#include "instrument/LiveCurve.h"
#include "instrument/LiveCurveView.h"
#include "instrument/MoveReport.h"
#include "tests/e2e/MotionRig.h"
#include "tests/support/TestRegistry.h"

#include <QPushButton>
#include <QTimer>

namespace {
// A servo that steers toward 2 N a second.
struct RampHooks : BreakRunHooks {
    int polls = 0;
    void LtSample() override {}
    void svoCheck() override { ++polls; }
    std::optional<double> TargetLoad() const override { return 2.0 * polls * 0.05; }
};
} // namespace

// The moving window's live curve: drawn at every poll of a break run, gone when the move ends, absent
// from ordinary moves.
class LiveCurveFlowTest : public QObject {
    Q_OBJECT
private slots:
    void curveKeepsThePeakAndItsRange() {
        LiveCurve c;
        QVERIFY(c.isEmpty());
        QCOMPARE(c.bounds(), QRectF(0, 0, 1, 1));
        c.add(0.1, 1.0, 0.8);
        c.add(0.4, 3.5, 3.0);
        c.add(0.7, 3.5, 4.2);
        c.add(1.0, -0.2, std::nullopt);
        QCOMPARE(c.peak(), QPointF(0.4, 3.5)); // the earlier of two equal highs
        QCOMPARE(c.bounds(), QRectF(0, -0.2, 1.0, 4.4));
        QCOMPARE(c.target().size(), 3);
        c.clear();
        QVERIFY(c.isEmpty() && c.target().isEmpty());
    }

    void breakRunDrawsLoadAndTargetAtEveryPoll() {
        SimConfig config = SimTest::quietConfig(1.0); // breaks near 12 N
        MotionRig rig(config);
        QVERIFY(rig.start());
        LoadCalibration& cal = rig.loadCell.record(0);
        cal.Slope = CalField::number(config.gain[0]);
        cal.SlopeError = CalField::number(0.1);
        cal.Intercept = CalField::number(config.intercept[0]);
        cal.ZeroOffset = CalField::number(0);
        rig.link.SetLoadSampling(0, 16, -1, 4090);
        RampHooks hooks;
        rig.motion.setBreakRunHooks(&hooks);
        rig.run.BreakRunActive = 1;
        LiveCurveView* view = rig.window.liveCurve();
        qsizetype seen = 0;
        bool shown = false, growing = true;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            shown = shown || view->isVisible();
            growing = growing && view->curve().load().size() >= seen;
            seen = view->curve().load().size();
        });
        watch.start(20);
        QCOMPARE(rig.motion.MoveTo(100000, 5000, 8, 95, QStringLiteral("PULL")), int(MoveStatus::Break));
        watch.stop();
        QVERIFY(shown && growing);
        QVERIFY2(seen >= 2 && seen >= hooks.polls - 1, qPrintable(QString::number(seen)));
        // Gone with the move, ready for the next.
        QVERIFY(view->isHidden());
        QVERIFY(view->curve().isEmpty());

        // An ordinary move draws nothing.
        rig.run.BreakRunActive = 0;
        shown = false;
        QTimer::singleShot(200, [&] { shown = view->isVisible() || !view->curve().isEmpty(); });
        rig.motion.MoveTo(rig.motion.Position() - 2000, 5000, 0, 0, QStringLiteral("BACK"));
        QVERIFY(!shown);
    }

    void pointsOfOneBreakRunKeepTheirTimesAndTargets() {
        MotionRig rig;
        QVERIFY(rig.start());
        RampHooks hooks;
        rig.motion.setBreakRunHooks(&hooks);
        rig.run.BreakRunActive = 1;
        LiveCurveView* view = rig.window.liveCurve();
        QList<QPointF> load, target;
        QTimer::singleShot(900, [&] {
            load = view->curve().load();
            target = view->curve().target();
            rig.window.stopButton()->click();
        });
        rig.motion.MoveTo(100000, 2000, 0, 0, QStringLiteral("PULL"));
        QVERIFY(load.size() >= 2);
        QCOMPARE(target.size(), load.size());
        for (qsizetype i = 1; i < load.size(); ++i) {
            QVERIFY(load[i].x() > load[i - 1].x());
            QCOMPARE(target[i].x(), load[i].x());
            QVERIFY(target[i].y() > target[i - 1].y());
        }
        QVERIFY(load.back().x() < 1.5);
    }
};

STAVELY_TEST(LiveCurveFlowTest)
#include "LiveCurveFlowTest.moc"
