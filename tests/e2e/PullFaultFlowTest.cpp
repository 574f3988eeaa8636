#include "app/Program.h"
#include "app/frmMain.h"
#include "instrument/Motion.h"
#include "instrument/PortMap.h"
#include "params/Cp1252.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "results/DataLine.h"
#include "results/frmLoadTimePlots.h"
#include "sim/SimServer.h"
#include "tests/e2e/DefaultFiberRig.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <chrono>
#include <thread>

namespace {

enum class Fault {
    OperatorStop,
    SilenceClearedEarly,
    SilenceClearedLate,
    VanishAndReturn,
    PortGlitch,
    PortBackSoon,
    VanishUntilBreak,
    VanishForGood,
    BadHexOnce,
    BadHexEvery,
    Stray,
    StrayEcho,
    StaleReply,
    SlowChunks,
    OverloadInPull,
    OverloadInPreload,
    LocalControl,
    InterruptResumed,
    InterruptEnded,
};

const QString Timeout = QStringLiteral("COMMUNICATIONS TIMEOUT");
const QString Stopped = QStringLiteral("TEST STOPPED");
const QString Report = QStringLiteral("REPORT RESULTS");
const QString Disturbed = QStringLiteral("RUN DISTURBED");
const QString NoBreak = QStringLiteral("NO BREAK DETECTED");
const QString NotSafe = QStringLiteral("NOT SAFE TO MOVE");
const QString Tare = QStringLiteral("TARE/ZERO LOAD");
const QString Untitled; // the serial error, the garbled reply, questions under the program's title
const QString NoRow = QStringLiteral("-");

// The whole program at a stress rate of 200 MPa/s on a simulated fiber that breaks near 1 GPa
// (about five seconds into the pull), with its data file in a temporary folder.
struct PullOnSim : DefaultFiberRig {
    PullOnSim() : DefaultFiberRig(config()) {}
    static SimConfig config() {
        SimConfig c = SimTest::quietConfig(1.0);
        c.noiseAu = 1;
        return c;
    }
    QString link() const { return dir.filePath(QStringLiteral("COM1")); }

    bool start() {
        return DefaultFiberRig::start({{QStringLiteral("ExptType"), QStringLiteral("1")},
                                       {QStringLiteral("ExptStressRate"), QStringLiteral("200")},
                                       {QStringLiteral("MaxStepRate"), QStringLiteral("6000")},
                                       {QStringLiteral("PreloadType"), QStringLiteral("1")},
                                       {QStringLiteral("PreloadLoad"), QStringLiteral("1")},
                                       {QStringLiteral("PreloadSpeedMode"), QStringLiteral("2")},
                                       {QStringLiteral("PreloadUserSpeed"), QStringLiteral("3000")},
                                       {QStringLiteral("MinBreakLoad"), QStringLiteral("2")},
                                       {QStringLiteral("SaveLoadTimePlots"), QStringLiteral("False")}});
    }

    void faults(const std::function<void(SimFaults&)>& change) {
        sim.update([&](SimInstrument& i) {
            SimFaults f = i.faults();
            change(f);
            i.setFaults(f);
        });
    }
    bool pulling() const {
        const QList<QByteArray> log = sim.commandLog();
        for (qsizetype i = log.size() - 1; i >= 0; --i)
            if (log[i].startsWith('M'))
                return log[i].endsWith("0801"); // check mask 8, one break to detect
        return false;
    }
    QByteArray dataBytes() const {
        QFile f(dataFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

class PullFaultFlowTest : public QObject {
    Q_OBJECT
private slots:
    // Each fault struck a second and a half into a pull: the capstans stop before any fault dialog waits on
    // the operator (when the port can carry the stop), the dialogs say what happened, a disturbed
    // result is recorded only marked to be ignored, nothing else reaches the data file, and the tare
    // suggestion never follows a pull that left the fiber loaded.
    void faultDuringAPull_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("comment"); // of the new row; "-" for none
        QTest::addColumn<bool>("canStop");    // the port can carry the stop at the first fault dialog

        auto row = [](const char* name, Fault f, const QStringList& titles, const QString& comment,
                      bool canStop = false) {
            QTest::newRow(name) << int(f) << titles << comment << canStop;
        };
        const QString faultComment = QStringLiteral("ignore: communication fault during the pull");
        row("operator stop", Fault::OperatorStop, {Stopped}, NoRow);
        row("silence cleared early", Fault::SilenceClearedEarly, {Timeout, Stopped}, NoRow, true);
        row("silence cleared late", Fault::SilenceClearedLate, {Timeout, Timeout, Stopped}, NoRow, true);
        row("vanish and return", Fault::VanishAndReturn, {Untitled, Timeout, Stopped}, NoRow);
        // Back at once (an adapter re-enumerating): the port is opened again and the stop sent.
        row("port glitch", Fault::PortGlitch, {Untitled, Stopped}, NoRow, true);
        row("port back after a moment", Fault::PortBackSoon, {Untitled, Stopped}, NoRow, true);
        // The break is seen only once the port is back: too few points are left for its rates.
        row("vanish until the break", Fault::VanishUntilBreak,
            {Untitled, Timeout, Disturbed, Report, QStringLiteral("RATES SET TO ZERO")}, faultComment);
        row("vanish for good", Fault::VanishForGood,
            {Untitled, Timeout, Untitled, QStringLiteral("CAPSTANS MAY STILL BE TURNING")}, NoRow);
        row("bad hex once", Fault::BadHexOnce, {Timeout, Untitled, Stopped}, NoRow, true);
        row("bad hex on every reply", Fault::BadHexEvery, {Timeout, Untitled, Timeout, Stopped}, NoRow, true);
        row("stray bytes", Fault::Stray, {Report}, QString());
        row("stray echo letter", Fault::StrayEcho, {Report}, QString());
        row("stale reply before each", Fault::StaleReply, {Report}, QString());
        row("slow chunks", Fault::SlowChunks, {Report}, QString());
        row("overload in the pull", Fault::OverloadInPull, {NotSafe, NoBreak}, NoRow);
        row("overload in the preload", Fault::OverloadInPreload, {NotSafe}, NoRow);
        row("local control", Fault::LocalControl, {QStringLiteral("DRIVE UNDER LOCAL CONTROL"), NoBreak},
            NoRow);
        row("interrupt resumed", Fault::InterruptResumed, {Untitled, Disturbed, Report},
            QStringLiteral("ignore: pull interrupted at the instrument"));
        row("interrupt ended", Fault::InterruptEnded, {Untitled, Stopped}, NoRow);
    }

    void faultDuringAPull() {
        QFETCH(int, fault);
        QFETCH(QStringList, titles);
        QFETCH(QString, comment);
        QFETCH(bool, canStop);
        const auto f = Fault(fault);

        PullOnSim run;
        QVERIFY(run.start());
        const QByteArray before = run.dataBytes();
        if (f == Fault::OverloadInPreload)
            run.faults([](SimFaults& s) { s.overload = true; });

        // Strike a second and a half into the pull.
        qint64 struckAt = 0;
        std::thread comeBack;
        QTimer watch;
        QElapsedTimer sincePull;
        connect(&watch, &QTimer::timeout, [&] {
            if (!sincePull.isValid()) {
                if (run.pulling())
                    sincePull.start();
                return;
            }
            if (sincePull.elapsed() < 1500 || struckAt != 0)
                return;
            struckAt = run.sim.state().physical;
            switch (f) {
            case Fault::OperatorStop:
                run.program->motion().StopPressed();
                break;
            case Fault::SilenceClearedEarly:
            case Fault::SilenceClearedLate:
                run.sim.update([](SimInstrument& i) {
                    SimFaults s = i.faults();
                    s.silenceAfter = i.commandCount();
                    i.setFaults(s);
                });
                break;
            case Fault::VanishAndReturn:
            case Fault::VanishUntilBreak:
            case Fault::VanishForGood:
                run.sim.vanish();
                break;
            case Fault::PortGlitch:
                run.sim.vanish();
                run.sim.startInThread(run.link());
                break;
            case Fault::PortBackSoon:
                // Back while the program waits on it, not on a window event.
                run.sim.vanish();
                comeBack = std::thread([&run] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(300));
                    run.sim.startInThread(run.link());
                });
                break;
            case Fault::BadHexOnce:
                run.faults([](SimFaults& s) { s.badHex = SimFaults::BadHex::Next; });
                break;
            case Fault::BadHexEvery:
                run.faults([](SimFaults& s) { s.badHex = SimFaults::BadHex::Every; });
                break;
            case Fault::Stray:
            case Fault::StrayEcho:
            case Fault::StaleReply:
                run.faults([f](SimFaults& s) {
                    s.stray = true;
                    s.strayKind = f == Fault::StrayEcho    ? SimFaults::Stray::EchoLetter
                                  : f == Fault::StaleReply ? SimFaults::Stray::StaleReply
                                                           : SimFaults::Stray::Noise;
                });
                break;
            case Fault::SlowChunks:
                run.faults([](SimFaults& s) {
                    s.chunks = true;
                    s.chunkSize = 8;
                    s.chunkIntervalMs = 40;
                });
                break;
            case Fault::OverloadInPull:
                run.faults([](SimFaults& s) { s.overload = true; });
                break;
            case Fault::LocalControl:
                run.faults([](SimFaults& s) { s.localControl = true; });
                break;
            case Fault::InterruptResumed:
            case Fault::InterruptEnded: {
                const qint32 at = run.sim.state().position + 100;
                run.faults([at](SimFaults& s) { s.interruptAt = at; });
                break;
            }
            case Fault::OverloadInPreload:
                break;
            }
        });
        watch.start(20);

        // Every prompt answered by what it is; the capstan is watched while the first fault dialog
        // waits on the operator.
        int timeouts = 0;
        qint64 movedInDialog = -1;
        bool firstFault = true;
        auto answer = [&](const Prompt& p) -> QVariant {
            // After a glitch the serial error is the only fault message.
            if ((p.title == Timeout ||
                 ((f == Fault::PortGlitch || f == Fault::PortBackSoon) && p.title == Untitled)) &&
                firstFault) {
                firstFault = false;
                const qint64 at = run.sim.state().physical;
                readFor(1000);
                movedInDialog = run.sim.state().physical - at;
            }
            if (p.title == Timeout) {
                ++timeouts;
                switch (f) {
                case Fault::SilenceClearedLate:
                    if (timeouts == 1)
                        return 1; // Retry while the line is still silent
                    [[fallthrough]];
                case Fault::SilenceClearedEarly:
                    run.faults([](SimFaults& s) { s.silenceAfter = -1; });
                    return 1;
                case Fault::VanishAndReturn:
                    if (!run.sim.startInThread(run.link()))
                        return 2;
                    return 1;
                case Fault::VanishUntilBreak:
                    // The capstans run on unwatched until the fiber gives way.
                    for (int i = 0; i < 300 && !run.sim.state().fiberBroken; ++i)
                        readFor(50);
                    if (!run.sim.startInThread(run.link()))
                        return 2;
                    return 1;
                case Fault::VanishForGood:
                    return 2;
                case Fault::BadHexEvery:
                    if (timeouts == 2)
                        run.faults([](SimFaults& s) { s.badHex = SimFaults::BadHex::Off; });
                    return 1;
                default:
                    return 1;
                }
            }
            if (p.text.startsWith(QStringLiteral("Motion interrupted by user"))) {
                readFor(1500);
                run.faults([](SimFaults& s) { s.interruptAt.reset(); });
                return int(f == Fault::InterruptEnded ? MsgResult::Yes : MsgResult::No);
            }
            if (p.text.startsWith(QStringLiteral("Are you sure you want to terminate")))
                return int(MsgResult::Yes);
            if (p.title == Report)
                return int(MsgResult::Yes);
            if (p.title == QStringLiteral("DRIVE UNDER LOCAL CONTROL"))
                run.faults([](SimFaults& s) { s.localControl = false; });
            return int(MsgResult::Ok);
        };
        for (int i = 0; i < 12; ++i)
            run.op->answerWith(answer);
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            frmLoadTimePlots* plots = run.program->plotWindow();
            if (plots != nullptr && plots->isVisible())
                plots->cmdClose->click();
        });
        closer.start(50);

        const qsizetype promptsBefore = run.op->prompts.size();
        bool ended = false;
        try {
            run.program->mainWindow()->findChild<QPushButton*>(QStringLiteral("cmdBreak"))->click();
        } catch (const ProgramEnded&) {
            ended = true;
        }
        watch.stop();
        closer.stop();
        if (comeBack.joinable())
            comeBack.join();

        QStringList seen;
        for (qsizetype i = promptsBefore; i < run.op->prompts.size(); ++i)
            seen << run.op->prompts[i].title;
        // A port back at once is reopened at once; on a machine crowded by parallel test classes the
        // simulator's fresh line can answer the first command late, and the program then also says
        // so before stopping the test. Either way the serial error comes first and nothing is filed.
        QStringList crowded = titles;
        if (f == Fault::PortGlitch || f == Fault::PortBackSoon)
            crowded.insert(1, Timeout);
        QVERIFY2(seen == titles || seen == crowded, qPrintable(seen.join(QStringLiteral(" | "))));
        QVERIFY(!seen.contains(Tare));
        QCOMPARE(ended, f == Fault::VanishForGood);
        if (f == Fault::OverloadInPreload)
            QVERIFY(!run.pulling());
        else
            QVERIFY(struckAt != 0);

        // The first fault dialog tells how the capstans stand; while it waits they stand still.
        for (qsizetype i = promptsBefore; i < run.op->prompts.size(); ++i) {
            const Prompt& p = run.op->prompts[i];
            if (p.title != Timeout)
                continue;
            const bool gone =
                f == Fault::VanishAndReturn || f == Fault::VanishUntilBreak || f == Fault::VanishForGood;
            // On a crowded machine the late first answer after a reopened port says so in the
            // same dialog: "... opened again: the capstans have been stopped."
            const bool reopened =
                (f == Fault::PortGlitch || f == Fault::PortBackSoon) &&
                p.text.endsWith(QStringLiteral("opened again: the capstans have been stopped."));
            QVERIFY2(reopened || p.text.endsWith(gone ? QStringLiteral("Stop them at the instrument now.")
                                                      : QStringLiteral("The capstans have been stopped.")),
                     qPrintable(p.text));
            break;
        }
        if (f == Fault::PortGlitch || f == Fault::PortBackSoon) {
            const QString& told = run.op->prompts[promptsBefore].text;
            QVERIFY2(told.endsWith(QStringLiteral("port dropped and was opened again: the capstans have been "
                                                  "stopped.")),
                     qPrintable(told));
        }
        if (canStop) {
            QVERIFY2(movedInDialog >= 0 && movedInDialog <= 200, qPrintable(QString::number(movedInDialog)));
            qInfo("%s: %lld steps from the fault to the stop, %lld while the dialog was up",
                  QTest::currentDataTag(), static_cast<long long>(run.sim.state().physical - struckAt),
                  static_cast<long long>(movedInDialog));
        }
        if (ended)
            return;

        // The data file: untouched, or one more line with the expected comment.
        const QByteArray after = run.dataBytes();
        if (comment == NoRow) {
            QCOMPARE(after, before);
            return;
        }
        QVERIFY(after.startsWith(before));
        QStringList lines = Cp1252::splitLines(Cp1252::decode(after.mid(before.size())));
        lines.removeAll(DataLine::HeaderLine());
        QCOMPARE(lines.size(), 1);
        DataLine::Fields fields;
        QCOMPARE(DataLine::ParseDataLine(lines[0], fields), 0);
        if (comment.isEmpty())
            QCOMPARE(fields[16], QString());
        else
            QVERIFY2(fields[16].startsWith(comment), qPrintable(fields[16]));
    }
};

// Parts of about ten seconds each.
STAVELY_TEST_PARTS(
    PullFaultFlowTest,
    {{"silence", {"faultDuringAPull:silence cleared early", "faultDuringAPull:silence cleared late"}},
     {"glitch", {"faultDuringAPull:port glitch", "faultDuringAPull:port back after a moment"}},
     {"vanish",
      {"faultDuringAPull:vanish and return", "faultDuringAPull:vanish until the break",
       "faultDuringAPull:vanish for good"}},
     {"garbled", {"faultDuringAPull:bad hex once", "faultDuringAPull:bad hex on every reply"}},
     {"stray",
      {"faultDuringAPull:stray bytes", "faultDuringAPull:operator stop",
       "faultDuringAPull:overload in the preload"}},
     {"stale", {"faultDuringAPull:stray echo letter", "faultDuringAPull:stale reply before each"}},
     {"chunks",
      {"faultDuringAPull:slow chunks", "faultDuringAPull:overload in the pull",
       "faultDuringAPull:local control"}},
     {"interrupt", {"faultDuringAPull:interrupt resumed", "faultDuringAPull:interrupt ended"}}})
#include "PullFaultFlowTest.moc"
