#include "base/ProductIdentity.h"
#include "tests/results/SheetRig.h"
#include "tests/support/TestRegistry.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTest>

namespace {
const QString NotAvailable = QStringLiteral("FILE NOT AVAILABLE FOR READ/WRITE");
const QString Corrupted = QStringLiteral("CORRUPTED DATA?");
const QString Mismatch = QStringLiteral("DATA HEADER MISMATCH");
} // namespace

class DatasheetFileTest : public QObject {
    Q_OBJECT
private slots:
    void newFileGetsTheHeaderAndCounterOne() {
        SheetRig rig;
        rig.params.SpecimenCount = 40;
        const QString file = rig.path(QStringLiteral("new.dat"));
        QVERIFY(rig.sheet.file2grd(file));
        QCOMPARE(rig.read(QStringLiteral("new.dat")), SheetRig::header());
        QCOMPARE(rig.sheet.resultRows(), 0);
        QCOMPARE(rig.params.SpecimenCount, 1);
        QCOMPARE(rig.sheet.dataFileName(), file);
        QCOMPARE(rig.store.getText(ProductIdentity::AppTitle, QStringLiteral("DataFileName"), {}), file);
        QVERIFY(rig.op.prompts.isEmpty());
    }

    // Files of laboratories load and rewrite byte for byte, comment and blank lines where they stood,
    // and the .BAK keeps the file exactly as it was.
    void rewriteKeepsFilesByteForByteAndTheBackupHoldsTheOld() {
        SheetRig rig;
        const QByteArray rows =
            SheetRig::line(SheetRig::result(7, QStringLiteral("a \"good\", clean break"))) +
            SheetRig::line(SheetRig::result(3, QStringLiteral("±5 µm slip"))) +
            SheetRig::line(SheetRig::result(12));
        const QByteArray canonical = SheetRig::header() + rows;
        const QString file = rig.write(QStringLiteral("run1.dat"), canonical);
        QVERIFY(rig.sheet.file2grd(file));
        QCOMPARE(rig.sheet.resultRows(), 3);
        QCOMPARE(rig.params.SpecimenCount, 13);
        QCOMPARE(rig.sheet.model().cell(0, 16), QStringLiteral("a \"good\", clean break"));
        QVERIFY(rig.sheet.RewriteDataFile());
        QCOMPARE(rig.read(QStringLiteral("run1.dat")), canonical);

        const QByteArray commented = "; earlier runs\r\n\r\n" + SheetRig::header() + "   \r\n;x\r\n" + rows;
        rig.write(QStringLiteral("run1.dat"), commented);
        QVERIFY(rig.sheet.file2grd(file));
        QCOMPARE(rig.sheet.resultRows(), 3);
        QVERIFY(rig.sheet.RewriteDataFile());
        QCOMPARE(rig.read(QStringLiteral("run1.dat")), commented);
        QCOMPARE(rig.read(QStringLiteral("run1.BAK")), commented);
        QVERIFY(rig.op.prompts.isEmpty());
    }

    // Suspicious items: 16 bring the question, 15 do not, reading stops beyond 100. Clearing the
    // table brings the previous data file back instead of leaving it selected behind an empty grid.
    void corruptedDataQuestionAndThePreviousFileComesBack() {
        SheetRig rig;
        const QString good = rig.write(QStringLiteral("good.dat"), SheetRig::file(4));
        QVERIFY(rig.sheet.file2grd(good));

        auto junk = [](int lines) {
            QByteArray bytes = SheetRig::header();
            for (int i = 0; i < lines; ++i)
                bytes += "1,junk," + QByteArray::number(i) + ",4,5,6,7,8,9,10,11,12,13,14,15,16,17\r\n";
            return bytes;
        };
        QVERIFY(rig.sheet.file2grd(rig.write(QStringLiteral("fifteen.dat"), junk(15))));
        QVERIFY(rig.op.prompts.isEmpty());
        QCOMPARE(rig.sheet.resultRows(), 15);

        QVERIFY(rig.sheet.file2grd(good));
        const QString bad = rig.write(QStringLiteral("bad.dat"), junk(300));
        rig.op.answer(MsgResult::Yes);
        rig.op.cancel(); // the dialog for another data file
        QVERIFY(!rig.sheet.file2grd(bad));
        QCOMPARE(rig.op.last().kind, QStringLiteral("openFile"));
        rig.op.prompts.removeLast();
        QCOMPARE(rig.op.last().title, Corrupted);
        QCOMPARE(rig.op.last().style, MsgStyle::YesNo | MsgStyle::Question);
        QCOMPARE(rig.op.last().text,
                 QStringLiteral(
                     "There were 101 non-numeric items read.\r199 rows after row 101 were not read. They "
                     "stay in the file as they are, after the rows shown.\rDo you want to clear the "
                     "table (without affecting the file contents)\rand select another data file?"));
        QCOMPARE(rig.sheet.dataFileName(), good);
        QCOMPARE(rig.sheet.resultRows(), 4);
        QCOMPARE(rig.params.DataFileName, good);
        QCOMPARE(rig.read(QStringLiteral("bad.dat")), junk(300));

        // Answered No: the damaged file is loaded as far as it was read.
        rig.op.answer(MsgResult::No);
        QVERIFY(rig.sheet.file2grd(bad));
        QCOMPARE(rig.sheet.resultRows(), 101);
    }

    void headerMismatchOfSevenColumnsAsks() {
        SheetRig rig;
        DataLine::Fields titles;
        DataLine::ParseDataLine(DataLine::HeaderLine(), titles);
        // Columns 1 to 6, then 8 (the speed column 7 is never compared).
        auto fileWith = [&](int changed) {
            QStringList header;
            for (int c = 1; c <= 17; ++c)
                header << titles[size_t(c)];
            for (int c : {1, 2, 3, 4, 5, 6, 8})
                if (changed-- > 0)
                    header[c - 1] = QStringLiteral("old%1").arg(c);
            return DataFile::Encoded(DataLine::FileLine(header)) + SheetRig::line(SheetRig::result(1)) +
                   SheetRig::line(SheetRig::result(2));
        };
        QVERIFY(rig.sheet.file2grd(rig.write(QStringLiteral("six.dat"), fileWith(6))));
        QVERIFY(rig.op.prompts.isEmpty());

        const QString seven = rig.write(QStringLiteral("seven.dat"), fileWith(7));
        rig.op.answer(MsgResult::Yes);
        QVERIFY(rig.sheet.file2grd(seven));
        QCOMPARE(rig.op.last().title, Mismatch);
        QVERIFY(rig.op.last().text.startsWith(QStringLiteral(
            "Header line in file did not match the correct headers.\rThis is usually a result of "
            "reading a data file written\rby an older version of STAVELY.\r\rYou can save")));
        QVERIFY(rig.op.last().text.endsWith(QStringLiteral("first row.\rDo you want to keep this row?")));
        QCOMPARE(rig.sheet.resultRows(), 3);
        QCOMPARE(rig.sheet.model().cell(0, 1), QStringLiteral("old1"));
        QCOMPARE(rig.column(0), (QStringList{"1", "2", "3"}));

        rig.op.answer(MsgResult::No);
        QVERIFY(rig.sheet.file2grd(seven));
        QCOMPARE(rig.column(1), (QStringList{"1", "2"}));
    }

    // A folder, a device, a file that cannot be read: refused with the reasons; the previous data
    // file is loaded again, and without one no file stays selected and nothing is rewritten.
    void refusedOpensKeepThePreviousFile() {
        SheetRig rig;
        const QString folder = rig.path(QStringLiteral("folder.dat"));
        QVERIFY(QDir().mkpath(folder));
        rig.op.answer(MsgResult::Ok);
        QVERIFY(!rig.sheet.file2grd(folder));
        QCOMPARE(rig.op.last().title, NotAvailable);
        QCOMPARE(rig.op.last().style, MsgStyle::Exclamation);
        QCOMPARE(rig.op.last().text, QStringLiteral("Data file \"") + folder +
                                         QStringLiteral("\"\rcan not be opened for saving results:\r"
                                                        "It is a directory, not a file"));
        QVERIFY(!rig.sheet.hasDataFile());
        rig.op.answer(MsgResult::Ok);
        QVERIFY(!rig.sheet.RewriteDataFile());
        QCOMPARE(rig.op.last().title, QStringLiteral("NO DATA FILE"));

        const QString good = rig.write(QStringLiteral("good.dat"), SheetRig::file(3));
        QVERIFY(rig.sheet.file2grd(good));
#ifdef Q_OS_UNIX
        rig.op.answer(MsgResult::Ok);
        QVERIFY(!rig.sheet.file2grd(QStringLiteral("/dev/zero")));
        QVERIFY(
            rig.op.last().text.endsWith(QStringLiteral("It is a device or other special file, not a file")));
        QCOMPARE(rig.sheet.dataFileName(), good);
        QCOMPARE(rig.sheet.resultRows(), 3);
        // A rewrite now goes to the previous file with its rows, not an empty datasheet.
        QVERIFY(rig.sheet.RewriteDataFile());
        QCOMPARE(rig.read(QStringLiteral("good.dat")), SheetRig::file(3));
#endif
        // A file in a folder that does not exist cannot even be created.
        rig.op.answer(MsgResult::Ok);
        QVERIFY(!rig.sheet.file2grd(rig.path(QStringLiteral("missing/x.dat"))));
        QVERIFY(rig.op.last().text.endsWith(QStringLiteral("encountered in module DataHandling.file2grd")));
        QCOMPARE(rig.sheet.dataFileName(), good);
        QCOMPARE(rig.sheet.resultRows(), 3);
    }

    // An appended result is on the disc when AppendResult says so; a file that went is written
    // whole again; a full disc is reported and the row stays.
    void appendingResults() {
        SheetRig rig;
        const QString file = rig.write(QStringLiteral("run.dat"), SheetRig::file(2));
        QVERIFY(rig.sheet.file2grd(file));
        QVERIFY(rig.sheet.AppendResult(SheetRig::result(3, QStringLiteral("x, y"))));
        QCOMPARE(rig.read(QStringLiteral("run.dat")),
                 SheetRig::file(2) + SheetRig::line(SheetRig::result(3, "x, y")));
        QCOMPARE(rig.sheet.model().row(2).number(), 3);

        QVERIFY(QFile::remove(file));
        QVERIFY(rig.sheet.AppendResult(SheetRig::result(4)));
        QCOMPARE(rig.read(QStringLiteral("run.dat")), SheetRig::file(2) +
                                                          SheetRig::line(SheetRig::result(3, "x, y")) +
                                                          SheetRig::line(SheetRig::result(4)));
#ifdef Q_OS_LINUX
        if (QFileInfo::exists(QStringLiteral("/dev/full"))) {
            QVERIFY(QFile::remove(file));
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), file));
            QVERIFY(!rig.sheet.AppendResult(SheetRig::result(5)));
            QCOMPARE(rig.sheet.lastAppendFault().number, 61);
            QCOMPARE(rig.sheet.resultRows(), 5);
        }
#endif
        QVERIFY(rig.op.prompts.isEmpty());
    }

    void rewriteFailureSaysWhereTheOldContentsAre() {
        SheetRig rig;
        const QString file = rig.write(QStringLiteral("run.dat"), SheetRig::file(2));
        QVERIFY(rig.sheet.file2grd(file));
        // A backup that cannot be deleted stops the rewrite before the data file is touched.
        QVERIFY(QDir().mkpath(rig.path(QStringLiteral("run.BAK/inside"))));
        rig.op.answer(1);
        QVERIFY(!rig.sheet.RewriteDataFile());
        QCOMPARE(rig.op.last().kind, QStringLiteral("myMsgBox"));
        QCOMPARE(rig.op.last().title, QStringLiteral("ERROR DELETING OLD .BAK FILE"));
        QCOMPARE(rig.op.last().buttons, QStringList{QStringLiteral("&Ok")});
        QVERIFY(rig.op.last().text.startsWith(QStringLiteral("Error 75: ")));
        QVERIFY(rig.op.last().text.endsWith(
            QStringLiteral(" encountered while attempting to delete the old .BAK file. The changes to the "
                           "datasheet have not been saved! Save the datasheet to a new file.")));
        QCOMPARE(rig.read(QStringLiteral("run.dat")), SheetRig::file(2));
    }

    // Untrusted files: junk, NUL bytes, a 10 MB line, a file far too large. Each ends in a message
    // or a loaded datasheet, never a crash or a hang, and nothing is lost.
    void untrustedFiles() {
        SheetRig rig;
        QByteArray junk;
        QRandomGenerator random(99);
        for (int i = 0; i < 200000; ++i)
            junk.append(char(random.bounded(256)));
        rig.op.answer(MsgResult::Ok);
        const QString junkFile = rig.write(QStringLiteral("junk.dat"), junk);
        QVERIFY(!rig.sheet.file2grd(junkFile));
        QCOMPARE(rig.op.last().title, QStringLiteral("FILE NOT AVAILABLE FOR READ/WRITE"));
        QCOMPARE(rig.read(QStringLiteral("junk.dat")), junk);

        QByteArray longLine = SheetRig::header() + SheetRig::line(SheetRig::result(1));
        longLine += "2," + QByteArray(10 * 1024 * 1024, 'x') + "\r\n";
        QVERIFY(rig.sheet.file2grd(rig.write(QStringLiteral("long.dat"), longLine)));
        QCOMPARE(rig.sheet.resultRows(), 2);
        QCOMPARE(rig.sheet.model().cell(1, 2).size(), 10 * 1024 * 1024);
        QCOMPARE(rig.sheet.model().data(rig.sheet.model().index(1, 1), Qt::DisplayRole).toString().size(),
                 DatasheetModel::ShownLength);
        rig.sheet.AutoFitColumns(-1, true);
        QCOMPARE(rig.sheet.columnWidth(2), Datasheet::FitMaximum);
        QVERIFY(rig.sheet.RewriteDataFile());
        QCOMPARE(rig.read(QStringLiteral("long.dat")).size(), longLine.size() + 15);

        const QString good = rig.write(QStringLiteral("good.dat"), SheetRig::file(2));
        QVERIFY(rig.sheet.file2grd(good));
        QFile huge(rig.path(QStringLiteral("huge.dat")));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(DataFile::MaxBytes + 1)); // sparse: nothing is written
        huge.close();
        rig.op.answer(MsgResult::Ok);
        QVERIFY(!rig.sheet.file2grd(huge.fileName()));
        QVERIFY(
            rig.op.last().text.startsWith(QStringLiteral("Error 7, The file is too large for a data file")));
        QCOMPARE(rig.sheet.dataFileName(), good);
        QCOMPARE(rig.sheet.resultRows(), 2);
    }

    void columnWidthsFromTheSettings() {
        SheetRig rig;
        rig.params.GridColWidths =
            QStringLiteral("500,,0,600,600,800,800,800,800,800,800,800,800,800,800,800,800,1000");
        rig.op.answer(MsgResult::Ok);
        rig.op.answer(MsgResult::Ok);
        rig.sheet.SetupDatasheet();
        QCOMPARE(rig.op.prompts.size(), 2);
        QCOMPARE(rig.op.prompts[0].text, QStringLiteral("Reseting GridColWidths"));
        QCOMPARE(rig.op.prompts[1].text,
                 QStringLiteral("ColWidths has the wrong number of items: expecting 18"));
        QCOMPARE(rig.params.GridColWidths, Parameters().GridColWidths);
        QCOMPARE(rig.sheet.ColumnWidthsText(),
                 QStringLiteral("500,0,600,600,800,800,800,800,800,800,800,800,800,800,800,800,1000,800"));

        // Fitting leaves hidden columns alone, only widens without force, sets exactly with it.
        QVERIFY(rig.sheet.file2grd(rig.write(QStringLiteral("f.dat"), SheetRig::file(3))));
        rig.sheet.setColumnWidth(16, 5000);
        rig.sheet.AutoFitColumns(-1, false);
        QCOMPARE(rig.sheet.columnWidth(1), 0);
        QCOMPARE(rig.sheet.columnWidth(16), 5000);
        rig.sheet.AutoFitColumns(16, true);
        QVERIFY(rig.sheet.columnWidth(16) >= Datasheet::FitMinimum && rig.sheet.columnWidth(16) < 5000);
        rig.sheet.AppendResult(SheetRig::result(4, QString(300, QLatin1Char('W'))));
        QCOMPARE(rig.sheet.columnWidth(16), Datasheet::FitMaximum);
    }
};

STAVELY_TEST(DatasheetFileTest)
#include "DatasheetFileTest.moc"
