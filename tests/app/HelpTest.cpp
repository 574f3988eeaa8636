#include "app/HelpKey.h"
#include "app/frmHelp.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "params/frmOptions.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

namespace {
QString manualPath() {
    // The manual as the build places it beside the program.
    const QString bin = qEnvironmentVariable("STAVELY_BIN_DIR");
    return (bin.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/..") : bin) +
           QStringLiteral("/docs/STAVELY.html");
}
QString manual() {
    QFile file(manualPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

// The manual: its sections answer F1 in every window, and its links lead somewhere.
class HelpTest : public QObject {
    Q_OBJECT
private slots:
    void everyLinkAndWindowTopicHasItsSection() {
        const QString html = manual();
        QSet<QString> ids;
        for (const auto& m : QRegularExpression(QStringLiteral(" id=\"([^\"]+)\"")).globalMatch(html))
            ids.insert(m.captured(1));
        QStringList targets;
        for (const auto& m : QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(html))
            targets << m.captured(1);
        QVERIFY(targets.size() > 40);
        for (const char* window : {"frmOptions", "frmPreloadSpeed", "frmHardware", "Calculator",
                                   "frmLoadCalibrateMain", "frmLoadCalibrate", "zero", "frmMoving", "frmWait",
                                   "frmBigPlot", "frmAbout", "frmInstrumentPanel"}) {
            QWidget w;
            w.setObjectName(QLatin1String(window));
            const QString topic = HelpKey::TopicFor(&w);
            QVERIFY2(!topic.isEmpty(), window);
            targets << topic;
        }
        for (const QString& target : targets)
            QVERIFY2(ids.contains(target), qPrintable(target));
        // The windows' own texts are the ones the manual names.
        for (const char* title :
             {"OPTIONS MENU", "PRELOAD SPEED", "HARDWARE SETUP", "ERROR ACCESSING VERSION SERVER",
              "EMPTY VERSION FILE", "RUNNING NEWER THAN NEW VERSION !", "UpdateServer", "STAVELY_UPDATE_URL"})
            QVERIFY2(html.contains(QLatin1String(title)), title);
    }

    void f1InAModalWindowOpensItsSection() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
        Parameters params;
        ScriptedOperator op;
        ParameterTable table(params, store, op);
        QStringList opened;
        HelpKey key([&](const QString& topic) { opened << topic; });
        qApp->installEventFilter(&key);
        frmOptions options(params, table, dir.path(), {});
        whenModal<frmOptions>([](frmOptions* w) {
            QTest::keyClick(focusTarget(w), Qt::Key_F1);
            w->cmdDone->click();
        });
        options.exec();
        QCOMPARE(opened, QStringList{"options"});

        // The help browser shows the section asked for.
        frmHelp help(manualPath());
        QVERIFY(help.showTopic(QStringLiteral("hardware")));
        QCOMPARE(help.browser()->source().fragment(), QStringLiteral("hardware"));
        QVERIFY(help.browser()->toPlainText().contains(QStringLiteral("Toggle Output Bits")));
        frmHelp missing(dir.filePath(QStringLiteral("none.html")));
        QVERIFY(!missing.showTopic());
    }
};

STAVELY_TEST(HelpTest)
#include "HelpTest.moc"
