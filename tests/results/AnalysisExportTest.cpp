#include "results/AnalysisExport.h"
#include "results/DatasheetTexts.h"
#include "results/frmExport.h"
#include "tests/results/SheetRig.h"
#include "tests/support/TestRegistry.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

// The export window's second file style, from the choice to the file on disc.
class AnalysisExportTest : public QObject {
    Q_OBJECT
private slots:
    void windowWritesTheChosenRowsForAnalysis() {
        SheetRig rig;
        const QString data = rig.write(QStringLiteral("B7.dat"), SheetRig::file(5));
        QVERIFY(rig.sheet.file2grd(data));
        rig.sheet.useDataFile(data);
        frmExport window(rig.commands, [] { return GridBlock{1, 3, 3, 5}; });
        window.setAnalysisExport([&rig](DatasheetCommands::Kind kind, const GridBlock& block) {
            return AnalysisExport(rig.sheet, rig.op).Run(kind, block);
        });
        window.show();
        auto radio = [&window](const char* name) {
            return window.findChild<QRadioButton*>(QLatin1String(name));
        };
        QVERIFY(window.findChild<QGroupBox*>(QStringLiteral("fraStyle"))->isVisible());
        // The clipboard has one style only; the analysis file always names its columns.
        radio("optDestination1")->setChecked(true);
        QVERIFY(!window.findChild<QGroupBox*>(QStringLiteral("fraStyle"))->isEnabled());
        radio("optDestination0")->setChecked(true);
        radio("optStyle1")->setChecked(true);
        QVERIFY(!window.findChild<QCheckBox*>(QStringLiteral("chkIncHeaders"))->isEnabled());

        // The selected cells' rows (2 to 4), every column.
        radio("optSource2")->setChecked(true);
        const QString out = rig.path(QStringLiteral("for-R.csv"));
        rig.op.answer(out);
        window.findChild<QPushButton*>(QStringLiteral("cmdGo"))->click();
        QCOMPARE(rig.op.last().kind, QStringLiteral("saveFile"));
        QCOMPARE(rig.op.last().file.filter, DatasheetTexts::AnalysisFilter);
        const QStringList lines =
            QString::fromUtf8(rig.read(QStringLiteral("for-R.csv"))).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], AnalysisExport::Names().join(QLatin1Char(',')));
        QVERIFY2(lines[1].startsWith(data + QStringLiteral(",2,2,")), qPrintable(lines[1]));
        QVERIFY(lines[3].startsWith(data + QStringLiteral(",4,4,")));
        QVERIFY(lines[1].contains(QStringLiteral(",60 MPa/s,60,MPa/s,")));
        QVERIFY(lines[1].contains(QStringLiteral(",2026-12-07T")));

        // Never over the data file in use: that would leave it unreadable for later results.
        const QByteArray before = rig.read(QStringLiteral("B7.dat"));
        rig.op.answer(data);
        rig.op.answer(MsgResult::Ok);
        QVERIFY(!AnalysisExport(rig.sheet, rig.op).Run(DatasheetCommands::Kind::Whole, {}));
        QCOMPARE(rig.op.last().title, DatasheetTexts::ExportErrorTitle);
        QCOMPARE(rig.read(QStringLiteral("B7.dat")), before);
        QVERIFY(rig.op.unexpected.isEmpty());
    }
};

STAVELY_TEST(AnalysisExportTest)
#include "AnalysisExportTest.moc"
