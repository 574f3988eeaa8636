#include "app/Program.h"
#include "app/SimulatedInstrument.h"
#include "app/frmHelp.h"
#include "app/frmInstrumentPanel.h"
#include "app/frmMain.h"
#include "instrument/LoadCell.h"
#include "instrument/PortMap.h"
#include "instrument/frmMoving.h"
#include "instrument/zero.h"
#include "params/Cp1252.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "params/WindowPlacement.h"
#include "results/ChartControl.h"
#include "results/DataLine.h"
#include "results/Datasheet.h"
#include "results/DatasheetPanel.h"
#include "results/StatisticsRows.h"
#include "results/frmLoadTimePlots.h"
#include "results/frmStatistics.h"
#include "results/grdResults.h"
#include "sim/SimServer.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/ChartCompare.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#include <QTimer>
#include <QUuid>

namespace {

const QString Section = QStringLiteral("STAVELY");

// A laboratory PC with STAVELY installed: the program's folder holds the distributed calibration
// file, the settings store is the lab's own, the instrument is the built-in simulator.
struct DayLab {
    QTemporaryDir dir;
    QString settings = dir.filePath(QStringLiteral("Corvane-simulator.ini"));
    QString programFolder = dir.filePath(QStringLiteral("share"));
    ScriptedOperator* op = nullptr;
    std::unique_ptr<Program> program;

    explicit DayLab(const QList<QPair<QString, QString>>& stored = {}) {
        QDir().mkpath(programFolder);
        QFile::copy(QFINDTESTDATA("../../data/SIM-2041.cal"), QDir(programFolder).filePath("SIM-2041.cal"));
        SettingsStore store(settings);
        for (const auto& [key, value] : stored)
            store.saveText(Section, key, value);
        store.sync();
        auto scripted = std::make_unique<ScriptedOperator>();
        op = scripted.get();
        ProgramOptions options;
        options.settingsFile = settings;
        options.simulate = true;
        options.instanceName =
            QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        program = std::make_unique<Program>(options, std::move(scripted));
        program->setProgramFolder(programFolder);
        program->setEndHook([](const ProgramEnded& how) { throw how; });
    }
    ~DayLab() {
        program.reset();
        qunsetenv(qPrintable(PortMap::environmentName(1)));
    }
    QString stored(const QString& key) const {
        return SettingsStore(settings).getText(Section, key, QStringLiteral("<none>"));
    }
    frmMain& main() const { return *program->mainWindow(); }
    template <class W> W* find(const char* name) const { return main().findChild<W*>(QLatin1String(name)); }
    SimServer& sim() const { return program->simulator()->server(); }
};

// A lab that has been set up before: calibrated and with a data file. The simulated instrument starts
// at position 0, so the zero window comes first: Run to close limit, and OK to the indicator.
QList<QPair<QString, QString>> setUpLab(const QString& dataFile) {
    return {{QStringLiteral("CalibrationData0"),
             QStringLiteral("\"SIM-2041\",0,51,0.1,100,0.5,------,------,------,")},
            {QStringLiteral("DataFileName"), dataFile}};
}

bool synchroniseAndStart(DayLab& lab) {
    whenModal<zero>([](zero* w) { QTest::keyClick(w, Qt::Key_R); }, 20000);
    lab.op->answer(MsgResult::Ok); // ZERO POSITION INDICATOR
    return lab.program->start() == Program::Started::Running &&
           QTest::qWaitFor([&lab] { return lab.op->remainingAnswers() == 0; }, 20000);
}

bool onScreen(const QWidget& w) {
    const QRect available = w.screen()->availableGeometry();
    return available.contains(w.frameGeometry()) && available.contains(w.geometry());
}

} // namespace

// A laboratory's day on the simulated instrument: the first start, a pull with its progress, the
// curves of earlier specimens, and every window on a laptop's screen.
class OperatorDayFlowTest : public QObject {
    Q_OBJECT
private slots:
    // A new user on the simulator: the synchronisation, then only the data file question; the load
    // cell is calibrated from the distributed file without a window.
    void firstStartAsksOnlyForTheDataFile() {
        DayLab lab;
        const QString chosen = lab.dir.filePath(QStringLiteral("results.dat"));
        bool synchronised = false;
        whenModal<zero>(
            [&](zero* w) {
                QTest::keyClick(w, Qt::Key_R); // Run to close limit
                synchronised = !w->isVisible();
            },
            20000);
        for (int i = 0; i < 3; ++i)
            lab.op->answerWith([&](const Prompt& p) -> QVariant {
                if (p.kind == QStringLiteral("openFile"))
                    return chosen;
                return MsgResult::Ok;
            });
        QCOMPARE(lab.program->start(), Program::Started::Running);
        QTRY_COMPARE_WITH_TIMEOUT(lab.op->remainingAnswers(), 0, 20000);
        QVERIFY(synchronised);
        QStringList seen;
        for (const Prompt& p : std::as_const(lab.op->prompts))
            seen << p.kind + QLatin1Char('|') + p.title;
        QCOMPARE(seen, (QStringList{"msgBox|ZERO POSITION INDICATOR", "msgBox|OPEN DATA FILE",
                                    "openFile|OPEN DATA FILE"}));

        QVERIFY(lab.program->loadCell().currentIsCalibrated());
        QCOMPARE(lab.program->loadCell().current().SerialNumber, QStringLiteral("SIM-2041"));
        QVERIFY(lab.main().note().startsWith(QStringLiteral("Load cell calibrated from ")));
        QVERIFY(lab.main().note().contains(QStringLiteral("SIM-2041.cal")));
        QVERIFY(lab.stored(QStringLiteral("CalibrationData0"))
                    .startsWith(QStringLiteral("\"SIM-2041\",0,50.9916")));
        QCOMPARE(lab.program->datasheet().dataFileName(), chosen);
        // Every break leaves its load/time record in a new settings store.
        QVERIFY(lab.program->parameters().SaveLoadTimeData);
        // The live load reads newtons, not "not calibrated".
        lab.main().activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(lab.main().statusPanel(1).startsWith(QStringLiteral("Load: ")) &&
                                     !lab.main().statusPanel(1).contains(QStringLiteral("calibrated")),
                                 5000);
        // Nothing to review before the first break.
        lab.op->answer(MsgResult::Ok);
        lab.find<QPushButton>("cmdReview")->click();
        QCOMPARE(lab.op->last().title, QStringLiteral("REVIEW LAST"));
        QVERIFY(lab.op->last().text.startsWith(
            QStringLiteral("No fiber has been broken since the program started")));
        QVERIFY(!lab.program->plotWindow()->isVisible());
    }

    // The simulator's default fiber at 600 MPa/s: the moving window counts toward a typical break;
    // the row names its operator and sample; its curve comes back from the record file later.
    void pullShowsProgressAndEveryRowReopensItsCurve() {
        QTemporaryDir data;
        const QString dataFile = data.filePath(QStringLiteral("day.dat"));
        QList<QPair<QString, QString>> settings = setUpLab(dataFile);
        settings << QPair{QStringLiteral("ExptType"), QStringLiteral("1")}
                 << QPair{QStringLiteral("ExptStressRate"), QStringLiteral("600")}
                 << QPair{QStringLiteral("PreloadType"), QStringLiteral("1")}
                 << QPair{QStringLiteral("PreloadLoad"), QStringLiteral("1")}
                 << QPair{QStringLiteral("Operator"), QStringLiteral("Jane Doe")}
                 << QPair{QStringLiteral("Sample"), QStringLiteral("B-17")};
        DayLab lab(settings);
        QVERIFY(synchroniseAndStart(lab));
        lab.main().activateWindow();
        frmMoving* moving = lab.program->movingWindow();
        auto* specimen = moving->findChild<QLabel*>(QStringLiteral("lblSpecimen"));
        auto* stress = moving->findChild<QLabel*>(QStringLiteral("lblStress"));
        auto* elapsed = moving->findChild<QLabel*>(QStringLiteral("lblElapsed"));
        auto* progress = moving->findChild<QProgressBar*>(QStringLiteral("prgBreak"));
        QVERIFY(specimen && stress && elapsed && progress);

        QString specimenSeen, elapsedSeen;
        double stressSeen = 0;
        int progressSeen = 0;
        bool pictured = false, plotsSeen = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (moving->isVisible() && progress->isVisible()) {
                specimenSeen = specimen->text();
                elapsedSeen = elapsed->text();
                stressSeen = qMax(stressSeen, stress->text().section(QLatin1Char(' '), 0, 0).toDouble());
                progressSeen = qMax(progressSeen, progress->value());
                if (!pictured && progress->value() > 400) {
                    pictured = true;
                    keepPicture(*moving, "moving-window.png");
                }
            }
            frmLoadTimePlots* plots = lab.program->plotWindow();
            if (plots->isVisible() && !plotsSeen) {
                plotsSeen = true;
                plots->cmdClose->click();
            }
        });
        watch.start(50);
        for (int i = 0; i < 3; ++i)
            lab.op->answerWith([&lab](const Prompt& p) {
                return QVariant(p.title == QStringLiteral("REPORT RESULTS") && !lab.sim().state().fiberBroken
                                    ? int(MsgResult::No)
                                    : int(MsgResult::Yes));
            });
        lab.find<QPushButton>("cmdBreak")->click();
        QTRY_VERIFY_WITH_TIMEOUT(plotsSeen, 10000);
        watch.stop();

        QCOMPARE(specimenSeen, QStringLiteral("Specimen 1"));
        // (5000 MPa - the preload's 81.5 MPa) / 600 MPa/s
        QVERIFY2(elapsedSeen.startsWith(QStringLiteral("Elapsed ")) &&
                     elapsedSeen.endsWith(QStringLiteral(" s of about 8 s to a typical break")),
                 qPrintable(elapsedSeen));
        QVERIFY2(stressSeen > 3000, qPrintable(QString::number(stressSeen)));
        QVERIFY2(progressSeen > 600, qPrintable(QString::number(progressSeen)));
        QVERIFY(moving->isHidden() && progress->isHidden());

        // One row, with the operator and sample after the described conditions.
        QTRY_COMPARE(lab.program->datasheet().model().rows(), 1);
        const DataRow& row = lab.program->datasheet().model().row(0);
        QVERIFY2(row.field(17).contains(QStringLiteral(" operator:Jane_Doe sample:B-17")),
                 qPrintable(row.field(17)));
        QCOMPARE(row.field(17).split(QLatin1Char(' ')).size(), 9 + 2);

        // The record file was written by default, beside the data file, and opens again from the row.
        const QString record = lab.program->plotWindow()->data().basePath + QStringLiteral(".dat");
        QVERIFY(QFileInfo::exists(record));
        QCOMPARE(QFileInfo(record).absolutePath(), QFileInfo(dataFile).absolutePath());
        DatasheetPanel* panel = lab.program->datasheetPanel();
        QVERIFY(panel->plotsAvailable(0));
        panel->RightClick(0, 2, QPoint(), false);
        QAction* entry = panel->popupMenu()->findChild<QAction*>(QStringLiteral("mnuGridPlots"));
        QVERIFY(entry && entry->isEnabled());
        QCOMPARE(entry->text(), QStringLiteral("Show load/time p&lots of row 1"));

        const LoadTimePlotData last = lab.program->plotWindow()->data();
        bool reopened = false;
        whenModal<frmLoadTimePlots>([&](frmLoadTimePlots* w) {
            reopened = w->data().basePath.isEmpty() &&
                       sameWithin15Digits(w->MSChart[0]->data(), last.charts[0]) &&
                       sameWithin15Digits(w->MSChart[2]->data(), last.charts[2]);
            w->cmdClose->click();
        });
        panel->RowNumberDoubleClick(0);
        QVERIFY(reopened);
        // Review last still shows the last break, and closing the past curve wrote nothing new.
        QCOMPARE(lab.program->plotWindow()->data().basePath, last.basePath);
        QCOMPARE(QDir(QFileInfo(dataFile).absolutePath()).entryList({QStringLiteral("*.dat")}).size(), 2);

        // A row whose record is gone keeps the old double click: sorting by row number.
        QVERIFY(QFile::remove(record));
        QVERIFY(!panel->plotsAvailable(0));
        panel->RightClick(0, 2, QPoint(), false);
        QVERIFY(!entry->isEnabled());
#ifdef Q_OS_UNIX
        // Nor is a pipe of its name a record: it would never be read to its end.
        QCOMPARE(::mkfifo(QFile::encodeName(record).constData(), 0600), 0);
        QVERIFY(!panel->plotsAvailable(0));
#endif
    }

    // Every window within a 1366 x 768 laptop screen. The test runs itself again on an offscreen
    // screen of that size when the one it has is another.
    void windowsFitALaptopScreen() {
        const QSize laptop(1366, 768);
        if (QGuiApplication::primaryScreen()->size() != laptop) {
            if (!QGuiApplication::platformName().startsWith(QStringLiteral("offscreen")))
                QSKIP("needs the offscreen platform to make a laptop screen");
            QTemporaryDir dir;
            QFile config(dir.filePath(QStringLiteral("laptop.json")));
            QVERIFY(config.open(QIODevice::WriteOnly));
            config.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768,
                             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            config.close();
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_QPA_PLATFORM"),
                       QStringLiteral("offscreen:configfile=") + config.fileName());
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("OperatorDayFlowTest"), QStringLiteral("windowsFitALaptopScreen")});
            QVERIFY(child.waitForFinished(120000));
            const QByteArray output = child.readAll();
            QVERIFY2(output.contains("PASS   : OperatorDayFlowTest::windowsFitALaptopScreen"),
                     output.constData());
            QVERIFY2(child.exitCode() == 0, output.constData());
            return;
        }

        // A day's results: the columns fit them and their titles when the file is opened.
        QTemporaryDir data;
        const QString dataFile = data.filePath(QStringLiteral("day.dat"));
        {
            QString text = DataLine::HeaderLine() + QStringLiteral("\r\n");
            for (int i = 1; i <= 12; ++i)
                text += QStringLiteral(
                            "%1,6.%2,6.%2,%3.5,6.%2,%4,421.3,2.1,3.01,0.02,%5,0.7,%6,26/12/07,10:%7:05,%8,"
                            "125 500 0 72 3 1N/3000 26/12/07 10:%7:00 29.8mm/1.00 operator:Jane_Doe "
                            "sample:B-17\r\n")
                            .arg(i)
                            .arg(10 + i)
                            .arg((i % 2 ? 5050 : 4620) + 13 * i)
                            .arg(i % 2 ? QStringLiteral("60 MPa/s") : QStringLiteral("6 MPa/s"))
                            .arg(i % 2 ? QStringLiteral("60.02") : QStringLiteral("6.001"))
                            .arg(i % 2 ? QStringLiteral("82.1") : QStringLiteral("821.4"))
                            .arg(10 + i)
                            .arg(i == 4 ? QStringLiteral("ignore: slipped") : QString());
            QFile file(dataFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(Cp1252::encode(text));
        }
        QList<QPair<QString, QString>> settings = setUpLab(dataFile);
        // Placements remembered on a larger screen.
        settings << QPair{QStringLiteral("frmStatistics_Left"), QStringLiteral("30000")}
                 << QPair{QStringLiteral("frmStatistics_Top"), QStringLiteral("15000")}
                 << QPair{QStringLiteral("frmStatistics_Width"), QStringLiteral("28800")}
                 << QPair{QStringLiteral("frmStatistics_Height"), QStringLiteral("16000")}
                 << QPair{QStringLiteral("frmLoadTimePlots_Left"), QStringLiteral("25000")};
        DayLab lab(settings);
        QVERIFY(synchroniseAndStart(lab));
        QCOMPARE(QGuiApplication::primaryScreen()->size(), laptop);
        QTest::qWait(200);

        QVERIFY(onScreen(lab.main()));
        frmInstrumentPanel* panel = lab.program->instrumentPanel();
        QVERIFY(panel != nullptr && panel->isVisible());
        QVERIFY(onScreen(*panel));
        // The main window's title bar stays free to grab.
        const QRect mainTitleBar(lab.main().frameGeometry().topLeft(),
                                 QPoint(lab.main().frameGeometry().right(), lab.main().geometry().top() - 1));
        QVERIFY(!panel->frameGeometry().intersects(mainTitleBar));

        // Made for a larger screen, the main window is taken in by this one.
        lab.main().resize(1408, 760);
        FitOnScreen(lab.main());
        QVERIFY2(onScreen(lab.main()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                      .arg(lab.main().frameGeometry().x())
                                                      .arg(lab.main().frameGeometry().y())
                                                      .arg(lab.main().frameGeometry().width())
                                                      .arg(lab.main().frameGeometry().height())));
        QCOMPARE(lab.program->datasheet().model().rows(), 12);
        QTableView* grid = lab.program->datasheetPanel()->grid();
        const QFontMetrics header(grid->horizontalHeader()->font());
        for (int c = 0; c < 17; ++c)
            QVERIFY2(grid->columnWidth(c) >= header.horizontalAdvance(DataLine::Titles()[size_t(c + 1)]),
                     qPrintable(DataLine::Titles()[size_t(c + 1)]));
        QCOMPARE(grid->model()->headerData(1, Qt::Horizontal, Qt::ToolTipRole).toString(),
                 QStringLiteral("Lt: measured load at break (N)"));
        keepPicture(lab.main(), "main-window.png");

        QStringList fields(17);
        fields[3] = QStringLiteral("5000");
        fields[5] = QStringLiteral("60 MPa/s");
        frmStatistics statistics(*lab.op, lab.program->settings(), &lab.main());
        statistics.setRows(QList<QStringList>(30, fields), QString());
        statistics.show();
        QTest::qWait(100);
        QVERIFY(onScreen(statistics));
        statistics.setRows(StatisticsRows(lab.program->datasheet().model(), {}), dataFile);
        QTest::qWait(100);
        keepPicture(statistics, "statistics-window.png");
        // Its buttons too, not only its frame.
        const QRect close(statistics.cmdClose->mapToGlobal(QPoint()), statistics.cmdClose->size());
        QVERIFY(statistics.cmdClose->isVisible());
        QVERIFY(statistics.screen()->availableGeometry().contains(close));
        statistics.close();

        frmLoadTimePlots* plots = lab.program->plotWindow();
        plots->show();
        QTest::qWait(100);
        QVERIFY(onScreen(*plots));
        plots->hide();

        frmHelp help(lab.program->identity().helpFile);
        help.show();
        help.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&help));
        QVERIFY(onScreen(help));
        QTest::keyClick(&help, Qt::Key_Escape);
        QVERIFY(!help.isVisible());
    }
};

STAVELY_TEST_PARTS(OperatorDayFlowTest, {{"first_start", {"firstStartAsksOnlyForTheDataFile"}},
                                         {"progress", {"pullShowsProgressAndEveryRowReopensItsCurve"}},
                                         {"laptop", {"windowsFitALaptopScreen"}}})
#include "OperatorDayFlowTest.moc"
