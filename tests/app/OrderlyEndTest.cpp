#include "app/OrderlyEnd.h"
#include "app/Shutdown.h"
#include "app/StartupTexts.h"
#include "app/WindowUnloader.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "tests/app/MainRig.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace {
const QString kTitle = StartupTexts::ProgramEndingTitle;

void throwingEnd(const ProgramEnded& how) {
    throw how;
}

// Runs f, which must end the program; returns how it ended.
template <class F> std::optional<ProgramEnded> endingOf(F&& f) {
    try {
        f();
    } catch (const ProgramEnded& how) {
        return how;
    }
    return std::nullopt;
}
} // namespace

class OrderlyEndTest : public QObject {
    Q_OBJECT
private slots:
    void messageShownOnlyWhenGivenAndNotInDebugMode_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("debugMode");
        QTest::addColumn<bool>("shown");
        QTest::newRow("message") << QStringLiteral("The link is gone.\rBye.") << false << true;
        QTest::newRow("empty message") << QString() << false << false;
        QTest::newRow("debug mode") << QStringLiteral("The link is gone.") << true << false;
    }
    void messageShownOnlyWhenGivenAndNotInDebugMode() {
        QFETCH(QString, message);
        QFETCH(bool, debugMode);
        QFETCH(bool, shown);
        ScriptedOperator op;
        Parameters parameters;
        parameters.DebugMode = debugMode;
        OrderlyEnd end(op, parameters);
        int portClosed = 0;
        end.setClosePort([&] { ++portClosed; });
        end.setEndHook(throwingEnd);
        if (shown)
            op.answer(MsgResult::Ok);

        const auto how = endingOf([&] { end.EndProgram(message, kTitle); });

        QVERIFY(how.has_value());
        QCOMPARE(how->message, message);
        QCOMPARE(how->title, kTitle);
        QCOMPARE(portClosed, 1);
        QVERIFY(parameters.DebugMode); // nothing may ask while the windows close
        QCOMPARE(op.prompts.size(), shown ? 1 : 0);
        if (shown) {
            QCOMPARE(op.last().kind, QStringLiteral("msgBox"));
            QCOMPARE(op.last().text, message);
            QCOMPARE(op.last().title, kTitle);
            QCOMPARE(op.last().style, MsgStyle::OkOnly | MsgStyle::Critical);
        }
        QCOMPARE(OrderlyEnd::exitCode(*how), message.isEmpty() ? 0 : 1);
    }

    void closesEveryWindowMainWindowLast() {
        ScriptedOperator op;
        Parameters parameters;
        parameters.DebugMode = true;
        OrderlyEnd end(op, parameters);
        end.setEndHook(throwingEnd);

        QWidget other;
        other.show();
        MainRig rig;
        frmMain& main = rig.window;
        main.show();
        bool otherOpenWhenMainClosed = true;
        main.setUnloadHandler([&] {
            otherOpenWhenMainClosed = other.isVisible();
            return true;
        });
        end.setUnloadWindows([&] { WindowUnloader::unloadAll(&main); });

        QVERIFY(endingOf([&] { end.EndProgram(QStringLiteral("x"), kTitle); }).has_value());
        QVERIFY(!other.isVisible());
        QVERIFY(!main.isVisible());
        QVERIFY(!otherOpenWhenMainClosed);
    }

    // EndProgram unloads the main window, whose unload is the normal shutdown: no exit question,
    // the parameters are saved and the process ends carrying the fatal message.
    void fatalEndGoesThroughTheNormalShutdown() {
        QTemporaryDir dir;
        SettingsStore settings(dir.filePath(QStringLiteral("s.ini")));
        ScriptedOperator op;
        Parameters parameters;
        OrderlyEnd end(op, parameters);
        end.setEndHook(throwingEnd);
        Shutdown shutdown(op, parameters, settings, end);
        int saved = 0;
        shutdown.setSaveParameters([&] { ++saved; });
        MainRig rig;
        frmMain& main = rig.window;
        main.setUnloadHandler([&] { return shutdown.run(); });
        end.setUnloadWindows([&] { WindowUnloader::unloadAll(&main); });
        op.answer(MsgResult::Ok);

        const auto how = endingOf([&] { end.EndProgram(QStringLiteral("Fatal."), kTitle); });

        QVERIFY(how.has_value());
        QCOMPARE(how->message, QStringLiteral("Fatal."));
        QCOMPARE(saved, 1);
        QCOMPARE(op.prompts.size(), 1); // the fatal message only, no exit question
    }

    void shutdownSavesGridWidthsOnlyWhenThereAreAny() {
        QTemporaryDir dir;
        for (const QString& widths : {QString(), QStringLiteral("500,700,900")}) {
            const QString path =
                dir.filePath(widths.isEmpty() ? QStringLiteral("a.ini") : QStringLiteral("b.ini"));
            SettingsStore settings(path);
            ScriptedOperator op;
            Parameters parameters;
            parameters.DebugMode = true;
            OrderlyEnd end(op, parameters);
            end.setEndHook(throwingEnd);
            Shutdown shutdown(op, parameters, settings, end);
            shutdown.setGridColumnWidths([&] { return widths; });
            QVERIFY(endingOf([&] { shutdown.run(); }).has_value());

            QSettings file(path, QSettings::IniFormat);
            QCOMPARE(file.contains(QStringLiteral("STAVELY/GridColWidths")), !widths.isEmpty());
            if (!widths.isEmpty())
                QCOMPARE(SettingsStore(path).getText(QStringLiteral("STAVELY"),
                                                     QStringLiteral("GridColWidths"), {}),
                         widths);
        }
    }
};

STAVELY_TEST(OrderlyEndTest)
#include "OrderlyEndTest.moc"
