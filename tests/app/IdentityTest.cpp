#include "app/ProgramOptions.h"
#include "app/SetProductIdentity.h"
#include "app/StartupTexts.h"
#include "app/SystemInfoTool.h"
#include "app/frmAbout.h"
#include "app/frmSplash.h"
#include "instrument/ApTimer.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString labelText(const QWidget& window, const char* name) {
    auto* label = window.findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}
} // namespace

class IdentityTest : public QObject {
    Q_OBJECT
private slots:
    void versionText() {
        QCOMPARE(VersionText(1, 5), QStringLiteral("1.05"));
        QCOMPARE(VersionText(1, 12), QStringLiteral("1.12"));
        QCOMPARE(VersionText(2, 0), QStringLiteral("2.00"));
    }

    void differingVersionWarnsAndGoesOn() {
        QTemporaryDir dir;
        SettingsStore settings(dir.filePath(QStringLiteral("s.ini")));
        Parameters parameters;
        ScriptedOperator op;
        SetProductIdentity(parameters, settings, op, dir.path());
        QCOMPARE(op.prompts.size(), 0);

        op.answer(MsgResult::Ok);
        const AppIdentity id = SetProductIdentity(parameters, settings, op, dir.path(), 1, 6);
        QCOMPARE(op.prompts.size(), 1);
        QCOMPARE(op.last().text,
                 QStringLiteral("Warning: project and predefined version numbers differ!\r\r1.06 and 1.05"));
        QCOMPARE(op.last().title, QString());
        QCOMPARE(op.last().style, int(MsgStyle::OkOnly));
        QCOMPARE(id.version, QStringLiteral("1.06"));
    }

    void identityOfThisBuild() {
        QTemporaryDir dir;
        SettingsStore settings(dir.filePath(QStringLiteral("s.ini")));
        Parameters parameters;
        parameters.DataFileName = QStringLiteral("left over.csv");
        ScriptedOperator op;
        const AppIdentity id = SetProductIdentity(parameters, settings, op, QStringLiteral("/opt/stavely"));
        QCOMPARE(id.caption, QStringLiteral("STAVELY - Control Program for the Stavely Tester"));
        QCOMPARE(id.helpFile, QStringLiteral("/opt/stavely/docs/STAVELY.html"));
        QVERIFY(!QPixmap(id.iconFile).isNull());
        QVERIFY(parameters.DataFileName.isEmpty());
    }

    void forceDebug_data() {
        QTest::addColumn<QString>("stored"); // "<missing>" leaves the value out
        QTest::addColumn<bool>("debug");
        QTest::newRow("missing") << QStringLiteral("<missing>") << false;
        QTest::newRow("True") << QStringLiteral("True") << true;
        QTest::newRow("true") << QStringLiteral("true") << true;
        QTest::newRow("-1") << QStringLiteral("-1") << true;
        QTest::newRow("False") << QStringLiteral("False") << false;
        QTest::newRow("0") << QStringLiteral("0") << false;
        QTest::newRow("garbage") << QStringLiteral("yes please") << false;
    }
    void forceDebug() {
        QFETCH(QString, stored);
        QFETCH(bool, debug);
        QTemporaryDir dir;
        SettingsStore settings(dir.filePath(QStringLiteral("s.ini")));
        if (stored != QStringLiteral("<missing>"))
            settings.saveText(QStringLiteral("STAVELY"), QStringLiteral("ForceDebug"), stored);
        Parameters parameters;
        parameters.DebugMode = true; // cleared first, whatever it was
        ScriptedOperator op;
        QElapsedTimer clock;
        clock.start();
        SetProductIdentity(parameters, settings, op, dir.path());
        QCOMPARE(parameters.DebugMode, debug);
        QCOMPARE(op.beeps, debug ? 3 : 0);
        if (debug)
            QVERIFY2(clock.elapsed() >= 390, "two pauses of 0.2 s between the beeps");
        QCOMPARE(op.prompts.size(), 0);
    }

    void splashAndAboutLabels() {
        QTemporaryDir dir;
        SettingsStore settings(dir.filePath(QStringLiteral("s.ini")));
        Parameters parameters;
        ScriptedOperator op;
        const AppIdentity id = SetProductIdentity(parameters, settings, op, dir.path());

        frmSplash splash(id);
        QCOMPARE(labelText(splash, "lblVersion"), QStringLiteral("Version 1.05"));
        QCOMPARE(labelText(splash, "lblProductName"), QStringLiteral("STAVELY"));
        // The system it runs on, named as that system names itself.
        const QString system = labelText(splash, "lblProductName2");
        QVERIFY2(system.startsWith(QStringLiteral("STAVELY for ")) && system.size() > 12, qPrintable(system));
#ifndef Q_OS_WIN
        QVERIFY2(!system.contains(QStringLiteral("Windows")), qPrintable(system));
#endif
        QVERIFY(!splash.findChild<QLabel*>(QStringLiteral("imgLogo"))->pixmap().isNull());
        QVERIFY(splash.findChildren<QPushButton*>().isEmpty());

        frmAbout about(id, op);
        QCOMPARE(about.windowTitle(), QStringLiteral("About STAVELY"));
        QCOMPARE(labelText(about, "lblVersion"),
                 QStringLiteral("Version 1.05 build %1").arg(STAVELY_BUILD_REVISION));
        QCOMPARE(labelText(about, "lblDescription"), id.description);
#ifndef Q_OS_WIN
        op.answer(MsgResult::Ok);
        QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);
        QCOMPARE(op.prompts.size(), 1);
        QCOMPARE(op.last().text, QStringLiteral("System Information Is Unavailable At This Time"));
#endif
    }

    void systemInfoToolLookup_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("toolExists");
        QTest::addColumn<QString>("expected");
        QTest::newRow("registered path") << "C:\\Tools\\msinfo32.exe"
                                         << "C:\\Other" << false << "C:\\Tools\\msinfo32.exe";
        QTest::newRow("folder with tool") << ""
                                          << "C:\\Shared" << true << "C:\\Shared\\MSINFO32.EXE";
        QTest::newRow("folder without tool") << ""
                                             << "C:\\Shared" << false << "";
        QTest::newRow("nothing registered") << ""
                                            << "" << true << "";
    }
    void systemInfoToolLookup() {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QFETCH(bool, toolExists);
        QFETCH(QString, expected);
        QMap<QString, QString> machine;
        machine[QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO|PATH")] = path;
        machine[QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location|MSINFO")] = folder;
        QStringList checked;
        const QString found = SystemInfoTool::findPath(
            [&](const QString& key, const QString& value) {
                return machine.value(key + QLatin1Char('|') + value);
            },
            [&](const QString& file) {
                checked << file;
                return toolExists;
            });
        QCOMPARE(found, expected);
        if (path.isEmpty() && !folder.isEmpty())
            QCOMPARE(checked, QStringList{folder + QStringLiteral("\\MSINFO32.EXE")});
    }

    void commandLine() {
        QString error;
        auto options = ProgramOptions::parse({QStringLiteral("stavely")}, &error);
        QVERIFY(options && !options->simulate && options->settingsFile.isEmpty());
        QVERIFY(options->settingsPath().endsWith(QStringLiteral("/Corvane/Corvane.ini")));

        options = ProgramOptions::parse({QStringLiteral("stavely"), QStringLiteral("--simulate")}, &error);
        QVERIFY(options && options->simulate);
        QVERIFY(options->settingsPath().endsWith(QStringLiteral("/Corvane/Corvane-simulator.ini")));

        options = ProgramOptions::parse({QStringLiteral("stavely"), QStringLiteral("--settings"),
                                         QStringLiteral("/tmp/x.ini"), QStringLiteral("--simulate")},
                                        &error);
        QVERIFY(options && options->simulate);
        QCOMPARE(options->settingsPath(), QStringLiteral("/tmp/x.ini"));
        options = ProgramOptions::parse({QStringLiteral("stavely"), QStringLiteral("--settings=/tmp/y.ini")},
                                        &error);
        QCOMPARE(options->settingsPath(), QStringLiteral("/tmp/y.ini"));

        QVERIFY(!ProgramOptions::parse({QStringLiteral("stavely"), QStringLiteral("--settings")}, &error));
        QVERIFY(error.contains(QStringLiteral("Usage")));
        QVERIFY(!ProgramOptions::parse({QStringLiteral("stavely"), QStringLiteral("--bogus")}, &error));
        QVERIFY(error.contains(QStringLiteral("--bogus")));
    }

#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
    void displayCheck() {
        const auto env = [](QMap<QString, QString> values) {
            return [values](const char* name) { return values.value(QLatin1String(name)); };
        };
        const QStringList plain{QStringLiteral("stavely")};
        QVERIFY(!ProgramOptions::displayAvailable(env({}), plain));
        QVERIFY(ProgramOptions::displayAvailable(env({{QStringLiteral("DISPLAY"), QStringLiteral(":0")}}),
                                                 plain));
        QVERIFY(ProgramOptions::displayAvailable(
            env({{QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("w")}}), plain));
        QVERIFY(ProgramOptions::displayAvailable(
            env({{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}}), plain));
        QVERIFY(ProgramOptions::displayAvailable(
            env({}), {QStringLiteral("stavely"), QStringLiteral("-platform"), QStringLiteral("offscreen")}));
    }
#endif
};

STAVELY_TEST(IdentityTest)
#include "IdentityTest.moc"
