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
        for (const char* window :
             {"frmOptions", "frmPreloadSpeed", "frmHardware", "Calculator", "frmLoadCalibrateMain",
              "frmLoadCalibrate", "zero", "frmMoving", "frmWait", "frmBigPlot", "frmAbout",
              "frmInstrumentPanel", "frmResultsStore", "frmAuditTrail", "frmStatistics", "frmLoadTimePlots",
              "frmExport", "frmCopySpecial", "MyMsgBox"}) {
            QWidget w;
            w.setObjectName(QLatin1String(window));
            const QString topic = HelpKey::TopicFor(&w);
            QVERIFY2(!topic.isEmpty(), window);
            targets << topic;
        }
        for (const QString& target : targets)
            QVERIFY2(ids.contains(target), qPrintable(target));
        // The windows' own texts are the ones the manual names.
        // The contents name what a lab looks for; menu names appear as the menus show them.
        const QString contents =
            html.section(QStringLiteral("<h2 id=\"contents\">"), 1).section(QStringLiteral("</ol>"), 0, 0);
        for (const char* topic :
             {"#static", "#staticstatistics", "#report", "#export", "#resultsstore", "#audittrail"})
            QVERIFY2(contents.contains(QLatin1String(topic)), topic);
        QVERIFY(!QRegularExpression(QStringLiteral("&amp;[A-Za-z]")).match(html).hasMatch());
        // The count-down before a break is described once, where breaking is.
        const QString breaking =
            html.section(QStringLiteral("id=\"breaktest\""), 1).section(QStringLiteral("<h3"), 0, 0);
        QCOMPARE(breaking.count(QStringLiteral("WAIT BEFORE BREAK")), 1);
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

        // The find box goes from place to place and round the end; a word the manual lacks is said so.
        QVERIFY(help.Find(QStringLiteral("audit trail")));
        const int first = help.browser()->textCursor().position();
        QVERIFY(help.Find(QStringLiteral("audit trail")));
        QVERIFY(help.browser()->textCursor().position() > first);
        QVERIFY(help.Find(QStringLiteral("AUDIT TRAIL"), true));
        QCOMPARE(help.browser()->textCursor().position(), first);
        int rounds = 0;
        while (help.browser()->textCursor().position() >= first && rounds < 200) {
            QVERIFY(help.Find(QStringLiteral("audit trail")));
            ++rounds;
        }
        QCOMPARE(help.browser()->textCursor().selectedText().toLower(), QStringLiteral("audit trail"));
        QVERIFY(!help.Find(QStringLiteral("flux capacitor")));
        QCOMPARE(help.lblFound->text(), QStringLiteral("not found"));

        frmHelp missing(dir.filePath(QStringLiteral("none.html")));
        QVERIFY(!missing.showTopic());
    }
};

STAVELY_TEST(HelpTest)
#include "HelpTest.moc"
