#include "app/DistributedCalibration.h"
#include "app/MyMsgBoxLayout.h"
#include "app/ProgramOptions.h"
#include "app/TitleWidth.h"
#include "instrument/LoadCell.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "tests/support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
} // namespace

// What a new user meets first: the simulated load cell's own calibration, boxes whose titles can be
// read, and a command line that answers --help and --version.
class FirstStartTest : public QObject {
    Q_OBJECT
private slots:
    void distributedCalibrationIsTakenOnlyWhenItFits() {
        const QString shipped = QFINDTESTDATA("../../data/SIM-2041.cal");
        QVERIFY(!shipped.isEmpty());
        QFile in(shipped);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray good = in.readAll();
        const QString stored = QStringLiteral("\"OWN-7\",0,50,0.1,90,0.5,------,------,------,");
        struct Case {
            const char* what;
            QByteArray file; // empty: none in the folder
            bool calibratedBefore;
            bool taken;
        };
        const QList<Case> cases{
            {"the distributed file", good, false, true},
            {"no file", {}, false, false},
            {"another cell's file under the name", QByteArray(good).replace("SIM-2041", "SIM-9999"), false,
             false},
            {"not a calibration", "calibrate me\r\n", false, false},
            {"a calibration of its own already", good, true, false},
        };
        for (const Case& c : cases) {
            QTemporaryDir dir;
            if (!c.file.isEmpty())
                QVERIFY(writeFile(dir.filePath(QStringLiteral("SIM-2041.cal")), c.file));
            SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
            if (c.calibratedBefore)
                store.saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData0"), stored);
            Parameters p;
            LoadCell cell(p, store);
            cell.LoadCalibrations();
            const QString note =
                DistributedCalibration::takeIfUncalibrated(cell, dir.path(), QStringLiteral("SIM-2041"));
            QVERIFY2(note.isEmpty() != c.taken, c.what);
            QCOMPARE(cell.currentIsCalibrated(), c.taken || c.calibratedBefore);
            const QString kept =
                SettingsStore(dir.filePath(QStringLiteral("s.ini")))
                    .getText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData0"), QString());
            if (c.taken) {
                QCOMPARE(note, QStringLiteral("Load cell calibrated from ") +
                                   QDir::toNativeSeparators(dir.filePath(QStringLiteral("SIM-2041.cal"))) +
                                   QStringLiteral(" (distributed for the simulated load cell)"));
                QCOMPARE(cell.current().SerialNumber, QStringLiteral("SIM-2041"));
                QVERIFY2(kept.startsWith(QStringLiteral("\"SIM-2041\",0,50.9916")), qPrintable(kept));
                QCOMPARE(p.ADchannel, qint16(0));
            } else {
                QCOMPARE(kept, c.calibratedBefore ? stored : QString());
            }
        }
    }

    // "ZERO POSITION INDICATOR" over "Zero stepper motor drive" was clipped to "ZERO PO... ICATOR".
    void boxesAreAsWideAsTheirTitles() {
        const QString title = QStringLiteral("ZERO POSITION INDICATOR");
        QMessageBox box;
        box.setWindowTitle(title);
        box.setText(QStringLiteral("Zero stepper motor drive"));
        box.setIcon(QMessageBox::Warning);
        box.addButton(QMessageBox::Ok);
        const int narrow = box.sizeHint().width();
        TitleWidth::fit(box);
        QTimer::singleShot(0, &box, [&box] { box.done(0); });
        box.exec();
        QVERIFY2(box.width() >= TitleWidth::pixels(title),
                 qPrintable(QStringLiteral("%1 < %2").arg(box.width()).arg(TitleWidth::pixels(title))));
        QVERIFY(box.width() > narrow);
        QVERIFY(TitleWidth::pixels(title) > TitleWidth::pixels(QStringLiteral("ZERO")));

        // The program's own box grows to the title's width, and never shrinks below its own.
        MyMsgBoxRequest request;
        request.title = title;
        request.buttons[0] = QStringLiteral("&OK");
        MyMsgBoxMetrics metrics;
        for (const auto& [titleWidth, expected] : QList<QPair<int, int>>{
                 {0, MyMsgBoxLayout::BaseWidth}, {7000, 7000}, {3000, MyMsgBoxLayout::BaseWidth}}) {
            metrics.titleWidth = titleWidth;
            const MyMsgBoxLayout layout = MyMsgBoxLayout::compute(request, metrics);
            QCOMPARE(layout.windowWidth, expected);
            QCOMPARE(layout.buttons[0].left(), (expected - MyMsgBoxLayout::ButtonWidth) / 2); // still centred
        }
    }

    void helpAndVersionAreHeadlessCommands() {
        struct Case {
            QStringList arguments;
            bool help, version, headless;
        };
        const QList<Case> cases{
            {{"stavely", "--help"}, true, false, true},
            {{"stavely", "-h"}, true, false, true},
            {{"stavely", "--version"}, false, true, true},
            {{"stavely", "--simulate", "--version"}, false, true, true},
            {{"stavely", "--simulate"}, false, false, false},
        };
        for (const Case& c : cases) {
            QString error;
            const std::optional<ProgramOptions> options = ProgramOptions::parse(c.arguments, &error);
            QVERIFY2(options.has_value(), qPrintable(error));
            QCOMPARE(options->help, c.help);
            QCOMPARE(options->version, c.version);
            QCOMPARE(options->headless(), c.headless);
            QCOMPARE(ProgramOptions::asksHeadless(c.arguments), c.headless);
        }
        QString error;
        QVERIFY(!ProgramOptions::parse({"stavely", "--versions"}, &error));
        QVERIFY(error.startsWith(QStringLiteral("Unknown argument \"--versions\".")));
    }
};

STAVELY_TEST(FirstStartTest)
#include "FirstStartTest.moc"
