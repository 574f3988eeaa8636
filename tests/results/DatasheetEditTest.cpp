#include "results/DatasheetPanel.h"
#include "results/grdResults.h"
#include "tests/results/SheetRig.h"
#include "tests/support/TestRegistry.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QTest>

namespace {
using Kind = DatasheetCommands::Kind;
const QString Tab = QStringLiteral("\t");
const QString Comma = QStringLiteral(",");

// Five results with column 2 loads 30.5, n/a, 12, 7.25, 12 (the two 12s keep their order).
void loadFive(SheetRig& rig) {
    const QStringList loads{"30.5", "n/a", "12", "7.25", "12"};
    QByteArray bytes = SheetRig::header();
    for (int n = 1; n <= 5; ++n)
        bytes += SheetRig::line(SheetRig::result(n, QStringLiteral("c%1").arg(n), loads[n - 1]));
    QVERIFY(rig.sheet.file2grd(rig.write(QStringLiteral("five.dat"), bytes)));
}
} // namespace

class DatasheetEditTest : public QObject {
    Q_OBJECT
private slots:
    void sortingKeepsNonNumbersLastAndIsStable() {
        SheetRig rig;
        loadFive(rig);
        QVERIFY(rig.commands.SortDatasheet(2));
        QCOMPARE(rig.column(2), (QStringList{"7.25", "12", "12", "30.5", "n/a"}));
        QCOMPARE(rig.column(0), (QStringList{"4", "3", "5", "1", "2"}));
        QVERIFY(rig.commands.SortDatasheet(2));
        QCOMPARE(rig.column(2), (QStringList{"30.5", "12", "12", "7.25", "n/a"}));
        QCOMPARE(rig.column(0), (QStringList{"1", "3", "5", "4", "2"}));
        // Text columns ignore case; the date sorts with the time as its second key.
        QVERIFY(rig.commands.SortDatasheet(16));
        QCOMPARE(rig.column(16), (QStringList{"c1", "c2", "c3", "c4", "c5"}));
        QVERIFY(rig.commands.SortDatasheet(14));
        QCOMPARE(rig.column(15), (QStringList{"10:01:00", "10:02:00", "10:03:00", "10:04:00", "10:05:00"}));
        QVERIFY(rig.commands.SortDatasheet(14));
        QCOMPARE(rig.column(15), (QStringList{"10:05:00", "10:04:00", "10:03:00", "10:02:00", "10:01:00"}));
        // A sort changes nothing on disc; a rewrite still writes the order in which rows were added.
        QVERIFY(rig.sheet.RewriteDataFile());
        QCOMPARE(rig.read(QStringLiteral("five.dat")), rig.read(QStringLiteral("five.BAK")));
    }

    // The grid's header shows the sorted column and its direction; a row added after the sort
    // stands at the end, so the sort is cleared where the operator sees it (and the next sort of
    // the same column starts ascending again); a click on a header moves nothing.
    void theGridShowsItsSortAndClearsItForANewRow() {
        SheetRig rig;
        loadFive(rig);
        DatasheetPanel panel(rig.sheet, rig.commands, rig.op, rig.params);
        QHeaderView* header = panel.grid()->horizontalHeader();
        QVERIFY(!header->isSortIndicatorShown());
        struct Step {
            int column; // grid column to sort by; -1 appends a row
            bool shown;
            int section;
            Qt::SortOrder order;
        };
        const QList<Step> steps{{2, true, 1, Qt::AscendingOrder},   {2, true, 1, Qt::DescendingOrder},
                                {14, true, 13, Qt::AscendingOrder}, {-1, false, -1, Qt::AscendingOrder},
                                {14, true, 13, Qt::AscendingOrder}, {0, false, -1, Qt::AscendingOrder}};
        for (const Step& step : steps) {
            if (step.column < 0)
                QVERIFY(rig.sheet.AppendResult(SheetRig::result(6)));
            else
                panel.Sort(step.column);
            const QString at = QStringLiteral("after column %1").arg(step.column);
            QVERIFY2(header->isSortIndicatorShown() == step.shown, qPrintable(at));
            if (step.shown) {
                QVERIFY2(header->sortIndicatorSection() == step.section, qPrintable(at));
                QVERIFY2(header->sortIndicatorOrder() == step.order, qPrintable(at));
            }
            // The arrow's sense differs between styles: the column's tip says it in words.
            int said = -1;
            for (int c = 0; c < 17; ++c)
                if (rig.sheet.model()
                        .headerData(c, Qt::Horizontal, Qt::ToolTipRole)
                        .toString()
                        .contains(step.order == Qt::AscendingOrder
                                      ? QStringLiteral("sorted by this column, smallest first")
                                      : QStringLiteral("sorted by this column, largest first")))
                    said = c;
            QVERIFY2(said == step.section, qPrintable(at));
        }
        panel.Sort(5);
        header->setSortIndicator(9, Qt::DescendingOrder); // what a click on a header would do
        QCOMPARE(header->sortIndicatorSection(), 4);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        QVERIFY(rig.op.unexpected.isEmpty());
    }

    void deletingARowAsksTwiceRenumbersAndRewrites() {
        SheetRig rig;
        loadFive(rig);
        QVERIFY(rig.commands.SortDatasheet(2)); // grid order 4 3 5 1 2
        const QByteArray before = rig.read(QStringLiteral("five.dat"));

        rig.op.answer(2); // No
        rig.commands.DeleteRow(1);
        rig.op.answer(1); // Yes
        rig.op.answer(1); // Cancel
        rig.commands.DeleteRow(1);
        QCOMPARE(rig.sheet.resultRows(), 5);
        QCOMPARE(rig.read(QStringLiteral("five.dat")), before);

        rig.op.answer(1);
        rig.op.answer(2);          // Confirm
        rig.commands.DeleteRow(1); // the row numbered 3
        const Prompt& ask = rig.op.prompts[3];
        QCOMPARE(ask.title, QStringLiteral("DELETE ROW"));
        QCOMPARE(ask.buttons, (QStringList{"&Yes", "&No"}));
        QCOMPARE(ask.request.focusButton, 2);
        QCOMPARE(ask.request.icons, MsgStyle::Critical);
        QCOMPARE(ask.text,
                 QStringLiteral("It is not a good idea to delete a row since all information in it will "
                                "be lost. As an alternative you could add a comment to this row to "
                                "remind you to ignore the data later.\r\rAre you sure you want to delete "
                                "row 3?"));
        const Prompt& confirm = rig.op.prompts[4];
        QCOMPARE(confirm.buttons, (QStringList{"&Cancel", "Con&firm"}));
        QCOMPARE(confirm.request.focusButton, 1);
        QCOMPARE(confirm.text, QStringLiteral("Row 3 contains:\r\r") +
                                   SheetRig::result(3, "c3", "12").join(QStringLiteral(", ")) +
                                   QStringLiteral("\r\rConfirm that you want to delete this row."));

        QCOMPARE(rig.column(0), (QStringList{"3", "4", "1", "2"}));
        QCOMPARE(rig.column(16), (QStringList{"c4", "c5", "c1", "c2"}));
        QByteArray expected = SheetRig::header();
        for (int n : {1, 2, 4, 5})
            expected += SheetRig::line(SheetRig::result(
                n, QStringLiteral("c%1").arg(n), QStringList{"30.5", "n/a", "12", "7.25", "12"}[n - 1]));
        QCOMPARE(rig.read(QStringLiteral("five.dat")), expected);
        QCOMPARE(rig.read(QStringLiteral("five.BAK")), before);
    }

    void commentEditsRewriteOnlyWhenChanged() {
        SheetRig rig;
        loadFive(rig);
        rig.sheet.SetComment(0, QStringLiteral("c1"), QStringLiteral("c1"));
        QVERIFY(!QFile::exists(rig.path(QStringLiteral("five.BAK"))));
        rig.sheet.SetComment(0, QStringLiteral("cracked, \"see log\""), QStringLiteral("c1"));
        QVERIFY(QFile::exists(rig.path(QStringLiteral("five.BAK"))));
        QVERIFY(rig.read(QStringLiteral("five.dat")).contains(",\"cracked, \"\"see log\"\"\",125 500"));
    }

    void exportTexts() {
        SheetRig rig;
        loadFive(rig);
        rig.commands.HideColumn(3);
        const QString whole = rig.commands.ExportText(Kind::Whole, Tab, true, {});
        QStringList lines = whole.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 7); // header, five rows, the empty tail after the last CR LF
        QCOMPARE(lines[0].split(Tab).size(), 17);
        QCOMPARE(lines[1], SheetRig::result(1, "c1", "30.5").join(Tab));
        const QString visible = rig.commands.ExportText(Kind::Visible, Tab, false, {});
        QCOMPARE(visible.split(QStringLiteral("\r\n")).first().split(Tab).size(), 16);
        QVERIFY(!visible.contains(QStringLiteral("38.5")));

        // A selection from its current corner to the other, in either direction; hidden columns drop out.
        const GridBlock block{3, 4, 1, 2};
        QCOMPARE(rig.commands.ExportText(Kind::Selection, Comma, true, block),
                 QStringLiteral("Lt (N),s (MPa)\r\nn/a,4812\r\n12,4812\r\n7.25,4812\r\n"));

        rig.commands.ExportDatasheet(Kind::Selection, Tab, false, false, true, {0, 16, 0, 16});
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("c1\r\n"));
        rig.commands.ExportDatasheet(Kind::Whole, Tab, false, false, true);
        QVERIFY(QGuiApplication::clipboard()->text().contains(QStringLiteral("38.5")));

        // To a file: quoted by the data file's rules, in Windows-1252.
        rig.op.answer(rig.path(QStringLiteral("out.csv")));
        rig.commands.ExportDatasheet(Kind::Visible, Comma, true, false, true);
        QCOMPARE(rig.op.last().title, QStringLiteral("OPEN FILE FOR EXPORT"));
        QCOMPARE(rig.op.last().file.filter,
                 QStringLiteral(
                     "Data files (*.dat)|*.dat|Comma separated values (*.csv)|*.csv|All files (*.*)|*.*"));
        QVERIFY(rig.op.last().file.confirmOverwrite);
        QVERIFY(
            rig.read(QStringLiteral("out.csv")).startsWith("N,Lt (N),s (MPa),e (%),nom rate,v (\xB5m/s)"));
        // Never over the data file in use.
        rig.op.answer(rig.path(QStringLiteral("five.dat")));
        rig.op.answer(MsgResult::Ok);
        const QByteArray data = rig.read(QStringLiteral("five.dat"));
        rig.commands.ExportDatasheet(Kind::Visible, Comma, true, false, true);
        QCOMPARE(rig.read(QStringLiteral("five.dat")), data);
    }

    void emptyDatasheetAndSaveAs() {
        SheetRig rig;
        QVERIFY(rig.sheet.file2grd(rig.path(QStringLiteral("empty.dat"))));
        rig.op.answer(MsgResult::Ok);
        rig.commands.ExportDatasheet(Kind::Whole, Tab, true, false, true);
        QCOMPARE(rig.op.last().title, QStringLiteral("EMPTY DATASHEET"));
        QCOMPARE(rig.op.last().text, QStringLiteral("No data to export!"));

        const QString copy = rig.path(QStringLiteral("copy.dat"));
        rig.op.answer(copy);
        rig.op.answer(MsgResult::Ok);
        rig.commands.SaveAs();
        QCOMPARE(rig.op.prompts[rig.op.prompts.size() - 2].title, QStringLiteral("SAVE DATASHEET AS"));
        QCOMPARE(rig.op.last().title, QStringLiteral("DATASHEET SAVED"));
        QCOMPARE(rig.op.last().text, QStringLiteral("The datasheet has been saved as\r") + copy +
                                         QStringLiteral("\r\rThis is now the data file: the next results "
                                                        "are added to it."));
        QCOMPARE(rig.read(QStringLiteral("copy.dat")), SheetRig::header());
        QCOMPARE(rig.sheet.dataFileName(), copy);
        QCOMPARE(rig.params.DataFileName, rig.path(QStringLiteral("empty.dat")));

        // Saved with a hidden column, the file still has all 17, so later appends match its header.
        QVERIFY(rig.sheet.AppendResult(SheetRig::result(1)));
        rig.commands.HideColumn(5);
        rig.op.answer(rig.path(QStringLiteral("all.dat")));
        rig.op.answer(MsgResult::Ok);
        rig.commands.SaveAs();
        QCOMPARE(rig.read(QStringLiteral("all.dat")), SheetRig::file(1));
        rig.op.cancel();
        rig.commands.SaveAs(); // cancelling does nothing
        QCOMPARE(rig.sheet.dataFileName(), rig.path(QStringLiteral("all.dat")));
    }

    void copySpecialColumnsInTheirOrder() {
        SheetRig rig;
        loadFive(rig);
        rig.op.answer(MsgResult::Ok);
        QVERIFY(rig.commands.CopySpecial({16, 0, 4, 0, 0}, false, 3, 1));
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("c2\t\t4812\r\nc3\t\t4812\r\nc4\t\t4812\r\n"));
        QCOMPARE(rig.op.last().title, QStringLiteral("COPY SPECIAL FINISHED"));
        QCOMPARE(rig.params.CopySpecialColumn1, 16);
        QCOMPARE(rig.params.CopySpecialColumn2, 0);
        QCOMPARE(rig.params.CopySpecialColumn3, 4);

        rig.op.answer(MsgResult::Ok);
        QVERIFY(!rig.commands.CopySpecial({0, 0, 0, 0, 0}, true, 0, 0));
        QCOMPARE(rig.op.last().title, QStringLiteral("NO DATA COPIED TO CLIPBOARD"));
        QCOMPARE(rig.op.last().text, QStringLiteral("No columns were selected for copying."));
    }
};

STAVELY_TEST(DatasheetEditTest)
#include "DatasheetEditTest.moc"
