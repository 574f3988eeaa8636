#include "params/NumberFormat.h"
#include "results/DataLine.h"
#include "results/DatasheetPanel.h"
#include "results/grdResults.h"
#include "sim/SimInstrument.h"
#include "tests/e2e/DefaultFiberRig.h"
#include "tests/support/TestRegistry.h"

#include <QProcess>
#include <QTest>
#include <cstring>

namespace {
// The speed of an "M" command in steps/s.
float moveRate(const QByteArray& command) {
    bool ok = false;
    const quint32 bits = command.mid(9, 8).toUInt(&ok, 16);
    float rate = 0;
    std::memcpy(&rate, &bits, sizeof rate);
    return ok ? rate : 0;
}
} // namespace

class BreakRatesFlowTest : public QObject {
    Q_OBJECT
private slots:
    // Every rate type at a low and a high rate, with no preload and with a load preload, on the
    // simulator's default fiber, the plot window really shown: it shows at once, the row is on the
    // disc before it, column 17 holds where the capstans came to rest, and no move goes out at 0.
    void breakAtEveryRateAndPreload_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("preload");
        QTest::addColumn<bool>("slow");
        const struct {
            int type;
            const char* low;
            const char* high;
        } rates[] = {{0, "300", "5000"}, {1, "6", "600"}, {2, "1", "50"}};
        for (const auto& r : rates)
            for (int preload : {0, 1})
                for (bool slow : {false, true}) {
                    const char* rate = slow ? r.low : r.high;
                    QTest::addRow("type %d at %s, preload %d", r.type, rate, preload)
                        << r.type << QString::fromLatin1(rate) << preload << slow;
                }
    }
    void breakAtEveryRateAndPreload() {
        QFETCH(int, type);
        QFETCH(QString, rate);
        QFETCH(int, preload);
        QFETCH(bool, slow);
        if (slow && qEnvironmentVariableIsEmpty("STAVELY_SLOW_FLOWS"))
            QSKIP("a pull of minutes: STAVELY_SLOW_FLOWS=1 runs the low rates");

        const QString rateKeys[] = {QStringLiteral("ExptSpeed"), QStringLiteral("ExptStressRate"),
                                    QStringLiteral("ExptStrainRate")};
        const QString units[] = {QStringLiteral(" µm/s"), QStringLiteral(" MPa/s"), QStringLiteral(" %/min")};
        DefaultFiberRig rig;
        QVERIFY(rig.start({{QStringLiteral("ExptType"), QString::number(type)},
                           {rateKeys[type], rate},
                           {QStringLiteral("PreloadType"), QString::number(preload)},
                           {QStringLiteral("PreloadLoad"), QStringLiteral("2")}}));
        rig.sim.clearCommandLog();
        rig.breakFiber();

        QStringList asked;
        for (const Prompt& p : rig.op->prompts)
            asked << p.title + QStringLiteral(": ") + p.text;
        QVERIFY2(rig.plotsSeen, qPrintable(asked.join(QStringLiteral(" | "))));
        QCOMPARE(rig.op->prompts.size(), 2); // the kept position and "REPORT RESULTS"
        QVERIFY2(rig.yesToPlotsMs >= 0 && rig.yesToPlotsMs < 2000,
                 qPrintable(QString::number(rig.yesToPlotsMs)));
        QCOMPARE(rig.rowsWhenShown.size(), 1);
        const QStringList lines = rig.resultLines();
        QCOMPARE(lines, rig.rowsWhenShown);

        DataLine::Fields fields;
        QCOMPARE(DataLine::ParseDataLine(lines[0], fields), 0);
        QCOMPARE(fields[1], QStringLiteral("1"));
        QCOMPARE(fields[6], rate + units[type]);
        QVERIFY2(fields[2].toDouble() > 40 && fields[2].toDouble() < 90, qPrintable(fields[2]));
        const QString travel = FormatNum(rig.positionWhenShown / 1000.0, 1, 1) + QStringLiteral("mm/");
        QVERIFY2(fields[17].contains(QLatin1Char(' ') + travel), qPrintable(fields[17] + " / " + travel));

        // A preload whenever one was chosen or the strain-rate servo needs one, never a move at 0.
        int moves = 0;
        for (const QByteArray& command : rig.sim.commandLog())
            if (command.startsWith('M')) {
                ++moves;
                QVERIFY2(moveRate(command) > 0, command.constData());
            }
        const int expected = (preload != 0 || type == 2 ? 1 : 0) + 2; // preload, pull, back to load
        QCOMPARE(moves, expected);

        // The new row is the current one, in view.
        grdResults* grid = rig.program->datasheetPanel()->grid();
        const QModelIndex last = grid->model()->index(grid->model()->rowCount() - 1, 0);
        QCOMPARE(grid->currentIndex(), last);
        QVERIFY(grid->viewport()->rect().contains(grid->visualRect(last)));
    }

    // The program killed while the operator looks at the plots: the specimen is in the data file,
    // whole.
    void killedWhileThePlotsShowKeepsTheRow() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QProcess holder;
        holder.setProgram(QStringLiteral(BREAK_AND_HOLD));
        holder.setArguments({dir.path()});
        holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        holder.start();
        QVERIFY(holder.waitForStarted());
        QByteArray out;
        while (!out.contains('\n')) {
            QVERIFY2(holder.waitForReadyRead(120000), out.constData());
            out += holder.readAllStandardOutput();
        }
        QVERIFY2(out.startsWith("PLOTS "), out.constData());
        holder.kill();
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(holder.exitStatus(), QProcess::CrashExit);

        QFile data(QString::fromLocal8Bit(out.mid(6).trimmed()));
        QVERIFY(data.open(QIODevice::ReadOnly));
        const QByteArray bytes = data.readAll();
        QVERIFY(bytes.endsWith("\r\n"));
        QStringList lines = Cp1252::splitLines(Cp1252::decode(bytes));
        lines.removeAll(QString());
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], DataLine::HeaderLine());
        DataLine::Fields fields;
        QCOMPARE(DataLine::ParseDataLine(lines[1], fields), 0);
        QCOMPARE(fields[1], QStringLiteral("1"));
        QCOMPARE(fields[6], QStringLiteral("600 MPa/s"));
        QVERIFY2(fields[17].contains(QStringLiteral("mm/")), qPrintable(fields[17]));
    }
};

// One pull a part; the low rates (skipped unless STAVELY_SLOW_FLOWS is set) go with their high ones.
#define STAVELY_RATE_PART(name, type, high, low, preload)                                                    \
    {                                                                                                        \
        name, {                                                                                              \
            "breakAtEveryRateAndPreload:type " #type " at " #high ", preload " #preload,                     \
                "breakAtEveryRateAndPreload:type " #type " at " #low ", preload " #preload                   \
        }                                                                                                    \
    }
STAVELY_TEST_PARTS(BreakRatesFlowTest, {STAVELY_RATE_PART("speed", 0, 5000, 300, 0),
                                        STAVELY_RATE_PART("speed_preload", 0, 5000, 300, 1),
                                        STAVELY_RATE_PART("stress", 1, 600, 6, 0),
                                        STAVELY_RATE_PART("stress_preload", 1, 600, 6, 1),
                                        STAVELY_RATE_PART("strain", 2, 50, 1, 0),
                                        STAVELY_RATE_PART("strain_preload", 2, 50, 1, 1),
                                        {"killed", {"killedWhileThePlotsShowKeepsTheRow"}}})
#include "BreakRatesFlowTest.moc"
