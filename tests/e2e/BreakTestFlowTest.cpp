#include "app/Program.h"
#include "app/frmMain.h"
#include "instrument/PortMap.h"
#include "params/Cp1252.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "results/DataLine.h"
#include "results/Datasheet.h"
#include "results/frmLoadTimePlots.h"
#include "sim/SimServer.h"
#include "tests/e2e/DefaultFiberRig.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>

namespace {

// The whole program on a simulated instrument with a fiber threaded, its load cell calibrated to
// the simulator's channel 0, a data file in a temporary folder and both load/time files switched on.
struct BreakTestOnSim : DefaultFiberRig {
    BreakTestOnSim() : DefaultFiberRig(config()) {}
    static SimConfig config() {
        SimConfig c = SimTest::quietConfig(0.5); // breaks near 6 N
        c.noiseAu = 1;
        return c;
    }

    bool start() {
        return DefaultFiberRig::start({{QStringLiteral("ExptType"), QStringLiteral("1")},
                                       {QStringLiteral("ExptStressRate"), QStringLiteral("150")},
                                       {QStringLiteral("PreloadType"), QStringLiteral("1")},
                                       {QStringLiteral("PreloadLoad"), QStringLiteral("1")},
                                       {QStringLiteral("PreloadSpeedMode"), QStringLiteral("2")},
                                       {QStringLiteral("PreloadUserSpeed"), QStringLiteral("3000")},
                                       {QStringLiteral("MinBreakLoad"), QStringLiteral("2")}});
    }

    frmMain& window() const { return *program->mainWindow(); }
    template <class W> W* find(const char* name) const { return window().findChild<W*>(QLatin1String(name)); }
};

// Pictures for the manual when STAVELY_SCREENSHOTS names a folder.
} // namespace

class BreakTestFlowTest : public QObject {
    Q_OBJECT
private slots:
    // Break fiber, Yes, the plots, Close: one new row in the data file, the load/time data and the
    // picture beside it, the capstans back at the load position and the next specimen number shown.
    void breakFiberThroughTheMainWindow() {
        BreakTestOnSim run;
        QVERIFY(run.start());
        run.op->answerWith([&run](const Prompt& prompt) {
            const bool unbroken =
                prompt.title == QStringLiteral("REPORT RESULTS") && !run.sim.state().fiberBroken;
            return QVariant(int(unbroken ? MsgResult::No : MsgResult::Yes));
        });
        bool plotsSeen = false;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            frmLoadTimePlots* plots = run.program->plotWindow();
            if (plots == nullptr || !plots->isVisible() || plotsSeen)
                return;
            plotsSeen = true;
            keepPicture(*plots, "load-time-plots.png");
            plots->cmdClose->click();
        });
        closer.start(50);

        run.find<QPushButton>("cmdBreak")->click();
        QVERIFY(plotsSeen);
        QCOMPARE(run.op->prompts.size(), 2);
        QCOMPARE(run.op->last().title, QStringLiteral("REPORT RESULTS"));
        QTRY_COMPARE(run.sim.state().position, 0);
        QVERIFY(run.sim.state().fiberPresent && !run.sim.state().fiberBroken); // the next fiber is threaded

        // The data file gained exactly one row, the same as the datasheet's new last row.
        QFile data(run.dataFile());
        QVERIFY(data.open(QIODevice::ReadOnly));
        QStringList lines = Cp1252::splitLines(Cp1252::decode(data.readAll()));
        lines.removeAll(DataLine::HeaderLine());
        QCOMPARE(lines.size(), 1);
        DataLine::Fields fields;
        QCOMPARE(DataLine::ParseDataLine(lines[0], fields), 0);
        QCOMPARE(fields[1], QStringLiteral("1"));
        QCOMPARE(fields[6], QStringLiteral("150 MPa/s"));
        QVERIFY2(std::abs(fields[4].toDouble() - 500) < 50, qPrintable(fields[4]));
        QVERIFY2(std::abs(fields[11].toDouble() - 150) < 15, qPrintable(fields[11]));
        QCOMPARE(run.program->datasheet().model().rows(), 1);
        QCOMPARE(run.program->parameters().SpecimenCount, 2);
        QCOMPARE(run.find<QLineEdit>("txtSpecimenCount")->text(), QStringLiteral("2"));

        const QString base = run.program->plotWindow()->data().basePath;
        QVERIFY(base.endsWith(QStringLiteral("_001")));
        QFile loadTime(base + QStringLiteral(".dat"));
        QVERIFY(loadTime.open(QIODevice::ReadOnly));
        const QByteArray text = loadTime.readAll();
        QVERIFY(text.startsWith("position (\xB5m)\ttime (s)\tload (N)"));
        QVERIFY(text.endsWith("\r\n\r\n"));
        QCOMPARE(text.count("\r\n\r\n"), 2 + 1); // around the analysed stretch, and at the end
        QImageReader picture(base + QStringLiteral(".jpg"));
        QCOMPARE(picture.format(), QByteArray("jpeg"));
        QVERIFY(picture.size().width() > 600);

        if (!qEnvironmentVariableIsEmpty("STAVELY_SCREENSHOTS")) {
            run.window().resize(1500, 900);
            QTest::qWait(300);
            keepPicture(run.window(), "main-window-results.png");
        }

        // "Review last" shows the same break again.
        plotsSeen = false;
        run.find<QPushButton>("cmdReview")->click();
        QVERIFY(plotsSeen);
        QCOMPARE(run.program->plotWindow()->data().basePath, base);
    }
};

STAVELY_TEST(BreakTestFlowTest)
#include "BreakTestFlowTest.moc"
