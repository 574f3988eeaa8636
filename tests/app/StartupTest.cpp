#include "app/Program.h"
#include "app/StartupTexts.h"
#include "app/frmMain.h"
#include "app/frmSplash.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "results/DataFile.h"
#include "results/DataLine.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>

namespace {
// One program on a settings file in a temporary folder, ended by an exception instead of the process.
struct Run {
    explicit Run(const QString& settingsFile, const QString& instanceName = uniqueName()) {
        // A data file from earlier runs, so that start-up does not ask for one.
        SettingsStore(settingsFile)
            .saveText(QStringLiteral("STAVELY"), QStringLiteral("DataFileName"),
                      QFileInfo(settingsFile).absolutePath() + QStringLiteral("/results.dat"));
        auto scripted = std::make_unique<ScriptedOperator>();
        op = scripted.get();
        ProgramOptions options;
        options.settingsFile = settingsFile;
        options.instanceName = instanceName;
        program = std::make_unique<Program>(options, std::move(scripted));
        program->setEndHook([](const ProgramEnded& how) { throw how; });
        // As if the operator went on without the System Controller.
        program->setConnectController([] { return false; });
    }

    static QString uniqueName() {
        return QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    }

    // Runs f, which must end the program; returns how it ended.
    template <class F> std::optional<ProgramEnded> ending(F&& f) {
        try {
            f();
        } catch (const ProgramEnded& how) {
            return how;
        }
        return std::nullopt;
    }

    ScriptedOperator* op = nullptr;
    std::unique_ptr<Program> program;
};

QString stored(const QString& file, const QString& key) {
    return QSettings(file, QSettings::IniFormat).value(QStringLiteral("STAVELY/") + key).toString();
}

bool splashShown() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<frmSplash*>(w) && w->isVisible())
            return true;
    return false;
}
} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void precisionTimerCheck_data() {
        QTest::addColumn<qint64>("frequency");
        QTest::addColumn<bool>("forceDebug");
        QTest::addColumn<QString>("message"); // empty: start-up goes on
        QTest::newRow("no counter") << qint64(0) << false << StartupTexts::NoPrecisionTimer;
        QTest::newRow("too slow") << qint64(49999) << false << StartupTexts::TimerTooSlow;
        QTest::newRow("just fast enough") << qint64(50000) << false << QString();
        QTest::newRow("steady clock") << qint64(1000000000) << false << QString();
        QTest::newRow("too slow, debug mode") << qint64(49999) << true << StartupTexts::TimerTooSlow;
    }
    void precisionTimerCheck() {
        QFETCH(qint64, frequency);
        QFETCH(bool, forceDebug);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Corvane.ini"));
        if (forceDebug)
            SettingsStore(file).saveText(QStringLiteral("STAVELY"), QStringLiteral("ForceDebug"),
                                         QStringLiteral("True"));
        Run run(file);
        run.program->setCounterFrequency([frequency] { return frequency; });
        const bool shown = !message.isEmpty() && !forceDebug;
        if (shown)
            run.op->answer(MsgResult::Ok);

        std::optional<Program::Started> started;
        const auto how = run.ending([&] { started = run.program->start(); });

        QCOMPARE(run.op->beeps, forceDebug ? 3 : 0);
        QCOMPARE(run.program->parameters().DebugMode, forceDebug || !message.isEmpty());
        if (message.isEmpty()) {
            QVERIFY(!how);
            QCOMPARE(*started, Program::Started::Running);
            QVERIFY(run.program->mainWindow()->isVisible());
            QVERIFY(!splashShown());
            QCOMPARE(run.op->prompts.size(), 0);
            return;
        }
        QVERIFY(how);
        QCOMPARE(how->message, message);
        QCOMPARE(how->title, QStringLiteral("PROGRAM ENDING"));
        QCOMPARE(run.op->prompts.size(), shown ? 1 : 0);
        if (shown) {
            QCOMPARE(run.op->last().text, message);
            QCOMPARE(run.op->last().title, QStringLiteral("PROGRAM ENDING"));
            QCOMPARE(run.op->last().style, MsgStyle::OkOnly | MsgStyle::Critical);
        }
        // Ending unloads the main window, whose shutdown saves the parameters without asking.
        QVERIFY(!run.program->mainWindow()->isVisible());
        QCOMPARE(stored(file, QStringLiteral("MaxStepRate")), QStringLiteral("5000"));
    }

    void differingVersionIsOnlyAWarning() {
        QTemporaryDir dir;
        Run run(dir.filePath(QStringLiteral("Corvane.ini")));
        run.program->setVersion(1, 4);
        run.op->answer(MsgResult::Ok);
        QCOMPARE(run.program->start(), Program::Started::Running);
        QCOMPARE(run.op->prompts.size(), 1);
        QCOMPARE(run.op->last().text,
                 QStringLiteral("Warning: project and predefined version numbers differ!\r\r1.04 and 1.05"));
        QVERIFY(run.program->mainWindow()->isVisible());
    }

    void parametersLoadedAndNoisyMarkFollowsThem() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Corvane.ini"));
        {
            SettingsStore settings(file);
            settings.saveText(QStringLiteral("STAVELY"), QStringLiteral("SpecimenCount"),
                              QStringLiteral("17"));
            settings.saveText(QStringLiteral("STAVELY"), QStringLiteral("Noisy"), QStringLiteral("False"));
        }
        // The data file's largest specimen number sets the counter once the datasheet is loaded.
        QFile data(dir.filePath(QStringLiteral("results.dat")));
        QVERIFY(data.open(QIODevice::WriteOnly));
        data.write(
            DataFile::Encoded(DataLine::HeaderLine()) +
            DataFile::Encoded(QStringLiteral("16,40.1,38.5,4812,6.21,60 MPa/s,,,,,,,,26/12/07,10:00:00,,")));
        data.close();
        Run run(file);
        QCOMPARE(run.program->start(), Program::Started::Running);
        QCOMPARE(run.program->parameters().SpecimenCount, 17);
        auto* noisy = run.program->mainWindow()->findChild<QAction*>(QStringLiteral("mnuOptionsNoisy"));
        QVERIFY(!noisy->isChecked());
        noisy->trigger();
        QVERIFY(run.program->parameters().Noisy);
    }

    void menuEntriesOpenTheirWindows() {
        QTemporaryDir dir;
        Run run(dir.filePath(QStringLiteral("Corvane.ini")));
        QCOMPARE(run.program->start(), Program::Started::Running);
        const QList<std::pair<const char*, QString>> entries{
            {"mnuHelpAbout", QStringLiteral("frmAbout")},
            {"mnuOptionsCalculator", QStringLiteral("Calculator")}};
        for (const auto& [entry, window] : entries) {
            QString opened;
            QTimer::singleShot(0, [&] {
                if (QWidget* modal = QApplication::activeModalWidget()) {
                    opened = modal->objectName().isEmpty()
                                 ? QString::fromLatin1(modal->metaObject()->className())
                                 : modal->objectName();
                    modal->close();
                }
            });
            run.program->mainWindow()->findChild<QAction*>(QLatin1String(entry))->trigger();
            QCOMPARE(opened, window);
        }
    }

    void closingAsksThenSaves() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Corvane.ini"));
        Run run(file);
        QCOMPARE(run.program->start(), Program::Started::Running);
        frmMain* main = run.program->mainWindow();

        run.op->answer(MsgResult::No);
        QVERIFY(!main->close());
        QVERIFY(main->isVisible());
        QCOMPARE(run.op->last().text, QStringLiteral("Are you sure you want to exit the program?"));
        QCOMPARE(run.op->last().title, QStringLiteral("EXIT PROGRAM"));
        QCOMPARE(run.op->last().style, MsgStyle::YesNo | MsgStyle::Question);
        QVERIFY(!QSettings(file, QSettings::IniFormat).contains(QStringLiteral("STAVELY/SpecimenCount")));

        run.program->parameters().SpecimenCount = 42;
        run.op->answer(MsgResult::Yes);
        const auto how = run.ending([&] { main->close(); });
        QVERIFY(how);
        QCOMPARE(how->message, QString());
        QCOMPARE(run.op->prompts.size(), 2);
        QCOMPARE(stored(file, QStringLiteral("SpecimenCount")), QStringLiteral("42"));
    }

    void closingInDebugModeDoesNotAsk() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Corvane.ini"));
        SettingsStore(file).saveText(QStringLiteral("STAVELY"), QStringLiteral("ForceDebug"),
                                     QStringLiteral("-1"));
        Run run(file);
        QCOMPARE(run.program->start(), Program::Started::Running);
        QVERIFY(run.program->parameters().DebugMode);
        run.program->parameters().GaugeLength = 250;
        QVERIFY(run.ending([&] { run.program->mainWindow()->close(); }));
        QCOMPARE(run.op->prompts.size(), 0);
        QCOMPARE(stored(file, QStringLiteral("GaugeLength")), QStringLiteral("250"));
        QVERIFY(!QSettings(file, QSettings::IniFormat).contains(QStringLiteral("STAVELY/DebugMode")));
    }

    // Closing saves the calibrations as they are in memory: a run without the instrument must not
    // turn a stored calibration into an uncalibrated one.
    void calibrationSurvivesARunWithoutTheInstrument() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Corvane.ini"));
        const QString stored1 = QStringLiteral("\"LC-77\",1,51.5,0.2,98,0.6,1,0.1,2.5,3");
        SettingsStore(file).saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData1"), stored1);
        SettingsStore(file).saveText(QStringLiteral("STAVELY"), QStringLiteral("ForceDebug"),
                                     QStringLiteral("1"));
        Run run(file);
        QCOMPARE(run.program->start(), Program::Started::Running);
        QCOMPARE(run.program->parameters().ADchannel, 1);
        QVERIFY(run.ending([&] { run.program->mainWindow()->close(); }));
        QCOMPARE(stored(file, QStringLiteral("CalibrationData1")), stored1);
        QCOMPARE(stored(file, QStringLiteral("CalibrationData0")),
                 QStringLiteral("\"\",0,------,------,------,------,------,------,------,"));
    }

    void secondInstanceEndsFirstRunsOn() {
        QTemporaryDir dir;
        const QString name = Run::uniqueName();
        Run first(dir.filePath(QStringLiteral("a.ini")), name);
        QCOMPARE(first.program->start(), Program::Started::Running);

        const QString secondFile = dir.filePath(QStringLiteral("b.ini"));
        SettingsStore(secondFile)
            .saveText(QStringLiteral("STAVELY"), QStringLiteral("SpecimenCount"), QStringLiteral("9"));
        Run second(secondFile, name);
        bool splashUpWhenRefused = false;
        second.op->answerWith([&](const Prompt&) {
            splashUpWhenRefused = splashShown();
            return MsgResult::Ok;
        });
        QCOMPARE(second.program->start(), Program::Started::SecondInstance);
        QCOMPARE(second.op->prompts.size(), 1);
        QCOMPARE(second.op->last().text,
                 QStringLiteral("Only one instance of STAVELY is permitted\r\n at a time. "
                                "This instance is terminating."));
        QCOMPARE(second.op->last().title, QStringLiteral("THIS INSTANCE OF STAVELY IS CLOSING"));
        QCOMPARE(second.op->last().style, MsgStyle::OkOnly | MsgStyle::Critical);
        QVERIFY(splashUpWhenRefused);
        QCOMPARE(second.program->parameters().SpecimenCount, 9); // loaded before it noticed
        QVERIFY(!splashShown());
        QVERIFY(!second.program->mainWindow());
        QVERIFY(first.program->mainWindow()->isVisible());
        QCOMPARE(first.op->prompts.size(), 0);
    }
};

STAVELY_TEST(StartupTest)
#include "StartupTest.moc"
