#include "app/MainTexts.h"
#include "app/MainWindowLogic.h"
#include "app/UpDown.h"
#include "app/WidgetOperator.h"
#include "base/Twips.h"
#include "tests/app/MainRig.h"
#include "tests/support/TestRegistry.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace MainWindowLogic;

namespace {
const QString Caption = QStringLiteral("STAVELY - Control Program for the Stavely Tester");
const QChar Del(char16_t(127));

QColor baseOf(const QLineEdit* box) {
    return box->palette().color(QPalette::Base);
}

// Shows the window and makes it the active one, as the operator finds it after start-up.
bool showActive(frmMain& window, bool debugMode = false) {
    window.load(Caption, debugMode);
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}
} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void menusAndCommandCaptions() {
        MainRig rig;
        rig.window.load(Caption, false);
        QCOMPARE(rig.window.windowTitle(), Caption);

        QStringList menus;
        for (QAction* a : rig.window.menuBar()->actions())
            menus << a->text();
        QCOMPARE(menus, (QStringList{"&File", "&Data sheet", "Export &data", "Copy Special", "&Miscellaneous",
                                     "&Help"}));
        const QList<std::pair<const char*, const char*>> entries{
            {"mnuFileOpen", "&Open data file"},
            {"mnuFileSaveas", "&Save data file as"},
            {"mnuFileExit", "E&xit program"},
            {"mnuOptionsHardware", "&Hardware setup"},
            {"mnuOptionsCalculator", "&Calculator"},
            {"mnuOptionsOptions", "&Options"},
            {"mnuOptionsNoisy", "&Noisy - click when motor steps"},
            {"mnuHelpContents", "&Help"},
            {"mnuCheckNewVersion", "&Check for newer version"},
            {"mnuHelpAbout", "&About"},
        };
        for (const auto& [name, caption] : entries) {
            auto* action = rig.find<QAction>(name);
            QVERIFY2(action, name);
            QCOMPARE(action->text(), QString::fromUtf8(caption));
        }

        struct Button {
            const char* name;
            const char* caption;
            const char* tip;
        };
        const QList<Button> buttons{
            {"cmdLoad", "&Load fiber", "Move capstans together ready for loading a fiber"},
            {"cmdBreak", "&Break fiber", "Move capstans apart to break the fiber"},
            {"cmdGoto", "&Go to", "Go to capstan position"},
            {"cmdZero", "set &Zero position", "Locate capstan zero position"},
            {"cmdCalibrate", "Calibra&tion", "Calibrate load cell"},
            {"cmdReview", "Review last", "Review load/stress/strain/time profiles for last break"},
            {"cmdHardware", "&Hardware setup", "Hardware test and configuration"},
            {"cmdCalculator", "&Calculator", "Stress / strain / gap calculator"},
            {"cmdOptions", "O&ptions", "Miscellaneous options"},
            {"cmdExit", "&Exit program", "End the program"},
            {"cmdPreloadSpeed", "\u00b7\u00b7\u00b7", "Change the preload speed"},
        };
        for (const Button& b : buttons) {
            auto* button = rig.find<QPushButton>(b.name);
            QVERIFY2(button && button->isVisible(), b.name);
            QCOMPARE(button->text(), QString::fromUtf8(b.caption));
            QCOMPARE(button->toolTip(), QString::fromUtf8(b.tip));
        }
        QCOMPARE(rig.find<QLineEdit>("txtLoadGap")->toolTip(),
                 QStringLiteral("Length of fiber between the capstans"));
        QCOMPARE(rig.find<QLabel>("lblPosition")->toolTip(),
                 QStringLiteral("Position of the translation stage in motor steps. One step = 1 \u00b5m"));
        QCOMPARE(rig.find<QRadioButton>("optRate3")->text(),
                 QStringLiteral("Static - must specify preloading"));

        // The bend tester's controls and the debug-only ones stay out of sight.
        for (const char* name : {"txtGrooveAngle", "udGrooveAngle", "txtTestingCount", "udTestingCount",
                                 "cmdAutoMode", "udLoadGap", "cmdTest", "txtServoInfo"})
            QVERIFY2(rig.find<QWidget>(name) && !rig.find<QWidget>(name)->isVisible(), name);
        QCOMPARE(rig.find<QObject>("tmrMain"), nullptr); // a member timer, not a child
        QCOMPARE(rig.window.liveLoadTimer().interval(), 100);

        MainRig debug;
        debug.window.load(Caption, true);
        QVERIFY(debug.find<QPushButton>("cmdTest")->isVisible());
        QVERIFY(debug.find<QPlainTextEdit>("txtServoInfo")->isVisible());
    }

    void boxesShowTheParameters() {
        MainRig rig;
        rig.params.GaugeLength = 250.5f;
        rig.params.ExptStressRate = 0.1f;
        rig.params.SpecimenCount = 17;
        rig.params.PreloadType = 2;
        rig.params.PreloadStress = 300;
        rig.window.load(Caption, false);
        QCOMPARE(rig.find<QLineEdit>("txtLoadGap")->text(), QStringLiteral("250.5"));
        QCOMPARE(rig.find<QLineEdit>("txtRate1")->text(), QStringLiteral("0.1"));
        QCOMPARE(rig.find<QLineEdit>("txtSpecimenCount")->text(), QStringLiteral("17"));
        QCOMPARE(rig.find<QLineEdit>("txtZo")->text(), QStringLiteral("80"));
        QCOMPARE(rig.find<QLineEdit>("txtPreload1")->text(), QStringLiteral("300"));
        QVERIFY(rig.find<QRadioButton>("optPreload2")->isChecked());
        QVERIFY(rig.find<QLineEdit>("txtPreload1")->isEnabled());
        QVERIFY(rig.find<QRadioButton>("optRate0")->isChecked());
        // A comma typed in Sample is told at entry: the data file writes it otherwise.
        rig.window.show();
        QLabel* note = rig.find<QLabel>("lblSampleNote");
        QVERIFY(!note->isVisible());
        rig.find<QLineEdit>("txtSample")->setText(QStringLiteral("B7, preform 12"));
        QVERIFY(note->isVisible());
        QVERIFY(note->text().contains(QStringLiteral("%2C")));
        rig.find<QLineEdit>("txtSample")->setText(QStringLiteral("B7 preform 12  spool 3"));
        QVERIFY(!note->isVisible());
    }

    void staticRateIsOffered() {
        MainRig rig;
        rig.params.ExptType = 1;
        rig.window.load(Caption, false);
        QVERIFY(rig.find<QLineEdit>("txtRate1")->isEnabled());
        QVERIFY(!rig.find<QLineEdit>("txtRate0")->isEnabled());

        // Static holds the preload: no rate box, nothing asked.
        rig.find<QRadioButton>("optRate3")->click();
        QVERIFY(rig.op.prompts.isEmpty());
        QVERIFY(rig.find<QRadioButton>("optRate3")->isChecked());
        QCOMPARE(rig.params.ExptType, 3);
        for (const char* box : {"txtRate0", "txtRate1", "txtRate2"})
            QVERIFY2(!rig.find<QLineEdit>(box)->isEnabled(), box);

        rig.find<QRadioButton>("optRate2")->click();
        QCOMPARE(rig.params.ExptType, 2);
        QVERIFY(rig.find<QLineEdit>("txtRate2")->isEnabled());

        // A static mode kept from an earlier run stays chosen when the boxes are filled.
        MainRig stored;
        stored.params.ExptType = 3;
        stored.window.load(Caption, false);
        QVERIFY(stored.op.prompts.isEmpty());
        QCOMPARE(stored.params.ExptType, 3);
        QVERIFY(stored.find<QRadioButton>("optRate3")->isChecked());
    }

    void preloadOptionsEnableTheirBox() {
        MainRig rig;
        rig.window.load(Caption, false);
        const QColor window = rig.window.palette().color(QPalette::Base);
        const QColor face = rig.window.palette().color(QPalette::Button);
        auto box = [&](int i) {
            return rig.find<QLineEdit>(qPrintable(QStringLiteral("txtPreload%1").arg(i)));
        };

        rig.find<QRadioButton>("optPreload3")->click();
        QCOMPARE(rig.params.PreloadType, 3);
        QVERIFY(!box(0)->isEnabled() && !box(1)->isEnabled() && box(2)->isEnabled());
        QCOMPARE(baseOf(box(2)), window);
        QCOMPARE(baseOf(box(0)), face);

        rig.find<QRadioButton>("optPreload0")->click();
        QCOMPARE(rig.params.PreloadType, 0);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(!box(i)->isEnabled());
            QCOMPARE(baseOf(box(i)), face);
        }
    }

    void withoutControllerOnlyReviewAndCalculationsAreOffered() {
        MainRig rig;
        QVERIFY(showActive(rig.window));
        rig.window.Activate();
        for (const char* name : {"cmdLoad", "cmdBreak", "cmdGoto", "cmdZero", "cmdHardware"})
            QVERIFY2(!rig.find<QPushButton>(name)->isEnabled(), name);
        for (const char* name : {"cmdCalibrate", "cmdReview", "cmdCalculator", "cmdOptions", "cmdExit"})
            QVERIFY2(rig.find<QPushButton>(name)->isEnabled(), name);
        QCOMPARE(rig.window.statusPanel(1), QStringLiteral("Load:  load cell is not calibrated"));
        QCOMPARE(rig.window.statusPanel(2), QString());
        QVERIFY(rig.window.liveLoadTimer().isActive());
        QCOMPARE(rig.op.prompts.size(), 0); // no calibration notice without the instrument

        // A calibration without the instrument to read: the panel says nothing more.
        rig.calibrate();
        rig.window.ShowLiveLoad(false);
        QCOMPARE(rig.window.statusPanel(1), QStringLiteral("Load: "));

        rig.window.Deactivate();
        QVERIFY(!rig.window.liveLoadTimer().isActive());
        QCOMPARE(rig.window.statusPanel(1), QString());
        QCOMPARE(rig.window.statusPanel(2), QString());

        // "b" on the exit button does nothing while the break button is disabled.
        int breaks = 0;
        rig.actions.hooks().BreakRun = [&] { ++breaks; };
        rig.find<QPushButton>("cmdExit")->setFocus();
        QTest::keyClick(rig.find<QPushButton>("cmdExit"), Qt::Key_B);
        QCOMPARE(breaks, 0);
    }

    void calibrationNoticeLeadsIntoCalibration() {
        MainRig rig;
        rig.link.setControllerFound(true);
        int calibrations = 0;
        rig.actions.hooks().Calibrate = [&] { ++calibrations; };
        rig.window.load(Caption, false);
        rig.op.answer(MsgResult::Ok);
        rig.window.Activate();
        QCOMPARE(rig.op.prompts.size(), 1);
        QCOMPARE(rig.op.last().title, QStringLiteral("THE LOAD CELL IS NOT CALIBRATED"));
        QCOMPARE(rig.op.last().style, int(MsgStyle::Exclamation));
        QCOMPARE(rig.op.last().text, MainTexts::NotCalibrated);
        QVERIFY(rig.op.last().text.startsWith(QStringLiteral(
            "Corvane distributes a calibration file for your load cell; the file can be found")));
        QVERIFY(rig.op.last().text.endsWith(
            QStringLiteral("help you get started.\r\rThe calibration window will now be opened so you can "
                           "load the calibration data or perform your own calibration.")));
        QCOMPARE(calibrations, 1);
        QVERIFY(rig.find<QPushButton>("cmdBreak")->isEnabled());

        // A hidden window asks nothing.
        rig.window.hide();
        rig.window.Activate();
        QCOMPARE(rig.op.prompts.size(), 1);
    }

    // Closing the notice makes the window active again; that must not bring the notice back, or an
    // operator without a calibration would never get past it.
    void noticeIsNotRepeatedWhenItsBoxCloses() {
        MainRigWith<WidgetOperator> rig;
        rig.op.setMainWindow(&rig.window);
        rig.link.setControllerFound(true);
        int calibrations = 0;
        rig.actions.hooks().Calibrate = [&] { ++calibrations; };
        int notices = 0;
        QTimer answer; // every box is answered, and the notices counted
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                if (box->windowTitle() == QStringLiteral("THE LOAD CELL IS NOT CALIBRATED"))
                    ++notices;
                box->button(QMessageBox::Ok)->click();
            }
        });
        answer.start(10);
        rig.window.load(Caption, false);
        rig.window.activateWindow();
        QTRY_COMPARE(notices, 1);
        // The window system hands the activation back once the box has gone.
        rig.window.activateWindow();
        QTRY_VERIFY(rig.window.isActiveWindow());
        QTest::qWait(300);
        QCOMPARE(notices, 1);
        QCOMPARE(calibrations, 1);
        QVERIFY(rig.window.liveLoadTimer().isActive());
    }

    void letterKeysOnCommandButtonsAct() {
        MainRig rig;
        rig.link.setControllerFound(true);
        rig.calibrate([] { return 100; }); // no load
        int breaks = 0;
        rig.actions.hooks().BreakRun = [&] { ++breaks; };
        QVERIFY(showActive(rig.window));
        rig.window.Activate();

        auto* exitButton = rig.find<QPushButton>("cmdExit");
        exitButton->setFocus();
        QTest::keyClick(exitButton, Qt::Key_B);
        QCOMPARE(breaks, 1);
        QCOMPARE(rig.window.focusWidget(), rig.find<QWidget>("cmdBreak")); // position 0: break next
        auto* calculator = rig.find<QPushButton>("cmdCalculator");
        calculator->setFocus();
        QTest::keyClick(calculator, Qt::Key_B, Qt::ShiftModifier);
        QCOMPARE(breaks, 2);
        // Letters in a text box are typed, not commands.
        auto* box = rig.find<QLineEdit>("txtLoadGap");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_B);
        QCOMPARE(breaks, 2);
        QCOMPARE(rig.op.prompts.size(), 0);
    }

    void breakWaitsAndNotesAResidualLoad() {
        MainRig rig;
        rig.link.setControllerFound(true);
        qint32 counts = 130; // 0.3 N
        rig.calibrate([&] { return counts; });
        rig.params.WaitBeforeBreak = 5;
        int breaks = 0;
        rig.actions.hooks().BreakRun = [&] { ++breaks; };
        rig.window.load(Caption, false);

        rig.op.answer(true); // cancelled
        rig.find<QPushButton>("cmdBreak")->click();
        QCOMPARE(breaks, 0);
        QCOMPARE(rig.op.prompts.size(), 1);
        QCOMPARE(rig.op.last().kind, QStringLiteral("countdown"));
        QCOMPARE(rig.op.last().title, QStringLiteral("WAIT BEFORE BREAK"));
        QCOMPARE(rig.op.last().text, QStringLiteral("5"));

        rig.op.answer(false);
        rig.op.answer(MsgResult::Ok);
        rig.find<QPushButton>("cmdBreak")->click();
        QCOMPARE(breaks, 1);
        QCOMPARE(rig.op.prompts.size(), 3);
        QCOMPARE(rig.op.last().title, QStringLiteral("TARE/ZERO LOAD"));
        QCOMPARE(rig.op.last().style, int(MsgStyle::Information));
        QCOMPARE(rig.op.last().text, QStringLiteral("Information: The residual load (0.30 N) is not zero.\r\n"
                                                    "You might need to tare/zero the load"));
        // The activation steps follow the note: the live load is on show again.
        QCOMPARE(rig.window.statusPanel(1), QStringLiteral("Load:  0.30"));
        QVERIFY(rig.window.liveLoadTimer().isActive());

        counts = 120; // 0.2 N
        rig.params.WaitBeforeBreak = 0;
        rig.find<QPushButton>("cmdBreak")->click();
        QCOMPARE(breaks, 2);
        QCOMPARE(rig.op.prompts.size(), 3);
    }

    void rejectedValueKeepsTheFocusAndTheOldValue() {
        MainRig rig;
        QVERIFY(showActive(rig.window));
        auto* gauge = rig.find<QLineEdit>("txtLoadGap");
        auto* zo = rig.find<QLineEdit>("txtZo");

        rig.op.answer(MsgResult::Ok);
        gauge->setFocus();
        gauge->selectAll();
        QTest::keyClicks(gauge, QStringLiteral("5"));
        zo->setFocus(Qt::TabFocusReason);
        QCOMPARE(rig.op.prompts.size(), 1);
        QCOMPARE(rig.op.last().title, QStringLiteral("BAD VALUE"));
        QCOMPARE(rig.op.last().text, QStringLiteral("Gauge length is outside the range 10 to 1000 mm"));
        QCOMPARE(gauge->text(), QStringLiteral("500"));
        QTRY_COMPARE(QApplication::focusWidget(), gauge);
        QCOMPARE(rig.params.GaugeLength, 500.0f);

        rig.op.answer(MsgResult::Ok);
        gauge->selectAll();
        QTest::keyClicks(gauge, QStringLiteral("long"));
        zo->setFocus(Qt::MouseFocusReason);
        QCOMPARE(rig.op.last().text, QStringLiteral("Gauge length must be a number"));
        QTRY_COMPARE(QApplication::focusWidget(), gauge);

        // An accepted value is in force as soon as the focus leaves.
        gauge->selectAll();
        QTest::keyClicks(gauge, QStringLiteral("250"));
        zo->setFocus(Qt::TabFocusReason);
        QCOMPARE(rig.params.GaugeLength, 250.0f);
        QCOMPARE(rig.op.prompts.size(), 2);
        QCOMPARE(QApplication::focusWidget(), zo);
    }

    void specimenUpDownStepsTheBox() {
        MainRig rig;
        QVERIFY(showActive(rig.window));
        auto* up = rig.find<UpDown>("udSpecimenCount");
        auto* box = rig.find<QLineEdit>("txtSpecimenCount");
        up->upButton()->click();
        up->upButton()->click();
        QCOMPARE(box->text(), QStringLiteral("3"));
        QCOMPARE(QApplication::focusWidget(), box);
        QCOMPARE(rig.params.SpecimenCount, 1); // checked when the focus leaves
        rig.find<QLineEdit>("txtDf")->setFocus(Qt::TabFocusReason);
        QCOMPARE(rig.params.SpecimenCount, 3);
        for (int i = 0; i < 5; ++i)
            up->downButton()->click();
        QCOMPARE(box->text(), QStringLiteral("1"));
    }

    void focusFollowsThePosition() {
        MainRig rig;
        rig.link.setControllerFound(true);
        rig.calibrate([] { return 100; });
        rig.window.load(Caption, false);
        rig.window.Activate();
        rig.motion.setPosition(1500);
        rig.window.SetNextFocus();
        QCOMPARE(rig.window.focusWidget(), rig.find<QWidget>("cmdLoad"));
        QCOMPARE(rig.find<QLabel>("lblPosition")->text(), QStringLiteral("1500"));
        rig.motion.setPosition(-20);
        rig.window.SetNextFocus();
        QCOMPARE(rig.window.focusWidget(), rig.find<QWidget>("cmdBreak"));

        // Disabled buttons do not take the focus.
        MainRig absent;
        absent.window.load(Caption, false);
        absent.window.Activate();
        absent.find<QWidget>("txtDf")->setFocus();
        absent.window.SetNextFocus();
        QCOMPARE(absent.window.focusWidget(), absent.find<QWidget>("txtDf"));
    }

    void menuEntries() {
        MainRig rig;
        rig.params.Noisy = true;
        rig.window.load(Caption, false);
        rig.window.setNoisyChecked(rig.params.Noisy);
        auto* noisy = rig.find<QAction>("mnuOptionsNoisy");
        QVERIFY(noisy->isChecked());
        noisy->trigger();
        QVERIFY(!rig.params.Noisy);
        QVERIFY(!noisy->isChecked());
        noisy->trigger();
        QVERIFY(rig.params.Noisy && noisy->isChecked());

        int options = 0, dataFile = 0;
        bool attached = false;
        rig.actions.hooks().Options = [&] { ++options; };
        rig.actions.hooks().DataFileCommand = [&] { ++dataFile; };
        rig.actions.hooks().DataFileAttached = [&] { return attached; };
        rig.find<QAction>("mnuOptionsOptions")->trigger();
        QCOMPARE(options, 1);
        QCOMPARE(dataFile, 0);
        // The button also asks for a data file when none is attached.
        rig.op.answer(MsgResult::Ok);
        rig.find<QPushButton>("cmdOptions")->click();
        QCOMPARE(options, 2);
        QCOMPARE(dataFile, 1);
        QCOMPARE(rig.op.last().title, QStringLiteral("OPEN DATA FILE"));
        QCOMPARE(rig.op.last().style, int(MsgStyle::Exclamation));
        QCOMPARE(rig.op.last().text,
                 QStringLiteral("STAVELY must be connected to a data file which is used for\r\nsaving all "
                                "experimental data. Please choose an existing data\r\nfile or enter the name "
                                "of a new file"));
        attached = true;
        rig.find<QPushButton>("cmdOptions")->click();
        QCOMPARE(dataFile, 1);
        QCOMPARE(rig.op.prompts.size(), 1);

        rig.op.answer(MsgResult::Ok);
        rig.actions.SerialPortError(12);
        QCOMPARE(rig.op.last().text, QStringLiteral("Serial port error 12 encountered"));
        QCOMPARE(rig.op.last().style, int(MsgStyle::OkOnly));
    }

    void unloadHandlerDecidesTheClose() {
        MainRig rig;
        rig.window.show();
        bool allow = false;
        int asked = 0;
        rig.window.setUnloadHandler([&] {
            ++asked;
            return allow;
        });
        rig.find<QAction>("mnuFileExit")->trigger();
        QCOMPARE(asked, 1);
        QVERIFY(rig.window.isVisible());
        rig.find<QPushButton>("cmdExit")->click();
        QCOMPARE(asked, 2);
        allow = true;
        QVERIFY(rig.window.close());
        QVERIFY(!rig.window.isVisible());
    }

    void gridFollowsTheWindowSize() {
        MainRig rig;
        rig.window.load(Caption, false);
        QWidget grid;
        rig.window.setGrid(&grid);
        QCOMPARE(grid.parentWidget(), rig.window.centralWidget());
        rig.window.resize(1000, 800);
        // The window's size counts its frame, as the rule always has.
        const int margin = twipsToPixels(120) - (rig.window.frameGeometry().width() - rig.window.width());
        QCOMPARE(grid.width(), 1000 - margin);
        const int height = grid.height();
        QVERIFY(height > 0);
        rig.window.resize(1100, 900);
        QCOMPARE(grid.width(), 1100 - margin);
        QCOMPARE(grid.height(), height + 100);
        rig.window.setGrid(nullptr); // the grid is a local of this test
    }

    // ---- Decisions without a window ----

    void liveLoadTexts_data() {
        QTest::addColumn<bool>("calibrated");
        QTest::addColumn<double>("load");
        QTest::addColumn<QString>("panel1");
        QTest::addColumn<QString>("panel2");
        QTest::newRow("tiny negative") << true << -0.05 << "Load: -0.05"
                                       << "";
        QTest::newRow("quarter, tie to even") << true << 0.25 << "Load:  0.25" << QString(2, Del);
        QTest::newRow("0.35 rounds up") << true << 0.35 << "Load:  0.35" << QString(4, Del);
        QTest::newRow("1.26") << true << 1.26 << "Load:  1.26" << QString(13, Del);
        QTest::newRow("negative bar") << true << -1.26 << "Load: -1.26" << QStringLiteral("<<<<<<<<<<<<<");
        QTest::newRow("zero") << true << 0.0 << "Load:  0.00"
                              << "";
        QTest::newRow("wide load") << true << 123.456 << "Load: 123.46" << QString(1235, Del);
        QTest::newRow("not calibrated") << false << 3.0 << "Load:  load cell is not calibrated"
                                        << "";
    }
    void liveLoadTexts() {
        QFETCH(bool, calibrated);
        QFETCH(double, load);
        const LiveLoad texts = LiveLoadTexts(calibrated, load);
        QTEST(texts.panel1, "panel1");
        QTEST(texts.panel2, "panel2");
    }

    void preloadSpeedLabel_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("micronsPerStep");
        QTest::addColumn<double>("userSpeed");
        QTest::addColumn<QString>("text");
        QTest::newRow("fastest") << 0 << 1.0 << 0.0 << "Speed 5000 \u00b5m/s";
        QTest::newRow("fastest, tie down to even") << 0 << 0.0005 << 0.0 << "Speed 2 \u00b5m/s";
        QTest::newRow("fastest, fraction") << 0 << 0.33334 << 0.0 << "Speed 1667 \u00b5m/s";
        QTest::newRow("strain rate") << 1 << 1.0 << 0.0 << "Speed 0.3 %/min";
        QTest::newRow("user, tie up to even") << 2 << 1.0 << 3.5 << "Speed 4 \u00b5m/s";
        QTest::newRow("user") << 2 << 1.0 << 1234.4 << "Speed 1234 \u00b5m/s";
    }
    void preloadSpeedLabel() {
        QFETCH(int, mode);
        QFETCH(double, micronsPerStep);
        QFETCH(double, userSpeed);
        Parameters p;
        p.PreloadSpeedMode = mode;
        p.MicronsPerStep = micronsPerStep;
        p.PreloadUserSpeed = userSpeed;
        QTEST(PreloadSpeedText(p), "text");

        MainRig rig;
        rig.params = p;
        rig.window.load(Caption, false);
        rig.window.Activate();
        QTEST(rig.find<QLabel>("lblPreloadSpeed")->text(), "text");
    }

    void residualLoadNote() {
        QCOMPARE(ResidualLoadNote(0.3).value_or(QString()),
                 QStringLiteral("Information: The residual load (0.30 N) is not zero.\r\n"
                                "You might need to tare/zero the load"));
        QCOMPARE(ResidualLoadNote(-0.256).value_or(QString()),
                 QStringLiteral("Information: The residual load (-0.26 N) is not zero.\r\n"
                                "You might need to tare/zero the load"));
        QVERIFY(!ResidualLoadNote(0.2));
        QVERIFY(!ResidualLoadNote(-0.2));
        QVERIFY(!ResidualLoadNote(0));
    }

    void gridKeepsItsMargin() {
        const GridSize big = GridResize(12000, 9000, 4000, 300);
        QCOMPARE(big.width.value_or(-1), 11880.0);
        QCOMPARE(big.height.value_or(-1), 4000.0);
        // Each dimension is left alone once it would be 1000 twips or less.
        const GridSize tight = GridResize(1120, 5700, 4000, 0);
        QVERIFY(!tight.width);
        QVERIFY(!tight.height);
        QCOMPARE(GridResize(1121, 5701, 4000, 0).height.value_or(-1), 1001.0);
        QCOMPARE(GridResize(1121, 5701, 4000, 0).width.value_or(-1), 1001.0);
    }
};

STAVELY_TEST(MainWindowTest)
#include "MainWindowTest.moc"
