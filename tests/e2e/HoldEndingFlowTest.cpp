#include "instrument/Motion.h"
#include "results/DataLine.h"
#include "tests/e2e/DefaultFiberRig.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/TestRegistry.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

enum class HoldEnding { StopRecorded, StopDropped, PortBack, PortGoneForGood, EndOfTravel, NotFollowing };

const QString RunoutTitle = QStringLiteral("RUN-OUT");
const QString ReplaceTitle = QStringLiteral("REPLACE THE FIBER");
const QString HoldTimeout = QStringLiteral("COMMUNICATIONS TIMEOUT");
const QString NoTitle; // the serial error, and the program's own questions

// A fiber that outlives every hold (no stress corrosion) on a 20 mm gauge with little slack, held at
// 40 N (about 3.3 GPa).
SimConfig holdConfig() {
    SimConfig c;
    c.seed = 23;
    c.gaugeMm = 20;
    c.slackSteps = 50;
    c.takeUpSteps = 50;
    c.fatigueN = 0;
    c.instant = true;
    return c;
}

} // namespace

class HoldEndingFlowTest : public QObject {
    Q_OBJECT
private slots:
    // A hold ended half a second in by something other than the break: the operator's stop offers a
    // run-out once the fiber is unloaded, and records it only on Yes; a lost port or the end of the
    // travel stop the capstans where the line can carry it, say what happened, and record nothing.
    void holdEndedWithoutABreak_data() {
        QTest::addColumn<int>("ending");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<bool>("recorded"); // a run-out row
        QTest::addColumn<bool>("unloaded"); // the fiber unloaded at the end
        auto row = [](const char* name, HoldEnding e, const QStringList& titles, bool recorded,
                      bool unloaded) { QTest::newRow(name) << int(e) << titles << recorded << unloaded; };
        row("stop, run-out recorded", HoldEnding::StopRecorded, {RunoutTitle, ReplaceTitle}, true, true);
        row("stop, nothing recorded", HoldEnding::StopDropped, {RunoutTitle, ReplaceTitle}, false, true);
        // The time held before the fault is kept, as a run-out the statistics leave out.
        row("port lost and back", HoldEnding::PortBack, {NoTitle, HoldTimeout, RunoutTitle}, true, false);
        row("port lost for good", HoldEnding::PortGoneForGood,
            {NoTitle, HoldTimeout, NoTitle, QStringLiteral("CAPSTANS MAY STILL BE TURNING")}, false, false);
        row("end of travel", HoldEnding::EndOfTravel,
            {QStringLiteral("HARD LIMIT"), QStringLiteral("NO BREAK DETECTED")}, false, false);
        // The fiber slips: the load stays short of the level whatever the capstans do.
        row("load does not follow", HoldEnding::NotFollowing, {QStringLiteral("HOLD ENDED")}, false, false);
    }

    void holdEndedWithoutABreak() {
        QFETCH(int, ending);
        QFETCH(QStringList, titles);
        QFETCH(bool, recorded);
        QFETCH(bool, unloaded);
        const auto e = HoldEnding(ending);

        DefaultFiberRig rig(holdConfig());
        QVERIFY(rig.start({{QStringLiteral("GaugeLength"), QStringLiteral("20")},
                           {QStringLiteral("ExptType"), QStringLiteral("3")},
                           {QStringLiteral("PreloadType"), QStringLiteral("1")},
                           {QStringLiteral("PreloadLoad"), QStringLiteral("40")},
                           {QStringLiteral("PreloadSpeedMode"), QStringLiteral("0")}}));
        QFile data(rig.dataFile());
        QVERIFY(data.open(QIODevice::ReadOnly));
        const QByteArray before = data.readAll();
        data.close();

        // Strike half a second into the hold.
        Motion& motion = rig.program->motion();
        QElapsedTimer holding;
        bool struck = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (!holding.isValid()) {
                if (motion.holding())
                    holding.start();
                return;
            }
            if (struck || holding.elapsed() < 500)
                return;
            struck = true;
            switch (e) {
            case HoldEnding::StopRecorded:
            case HoldEnding::StopDropped:
                motion.StopPressed();
                break;
            case HoldEnding::PortBack:
            case HoldEnding::PortGoneForGood:
                rig.sim.vanish();
                break;
            case HoldEnding::NotFollowing:
                rig.sim.update([](SimInstrument& i) {
                    i.removeFiber();
                    i.setExtraLoad(32);
                });
                break;
            case HoldEnding::EndOfTravel:
                // The open limit trips, and a load that seems to fall calls for a move towards it.
                rig.sim.update([](SimInstrument& i) {
                    i.setLimitSwitches(false, true);
                    i.setExtraLoad(-1);
                });
                break;
            }
        });
        watch.start(20);
        QTimer closer; // the plot window of a run-out
        connect(&closer, &QTimer::timeout, [&rig] {
            frmLoadTimePlots* plots = rig.program->plotWindow();
            if (plots != nullptr && plots->isVisible())
                plots->cmdClose->click();
        });
        closer.start(50);

        double loadAtQuestion = -1;
        auto answer = [&](const Prompt& p) -> QVariant {
            if (p.title == RunoutTitle) {
                loadAtQuestion = rig.sim.state().load;
                return int(e == HoldEnding::StopRecorded || e == HoldEnding::PortBack ? MsgResult::Yes
                                                                                      : MsgResult::No);
            }
            if (p.title == HoldTimeout) {
                if (e == HoldEnding::PortBack &&
                    rig.sim.startInThread(rig.dir.filePath(QStringLiteral("COM1"))))
                    return 1; // Retry
                return 2;     // Cancel
            }
            if (p.text.startsWith(QStringLiteral("Are you sure you want to terminate")))
                return int(MsgResult::Yes);
            return int(MsgResult::Ok);
        };
        for (int i = 0; i < 8; ++i)
            rig.op->answerWith(answer);

        const qsizetype promptsBefore = rig.op->prompts.size();
        bool ended = false;
        try {
            rig.program->mainWindow()->findChild<QPushButton*>(QStringLiteral("cmdBreak"))->click();
        } catch (const ProgramEnded&) {
            ended = true;
        }
        watch.stop();
        QVERIFY(struck);

        QStringList seen;
        for (qsizetype i = promptsBefore; i < rig.op->prompts.size(); ++i)
            seen << rig.op->prompts[i].title;
        QVERIFY2(seen == titles, qPrintable(seen.join(QStringLiteral(" | "))));
        QCOMPARE(ended, e == HoldEnding::PortGoneForGood);
        // What stopped the hold is said, and that the fiber is still loaded (no tare is suggested).
        const QString& last = rig.op->last().text;
        if (e == HoldEnding::PortBack)
            QVERIFY2(last.startsWith(QStringLiteral("The hold was stopped by a communication fault")),
                     qPrintable(last));
        if (e == HoldEnding::NotFollowing)
            QVERIFY2(last.startsWith(QStringLiteral("The load does not follow the hold's corrections")),
                     qPrintable(last));
        if (e == HoldEnding::PortBack || e == HoldEnding::EndOfTravel || e == HoldEnding::NotFollowing)
            QVERIFY2(last.contains(QStringLiteral("The fiber is still whole and under load (")),
                     qPrintable(last));
        for (qsizetype i = promptsBefore; i < rig.op->prompts.size(); ++i)
            if (rig.op->prompts[i].title == HoldTimeout)
                QVERIFY2(rig.op->prompts[i].text.endsWith(
                             e == HoldEnding::PortBack || e == HoldEnding::PortGoneForGood
                                 ? QStringLiteral("Stop them at the instrument now.")
                                 : QStringLiteral("The capstans have been stopped.")),
                         qPrintable(rig.op->prompts[i].text));

        // A hold stopped short of the longest one: Enter answers No; the fiber held is to be replaced
        // whatever was recorded, and the operator hears at what and for how long it was held.
        for (qsizetype i = promptsBefore; i < rig.op->prompts.size(); ++i) {
            const Prompt& p = rig.op->prompts[i];
            if (p.title == RunoutTitle && (e == HoldEnding::StopRecorded || e == HoldEnding::StopDropped))
                QCOMPARE(p.style & 0x300, int(MsgStyle::DefaultButton2));
            if (p.title == ReplaceTitle)
                QVERIFY2(p.text.startsWith(QStringLiteral("The fiber was held at 40 N for 0:00:0")) &&
                             p.text.endsWith(QStringLiteral("Replace it before the next test.")),
                         qPrintable(p.text));
        }

        // The capstans stand still once the run is over.
        const qint64 at = rig.sim.state().physical;
        readFor(300);
        QCOMPARE(rig.sim.state().physical, at);
        if (unloaded) {
            QVERIFY2(loadAtQuestion >= 0 && loadAtQuestion < 0.5,
                     qPrintable(QString::number(loadAtQuestion)));
        } else if (!ended) {
            QVERIFY2(rig.sim.state().load > 30, qPrintable(QString::number(rig.sim.state().load)));
        }

        QVERIFY(data.open(QIODevice::ReadOnly));
        const QByteArray after = data.readAll();
        if (!recorded) {
            QCOMPARE(after, before);
            return;
        }
        QVERIFY(after.startsWith(before));
        const QStringList lines = rig.resultLines();
        QCOMPARE(lines.size(), 1);
        DataLine::Fields f;
        QCOMPARE(DataLine::ParseDataLine(lines[0], f), 0);
        QCOMPARE(f[16], e == HoldEnding::PortBack
                            ? QStringLiteral("ignore: communication fault during the hold")
                            : QStringLiteral("runout"));
        QVERIFY2(std::abs(f[2].toDouble() / 40 - 1) < 0.005, qPrintable(f[2]));
        QVERIFY2(f[13].toDouble() >= 0.5 && f[13].toDouble() < 1.5, qPrintable(f[13]));
    }
};

STAVELY_TEST(HoldEndingFlowTest)
#include "HoldEndingFlowTest.moc"
