#include "app/MainActions.h"
#include "app/Program.h"
#include "app/frmMain.h"
#include "instrument/PortMap.h"
#include "params/Cp1252.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "results/DataFile.h"
#include "results/DataLine.h"
#include "results/Datasheet.h"
#include "results/DatasheetPanel.h"
#include "results/grdResults.h"
#include "sim/SimServer.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

QStringList earlier(int n, const QString& load) {
    return {QString::number(n),
            load,
            QStringLiteral("38.5"),
            QStringLiteral("4812"),
            QStringLiteral("6.21"),
            QStringLiteral("60 MPa/s"),
            QStringLiteral("812.4"),
            QStringLiteral("3.1"),
            QStringLiteral("4.9"),
            QStringLiteral("0.05"),
            QStringLiteral("59.8"),
            QStringLiteral("0.6"),
            QStringLiteral("81.2"),
            QStringLiteral("26/12/07"),
            QStringLiteral("10:0%1:00").arg(n),
            QString(),
            QStringLiteral("125 500 0 72 3 0 0")};
}
const QStringList Loads{"41.2", "39.7", "44.0"};

QByteArray line(const QStringList& fields) {
    return DataFile::Encoded(DataLine::FileLine(fields));
}

// The whole program on its built-in simulated instrument, in debug mode (no zero window), with a
// data file of three earlier results; ended by an exception instead of the process.
struct Lab {
    QTemporaryDir dir;
    QString settings = dir.filePath(QStringLiteral("Corvane-simulator.ini"));
    QString data = dir.filePath(QStringLiteral("fibers.dat"));
    ScriptedOperator* op = nullptr;
    std::unique_ptr<Program> program;

    Lab() {
        QFile file(data);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(DataFile::Encoded(DataLine::HeaderLine()));
            for (int n = 1; n <= 3; ++n)
                file.write(line(earlier(n, Loads[n - 1])));
        }
        SettingsStore store(settings);
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("ForceDebug"), QStringLiteral("True"));
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("DataFileName"), data);
        store.sync();
        auto scripted = std::make_unique<ScriptedOperator>();
        op = scripted.get();
        ProgramOptions options;
        options.settingsFile = settings;
        options.simulate = true;
        options.instanceName =
            QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        program = std::make_unique<Program>(options, std::move(scripted));
        program->setEndHook([](const ProgramEnded& how) { throw how; });
        program->actions().hooks().Calibrate = [] {};
    }
    ~Lab() {
        program.reset();
        qunsetenv(qPrintable(PortMap::environmentName(1)));
    }
    QByteArray read(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    template <class W> W* find(const char* name) const {
        return program->mainWindow()->findChild<W*>(QLatin1String(name));
    }
};

// A working laboratory: a calibrated instrument on COM1 that kept its position, no debug mode.
struct LabOnSim {
    QTemporaryDir dir;
    SimServer sim{config()};
    ScriptedOperator* op = nullptr;
    std::unique_ptr<Program> program;

    static SimConfig config() {
        SimConfig c = SimTest::quietConfig();
        c.fiberPresent = false;
        return c;
    }
    ~LabOnSim() {
        program.reset();
        qunsetenv(qPrintable(PortMap::environmentName(1)));
    }
    bool start(const QString& data) {
        const QString link = dir.filePath(QStringLiteral("COM1"));
        if (!dir.isValid() || !sim.startInThread(link))
            return false;
        qputenv(qPrintable(PortMap::environmentName(1)), link.toLocal8Bit());
        sim.update([](SimInstrument& instrument) { instrument.receive("s000007D0\r", instrument.now()); });
        const QString file = dir.filePath(QStringLiteral("Corvane.ini"));
        SettingsStore store(file);
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("COMnum"), QStringLiteral("1"));
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData0"),
                       QStringLiteral("\"SIM-2041\",0,51,0.1,100,0.5,------,------,------,"));
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("DataFileName"), data);
        store.sync();
        auto scripted = std::make_unique<ScriptedOperator>();
        op = scripted.get();
        ProgramOptions options;
        options.settingsFile = file;
        options.instanceName =
            QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        program = std::make_unique<Program>(options, std::move(scripted));
        program->setEndHook([](const ProgramEnded& how) { throw how; });
        op->answer(MsgResult::Yes); // take the kept position
        return program->start() == Program::Started::Running;
    }
};

} // namespace

class DatasheetFlowTest : public QObject {
    Q_OBJECT
private slots:
    // Start on the simulator with earlier results, sort, comment, delete, export, exit: the data
    // file on disc is right at every step.
    void earlierResultsSortedCommentedDeletedExported() {
        Lab lab;
        lab.op->answer(MsgResult::Ok); // the simulated load cell is not calibrated
        QCOMPARE(lab.program->start(), Program::Started::Running);
        frmMain* main = lab.program->mainWindow();
        grdResults* grid = lab.program->datasheetPanel()->grid();
        QTRY_VERIFY(grid->isVisible());
        QCOMPARE(grid->model()->rowCount(), 3);
        QCOMPARE(lab.find<QLineEdit>("txtSpecimenCount")->text(), QStringLiteral("4"));
        QCOMPARE(lab.find<QLabel>("lblDataFile")->toolTip(), lab.data);
        // The last row is current after the load, at its specimen number.
        QCOMPARE(grid->currentIndex(), grid->model()->index(2, 0));

        // A double click on a row number is no sort.
        const QString firstLoad = grid->model()->index(0, 1).data().toString();
        const QRect numbers = grid->verticalHeader()->geometry();
        QTest::mouseDClick(
            grid->verticalHeader()->viewport(), Qt::LeftButton, {},
            QPoint(numbers.width() / 2, grid->verticalHeader()->sectionViewportPosition(1) + 3));
        QCOMPARE(grid->model()->index(0, 1).data().toString(), firstLoad);

        // Double click on the header of column 2 sorts by it.
        QHeaderView* header = grid->horizontalHeader();
        const QPoint onLoad(header->sectionViewportPosition(1) + 5, header->height() / 2);
        QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, onLoad);
        QCOMPARE(grid->model()->index(0, 1).data().toString(), QStringLiteral("39.7"));
        QCOMPARE(grid->model()->headerData(0, Qt::Vertical).toInt(), 2);
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, 1));

        // Typing on a comments cell replaces the comment; Enter commits and rewrites the file.
        grid->selectCell(0, 16);
        grid->setFocus();
        QTest::keyClicks(grid, QStringLiteral("S"));
        QLineEdit* editor = grid->editor();
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->text(), QStringLiteral("S"));
        QTest::keyClicks(editor, QStringLiteral("lipped, \"rewound\""));
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(!editor->isVisible());
        QStringList second = earlier(2, Loads[1]);
        second[15] = QStringLiteral("Slipped, \"rewound\"");
        QByteArray expected = DataFile::Encoded(DataLine::HeaderLine()) + line(earlier(1, Loads[0])) +
                              line(second) + line(earlier(3, Loads[2]));
        QCOMPARE(lab.read(lab.data), expected);

        // Esc leaves the comment as it was; a character the file cannot hold is refused with a beep.
        grid->selectCell(1, 16);
        QTest::keyClicks(grid, QStringLiteral("X"));
        QKeyEvent greekMu(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x03BC)));
        QCoreApplication::sendEvent(editor, &greekMu);
        QCOMPARE(editor->text(), QStringLiteral("X"));
        QVERIFY(lab.op->beeps >= 1);
        QTest::keyClick(editor, Qt::Key_Escape);
        QCOMPARE(grid->model()->index(1, 15).data().toString(), QString());
        QCOMPARE(lab.read(lab.data), expected);
        // The comments cell stays current, so the next key starts the next comment there.
        QCOMPARE(grid->currentIndex(), grid->model()->index(1, 15));
        QTest::keyClicks(grid, QStringLiteral("Y"));
        QVERIFY(editor->isVisible());
        QTest::keyClick(editor, Qt::Key_Escape);
        QCOMPARE(grid->currentIndex(), grid->model()->index(1, 15));

        // Ctrl+C copies the selection and beeps twice.
        const int beeps = lab.op->beeps;
        grid->selectCell(0, 2);
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("39.7\r\n"));
        QCOMPARE(lab.op->beeps, beeps + 2);

        // The right button relabels the menu for the row and column under the mouse and pops it up.
        const QRect cell = grid->visualRect(grid->model()->index(2, 3));
        QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, cell.center());
        QMenu* menu = lab.find<QMenu>("mnuDataSheet");
        QTRY_VERIFY(menu->isVisible());
        // The row under the pointer is selected first: "Copy selection" and "Delete row" mean it.
        QVERIFY(grid->selectionModel()->isRowSelected(2, QModelIndex()));
        QVERIFY(!grid->selectionModel()->isSelected(grid->model()->index(0, 2)));
        QCOMPARE(grid->selectedBlock().row1, 2);
        QCOMPARE(grid->selectedBlock().row2, 2);
        auto action = [&](const char* name) { return menu->findChild<QAction*>(QLatin1String(name)); };
        QCOMPARE(action("mnuGridDel")->text(), QStringLiteral("&Delete row 3"));
        QCOMPARE(action("mnuGridComment")->text(), QStringLiteral("&Edit comment for row 3"));
        QCOMPARE(action("mnuGridSort")->text(), QStringLiteral("&Sort column \"s (MPa)\""));
        QCOMPARE(action("mnuGridFit")->text(), QStringLiteral("&Fit width of column \"s (MPa)\""));
        QVERIFY(action("mnuGridDel")->isEnabled());
        menu->hide();

        lab.op->answer(1); // Yes
        lab.op->answer(2); // Confirm
        action("mnuGridDel")->trigger();
        QCOMPARE(grid->model()->rowCount(), 2);
        expected = DataFile::Encoded(DataLine::HeaderLine()) + line(earlier(1, Loads[0])) + line(second);
        QCOMPARE(lab.read(lab.data), expected);

        // The right button on empty grid space names no column.
        const QPoint empty(grid->viewport()->width() - 3, grid->viewport()->height() - 3);
        QVERIFY(!grid->indexAt(empty).isValid());
        QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, empty);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(action("mnuGridSort")->text(), QStringLiteral("&Sort column"));
        QVERIFY(!action("mnuGridSort")->isEnabled() && !action("mnuGridHide")->isEnabled());
        QVERIFY(!action("mnuGridDel")->isEnabled());
        menu->hide();

        // The right button on the header row: no row to edit or delete.
        QTest::mouseClick(header->viewport(), Qt::RightButton, {}, onLoad);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(action("mnuGridComment")->text(), QStringLiteral("&Edit comment"));
        QVERIFY(!action("mnuGridDel")->isEnabled());
        menu->hide();

        // Export all data to a file, with the header checked.
        QMenu* exportMenu = lab.find<QMenu>("mnuExportData");
        exportMenu->findChild<QAction*>(QStringLiteral("mnuDataHeaders"))->trigger();
        const QString exported = lab.dir.filePath(QStringLiteral("export.csv"));
        lab.op->answer(exported);
        exportMenu->findChild<QAction*>(QStringLiteral("mnuDataFileAll"))->trigger();
        QCOMPARE(lab.read(exported),
                 DataFile::Encoded(DataLine::HeaderLine()) + line(second) + line(earlier(1, Loads[0])));

        // Exit: the column widths are stored with the parameters.
        lab.program->datasheet().setColumnWidth(3, 0);
        bool ended = false;
        try {
            main->close();
        } catch (const ProgramEnded&) {
            ended = true;
        }
        QVERIFY(ended);
        // (the others were fitted to the file when it was opened)
        const QString widths = SettingsStore(lab.settings)
                                   .getText(QStringLiteral("STAVELY"), QStringLiteral("GridColWidths"), {});
        QCOMPARE(widths.split(QLatin1Char(',')).size(), 18);
        QCOMPARE(widths.section(QLatin1Char(','), 3, 3), QStringLiteral("0"));
        QCOMPARE(lab.read(lab.data), expected);
        QVERIFY(lab.op->unexpected.isEmpty());
    }

    // The grid fills the window below the controls by its margin rule; with STAVELY_SCREENSHOT_DIR
    // set, the window is saved there as a picture for the manual.
    void gridBelowTheControlsFillsTheWindow() {
        LabOnSim lab;
        const QString data = lab.dir.filePath(QStringLiteral("fibers.dat"));
        QFile file(data);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(DataFile::Encoded(DataLine::HeaderLine()));
        const QStringList comments{QString(), QString(),
                                   QString(), QStringLiteral("break at capstan"),
                                   QString(), QStringLiteral("coating bubble, ignore")};
        for (int n = 1; n <= 24; ++n) {
            QStringList row = earlier(n, QString::number(38 + (n * 7) % 9 + n / 10.0, 'f', 2));
            row[14] = QStringLiteral("10:%1:%2")
                          .arg(10 + n, 2, 10, QLatin1Char('0'))
                          .arg((n * 17) % 60, 2, 10, QLatin1Char('0'));
            row[15] = comments[n % comments.size()];
            file.write(line(row));
        }
        file.close();
        QVERIFY(lab.start(data));
        frmMain* main = lab.program->mainWindow();
        grdResults* grid = lab.program->datasheetPanel()->grid();
        QTRY_VERIFY(grid->isVisible());
        QCOMPARE(grid->model()->rowCount(), 24);
        QCOMPARE(lab.program->parameters().SpecimenCount, 25);
        // The last row is in view.
        QVERIFY(grid->viewport()->rect().intersects(grid->visualRect(grid->model()->index(23, 0))));
        const QString folder = qEnvironmentVariable("STAVELY_SCREENSHOT_DIR");
        if (!folder.isEmpty()) {
            // As after the first result of the day: the columns fitted to what they hold.
            lab.program->datasheet().AutoFitColumns(-1, false);
            grid->scrollToTop();
            grid->selectCell(3, 2);
            QTest::qWait(300);
            QVERIFY(main->grab().save(folder + QStringLiteral("/datasheet.png")));
        }
        const QWidget* buttons = main->findChild<QWidget*>(QStringLiteral("fraButtons"));
        const QPoint below = buttons->mapTo(main, QPoint(0, buttons->height()));
        QVERIFY(grid->mapTo(main, QPoint(0, 0)).y() >= below.y());
        QVERIFY(grid->width() > main->width() * 9 / 10);
        QVERIFY(grid->mapTo(main, QPoint(0, grid->height())).y() <
                main->statusBar()->mapTo(main, QPoint(0, 0)).y());
    }

    // A new user without a data file is asked for one at start-up and cannot leave without it.
    void newUserChoosesADataFile() {
        Lab lab;
        SettingsStore(lab.settings)
            .saveText(QStringLiteral("STAVELY"), QStringLiteral("DataFileName"), QString());
        const QString chosen = lab.dir.filePath(QStringLiteral("first.dat"));
        // The load cell notice comes with the window; the dialog is cancelled once, then answered.
        int dialogs = 0;
        for (int i = 0; i < 5; ++i)
            lab.op->answerWith([&](const Prompt& p) -> QVariant {
                if (p.kind == QStringLiteral("openFile"))
                    return ++dialogs == 1 ? QVariant() : QVariant(chosen);
                return MsgResult::Ok;
            });
        QCOMPARE(lab.program->start(), Program::Started::Running);
        QTRY_COMPARE(lab.op->remainingAnswers(), 0);
        QStringList seen;
        for (const Prompt& p : std::as_const(lab.op->prompts))
            if (p.title != QStringLiteral("THE LOAD CELL IS NOT CALIBRATED"))
                seen << p.kind + QLatin1Char('|') + p.title + QLatin1Char('|') + p.text.left(30);
        QCOMPARE(seen, (QStringList{"msgBox|OPEN DATA FILE|STAVELY must be connected to a",
                                    "openFile|OPEN DATA FILE|", "myMsgBox||A data file name must be given",
                                    "openFile|OPEN DATA FILE|"}));
        QCOMPARE(lab.op->prompts.last().file.filter,
                 QStringLiteral(
                     "Data files (*.dat)|*.dat|Comma separated values (*.csv)|*.csv|All files (*.*)|*.*"));
        QCOMPARE(lab.program->datasheet().dataFileName(), chosen);
        QCOMPARE(lab.read(chosen), DataFile::Encoded(DataLine::HeaderLine()));
        QCOMPARE(SettingsStore(lab.settings)
                     .getText(QStringLiteral("STAVELY"), QStringLiteral("DataFileName"), {}),
                 chosen);
    }
};

STAVELY_TEST(DatasheetFlowTest)
#include "DatasheetFlowTest.moc"
