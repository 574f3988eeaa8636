#include "results/frmLoadTimePlots.h"
#include "tests/results/SheetRig.h"
#include "tests/support/TestRegistry.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {
const QString Titles =
    QStringLiteral("position (\u00b5m)\ttime (s)\tload (N)\tstress (MPa)\tstrain (%)\tspeed "
                   "(\u00b5m/s)\r\n");

// A record of a break: 40 samples at 0.1 s, the rate fit set off by blank lines.
QString record() {
    QString text = Titles;
    for (int k = 1; k <= 40; ++k) {
        if (k == 30)
            text += QStringLiteral("\r\n");
        text += QStringLiteral("%1\t%2\t%3\t%4\t%5\t400\r\n")
                    .arg(k * 40)
                    .arg(k * 0.1)
                    .arg(k * 0.15)
                    .arg(k * 12.2)
                    .arg(k * 0.017);
        if (k == 39)
            text += QStringLiteral("\r\n");
    }
    return text;
}
} // namespace

// The load/time record of a break: on the disc as soon as the plots show, however the window is
// left; a sample that is no number is reported as the failure to build the record.
class PlotRecordTest : public QObject {
    Q_OBJECT
private slots:
    void theRecordIsOnTheDiscWhileThePlotsShow_data() {
        QTest::addColumn<QString>("leave");
        QTest::newRow("Escape") << "escape";
        QTest::newRow("title bar") << "close";
        QTest::newRow("Close button") << "button";
    }
    void theRecordIsOnTheDiscWhileThePlotsShow() {
        QFETCH(QString, leave);
        SheetRig rig;
        rig.params.SaveLoadTimeData = true;
        rig.params.SaveLoadTimePlots = true;
        frmLoadTimePlots plots(rig.params, rig.op, rig.store);
        LoadTimePlotData data;
        data.dataText = record();
        data.basePath = rig.path(QStringLiteral("20261207_101500_007"));
        QByteArray whileShown;
        QTimer::singleShot(0, &plots, [&] {
            whileShown = rig.read(QStringLiteral("20261207_101500_007.dat"));
            if (leave == QStringLiteral("escape"))
                QTest::keyClick(&plots, Qt::Key_Escape);
            else if (leave == QStringLiteral("close"))
                plots.close();
            else
                plots.cmdClose->click();
        });
        plots.Show(data);
        QVERIFY(!plots.isVisible());
        const QByteArray expected = Cp1252::encode(record() + QStringLiteral("\r\n"));
        QCOMPARE(whileShown, expected);
        QCOMPARE(rig.read(QStringLiteral("20261207_101500_007.dat")), expected);
        QVERIFY(rig.read(QStringLiteral("20261207_101500_007.jpg")).startsWith("\xFF\xD8"));
        QVERIFY(rig.op.prompts.isEmpty());
    }

    // A sample that is not six numbers: the box as it always read, and the record up to that sample.
    void aSampleThatIsNoNumberIsASoftwareError() {
        SheetRig rig;
        rig.params.SaveLoadTimeData = true;
        rig.params.SaveLoadTimePlots = false;
        frmLoadTimePlots plots(rig.params, rig.op, rig.store);
        LoadTimePlotData data;
        data.dataText = Titles + QStringLiteral("40\t0.1\t0.15\t12.2\t0.017\t400\r\n") +
                        QStringLiteral("80\t0.2\tnan\t24.4\t0.034\t400\r\n") +
                        QStringLiteral("120\t0.3\t0.45\t36.6\t0.051\t400\r\n");
        data.basePath = rig.path(QStringLiteral("broken"));
        rig.op.answer(MsgResult::Ok);
        QTimer::singleShot(0, &plots, [&] { plots.cmdClose->click(); });
        plots.Show(data);
        QCOMPARE(rig.op.prompts.size(), 1);
        QCOMPARE(rig.op.last().title, QStringLiteral("SOFTWARE ERROR"));
        QCOMPARE(
            rig.op.last().text,
            QStringLiteral("Error constructing output data string. The Load/Time/Position data file might "
                           "be empty, incomplete or corrupt. Please send a copy of this message to "
                           "Corvane\r\n\r\nError 13 (Type mismatch: line 2 of the samples is not six "
                           "numbers ) in frmLoadTimePlots.LT_Data_String()"));
        QCOMPARE(rig.read(QStringLiteral("broken.dat")),
                 Cp1252::encode(Titles + QStringLiteral("40\t0.1\t0.15\t12.2\t0.017\t400\r\n\r\n")));
    }
};

STAVELY_TEST(PlotRecordTest)
#include "PlotRecordTest.moc"
