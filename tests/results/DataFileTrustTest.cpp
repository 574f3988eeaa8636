#include "results/DataFileRows.h"
#include "results/DatasheetPanel.h"
#include "tests/results/SheetRig.h"
#include "tests/support/TestRegistry.h"

#include <QLabel>
#include <QRandomGenerator>
#include <QTest>

namespace {
const QString NotAvailableTitle = QStringLiteral("FILE NOT AVAILABLE FOR READ/WRITE");
const QString CorruptedTitle = QStringLiteral("CORRUPTED DATA?");

// Row n with letters in columns 2 to 5: four suspicious items.
QStringList damagedRow(int n) {
    QStringList fields = SheetRig::result(n);
    for (int c = 1; c <= 4; ++c)
        fields[c] = QStringLiteral("x%1").arg(c);
    return fields;
}

// A data file read the plain way: decoded whole, split into lines, each line split as text.
DataFileContents readAsText(const QByteArray& bytes) {
    DataFileContents contents;
    qsizetype consumed = 0;
    int number = 0;
    const QString text = Cp1252::decode(bytes);
    for (const QString& line : Cp1252::splitLines(text)) {
        consumed += line.size();
        if (consumed < text.size() && text[consumed] == QLatin1Char('\r'))
            ++consumed;
        if (consumed < text.size() && text[consumed] == QLatin1Char('\n'))
            ++consumed;
        const QStringView stripped = DataLine::StripLine(line);
        if (DataLine::IsSkipped(stripped)) {
            const int before = contents.headerFound ? number : -1;
            if (contents.keptLines.empty() || contents.keptLines.back().rowsBefore != before)
                contents.keptLines.push_back({before, QByteArray()});
            contents.keptLines.back().bytes += Cp1252::encode(line) + "\r\n";
            continue;
        }
        if (!contents.headerFound) {
            contents.headerFound = true;
            DataLine::ParseDataLine(stripped, contents.header);
            continue;
        }
        DataRow row;
        bool extra = false;
        contents.badItems += DataLine::ParseDataLine(stripped, row, &extra);
        row.setNumber(++number);
        if (extra)
            contents.longRows.push_back(number);
        contents.rows.push_back(row);
        if (contents.badItems > DataLine::MaxBadItems) {
            contents.unreadTail = bytes.mid(consumed);
            break;
        }
    }
    return contents;
}

QByteArray rowLines(int from, int to, const std::function<QStringList(int)>& row) {
    QByteArray bytes;
    for (int n = from; n <= to; ++n)
        bytes += SheetRig::line(row(n));
    return bytes;
}
} // namespace

// Files the datasheet must not trust blindly: a file read only in part, files that are no data
// files at all, rows of more than 17 fields, and the rows the program writes itself.
class DataFileTrustTest : public QObject {
    Q_OBJECT
private slots:
    // 38 good rows, then rows of four bad items each: reading stops in row 64 and 12 rows stay
    // unread. Whatever is done to the datasheet, every rewrite keeps those 12 rows byte for byte,
    // after the rows read and before those added since; the .BAK never loses them either.
    void aFileReadInPartIsNeverRewrittenShort_data() {
        QTest::addColumn<bool>("oldHeader");
        QTest::newRow("current header") << false;
        QTest::newRow("old header kept as the first row") << true;
    }
    void aFileReadInPartIsNeverRewrittenShort() {
        QFETCH(bool, oldHeader);
        SheetRig rig;
        const QByteArray header =
            oldHeader ? QByteArray("a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q\r\n") : SheetRig::header();
        // The tail as a laboratory may have it: a comment, a blank line, no line end at the very end.
        QByteArray tail =
            rowLines(65, 70, damagedRow) + "; checked by hand\r\n\r\n" + rowLines(71, 76, damagedRow);
        tail.chop(2);
        const QByteArray original = header + rowLines(1, 38, [](int n) { return SheetRig::result(n); }) +
                                    rowLines(39, 64, damagedRow) + tail;
        const QString file = rig.write(QStringLiteral("run.dat"), original);
        if (oldHeader)
            rig.op.answer(MsgResult::Yes);
        rig.op.answer(MsgResult::No);
        QVERIFY(rig.sheet.file2grd(file));
        const int shown = oldHeader ? 65 : 64;
        QCOMPARE(rig.sheet.resultRows(), shown);
        QCOMPARE(rig.op.last().title, CorruptedTitle);
        QVERIFY2(
            rig.op.last().text.contains(QStringLiteral("\r12 rows after row %1 were not read.").arg(shown)),
            qPrintable(rig.op.last().text));
        QVERIFY(rig.sheet.readInPart());
        // The next specimen follows the unread rows' numbers, not only the rows shown.
        QCOMPARE(rig.params.SpecimenCount, 77);

        // What the grid holds, written as the program writes it.
        auto rowsOf = [&](int from, int to) {
            QByteArray bytes;
            for (int i : rig.sheet.model().fileOrder()) {
                const int n = rig.sheet.model().row(i).number();
                if (n >= from && n <= to)
                    bytes += DataFile::Encoded(DataLine::FileLine(rig.sheet.model().row(i)));
            }
            return bytes;
        };
        const QByteArray fullTail = tail + "\r\n";

        rig.sheet.SetComment(0, QStringLiteral("edited once"), QString());
        QCOMPARE(rig.read(QStringLiteral("run.dat")), SheetRig::header() + rowsOf(1, shown) + fullTail);
        QCOMPARE(rig.read(QStringLiteral("run.BAK")), original);
        rig.sheet.SetComment(1, QStringLiteral("edited twice"), QString());
        QCOMPARE(rig.read(QStringLiteral("run.BAK")),
                 SheetRig::header() + rowsOf(1, shown).replace("edited twice", "") + fullTail);

        // A new result goes to the end of the file; a deletion then rewrites around the tail.
        QVERIFY(rig.sheet.AppendResult(SheetRig::result(77)));
        QCOMPARE(rig.read(QStringLiteral("run.dat")),
                 SheetRig::header() + rowsOf(1, shown) + fullTail + SheetRig::line(SheetRig::result(77)));
        rig.op.answer(1);
        rig.op.answer(2);
        rig.commands.DeleteRow(2);
        QCOMPARE(rig.sheet.resultRows(), shown);
        QCOMPARE(rig.read(QStringLiteral("run.dat")),
                 SheetRig::header() + rowsOf(1, shown - 1) + fullTail + rowsOf(shown, shown));
        QVERIFY(rig.read(QStringLiteral("run.dat")).endsWith(SheetRig::line(SheetRig::result(77))));

        // Reading the file again finds every row: the 12 unread ones are all there.
        DataFileContents again;
        QVERIFY(!DataFile::Read(file, again));
        QCOMPARE(int(again.rows.size()) + again.unreadRows, oldHeader ? 77 : 76);

        // Saved under a new name, the unread lines go along after every row.
        rig.op.answer(rig.path(QStringLiteral("copy.dat")));
        rig.op.answer(MsgResult::Ok);
        rig.commands.SaveAs();
        QCOMPARE(rig.sheet.dataFileName(), rig.path(QStringLiteral("copy.dat")));
        QVERIFY(rig.read(QStringLiteral("copy.dat")).endsWith(rowsOf(shown, shown) + fullTail));
        rig.sheet.SetComment(0, QStringLiteral("in the copy"), QString());
        QCOMPARE(rig.read(QStringLiteral("copy.dat")), SheetRig::header() + rowsOf(1, shown) + fullTail);
    }

    // Files that are plainly something else are refused when opened, before a row of them is shown:
    // the previous data file stays, the file is untouched, the statistics refuse it too.
    void filesThatAreNoDataFilesAreRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray text = SheetRig::file(3);
        QByteArray utf16("\xFF\xFE");
        for (const char c : text)
            utf16 += QByteArray(1, c) + QByteArray(1, '\0');
        QByteArray binary;
        QRandomGenerator random(7);
        for (int i = 0; i < 4000; ++i)
            binary += char(1 + random.bounded(255)); // no NUL byte at all
        QByteArray record(
            "position (\xB5m)\ttime (s)\tload (N)\tstress (MPa)\tstrain (%)\tspeed (\xB5m/s)\r\n");
        for (int k = 0; k < 50; ++k)
            record += QByteArray::number(k * 40) + "\t" + QByteArray::number(k * 0.1) + "\t" +
                      QByteArray::number(k * 0.12) + "\t1\t0.1\t400\r\n";

        QTest::newRow("UTF-16 with its mark") << utf16 << "It is not a STAVELY data file: it is UTF-16 text";
        QTest::newRow("UTF-16 without a mark")
            << utf16.mid(2) << "It is not a STAVELY data file: it holds NUL bytes";
        QTest::newRow("a NUL byte in a row")
            << text + QByteArray("4,\0,5\r\n", 7) << "It is not a STAVELY data file: it holds NUL bytes";
        QTest::newRow("random binary") << binary << "It is not a STAVELY data file: it holds binary data";
        // Far down in a large file, as near the start.
        QTest::newRow("a NUL byte beyond the first megabyte")
            << SheetRig::file(10000) + QByteArray("4,\0,5\r\n", 7)
            << "It is not a STAVELY data file: it holds NUL bytes";
        QByteArray damaged = SheetRig::header();
        for (int n = 1; n <= 30; ++n)
            damaged += SheetRig::line(damagedRow(n));
        QTest::newRow("a NUL byte in lines reading stops before")
            << damaged + QByteArray("4,\0,5\r\n", 7) << "It is not a STAVELY data file: it holds NUL bytes";
        QTest::newRow("a load/time record with a NUL byte")
            << record + QByteArray(2 * 1024 * 1024, 'x') + QByteArray("\0", 1)
            << "It is not a STAVELY data file: it holds NUL bytes";
        QTest::newRow("a specimen's load/time record")
            << record
            << "It is the load/time record of one specimen (tab-separated samples), not a STAVELY data "
               "file of results";
    }
    void filesThatAreNoDataFilesAreRefused() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        SheetRig rig;
        const QString good = rig.write(QStringLiteral("good.dat"), SheetRig::file(2));
        QVERIFY(rig.sheet.file2grd(good));
        const QString other = rig.write(QStringLiteral("other.dat"), bytes);
        rig.op.answer(MsgResult::Ok);
        QVERIFY(!rig.sheet.file2grd(other));
        QCOMPARE(rig.op.prompts.size(), 1);
        QCOMPARE(rig.op.last().title, NotAvailableTitle);
        QCOMPARE(rig.op.last().text, QStringLiteral("Data file \"") + other +
                                         QStringLiteral("\"\rcan not be opened for saving results:\r") +
                                         reason);
        QCOMPARE(rig.sheet.dataFileName(), good);
        QCOMPARE(rig.sheet.resultRows(), 2);
        // The next result goes where it belongs.
        QVERIFY(rig.sheet.AppendResult(SheetRig::result(3)));
        QCOMPARE(rig.read(QStringLiteral("other.dat")), bytes);
        QCOMPARE(rig.read(QStringLiteral("good.dat")), SheetRig::file(3));
        QString error;
        QVERIFY(!ReadDataFileRows(other, &error));
        QCOMPARE(error, reason);
    }

    // Awkward files read as their text reads, whatever the bytes and wherever reading's blocks of a
    // megabyte end, and a rewrite gives every row back as the program writes it.
    void theFileReadsAsItsTextReads_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray header = SheetRig::header();
        const QByteArray good =
            SheetRig::line(SheetRig::result(1, QStringLiteral("a \"good\", clean break")));
        // Every byte a text line may hold (controls would make it a binary file).
        QByteArray everyByte("\t");
        for (int b = 0x20; b < 256; ++b)
            if (b != 0x7F)
                everyByte += char(b);
        QTest::newRow("every byte, raw and quoted")
            << header + "1,2,3,4,5," + everyByte + "\r\n" +
                   SheetRig::line(SheetRig::result(2, Cp1252::decode(everyByte))) + everyByte + "\r\n";
        QTest::newRow("quotes")
            << header + "1,\"a, \"\"b\"\"\",3\r\n1,\"x\"y,3\r\n1,\"open\r\n1,2,a\"\"b,\"\"\r\n";
        QTest::newRow("blanks, tabs and comment lines")
            << "  ; before\r\n\r\n   " + header + " \t \r\n;x\r\n  1 , 2 ,\t3\t, 4,5  \r\n" + good;
        QTest::newRow("16, 18 and 25 fields")
            << header + "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16\r\n" +
                   "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18\r\n" +
                   "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25\r\n" + good;
        QTest::newRow("numbers of every form")
            << header + "1e5,+3,.5,5.,-0\r\n 7 ,\t8,0x10,inf,nan\r\n26/12/07,10:00:00,-,--1,1.2.3\r\n" +
                   QByteArray(45, '9') +
                   ",1e400,4.9e-324,\"1,5\",\xA0"
                   "5\r\n";
        QTest::newRow("LF, CR and no end at the end") << header + "1,2\n3,4\r5,6\r\n\r7,8";
        QTest::newRow("no header") << QByteArray("\r\n; nothing\r\n   \r\n");
        QByteArray stops = header;
        for (int n = 1; n <= 30; ++n)
            stops += "x,y,z,w,v\r\n";
        QTest::newRow("read in part") << stops + good;

        // Around the blocks: a CR LF split by a block's end, a line running on over two blocks,
        // a comment longer than a block.
        QByteArray large = header;
        while (large.size() < 1024 * 1024 - 200)
            large += good;
        QByteArray split = large;
        split += SheetRig::line(SheetRig::result(3, QString(400, QLatin1Char('c'))))
                     .left(1024 * 1024 - split.size() - 1) +
                 "\r\n";
        QCOMPARE(split.indexOf('\n', 1024 * 1024 - 2), 1024 * 1024); // the CR ends the first block
        split += good;
        QTest::newRow("a CR LF across a block's end") << split;
        QTest::newRow("a line across a block's end")
            << large + SheetRig::line(SheetRig::result(4)).repeated(3);
        QTest::newRow("a comment longer than a block")
            << large + SheetRig::line(SheetRig::result(5, QString(1536 * 1024, QLatin1Char('c')))) + good;
    }
    void theFileReadsAsItsTextReads() {
        QFETCH(QByteArray, bytes);
        SheetRig rig;
        const QString file = rig.write(QStringLiteral("awkward.dat"), bytes);
        DataFileContents read;
        QVERIFY(!DataFile::Read(file, read));
        QCOMPARE(read.notDataFile, QString());
        const DataFileContents expected = readAsText(bytes);
        QCOMPARE(read.headerFound, expected.headerFound);
        QCOMPARE(read.header, expected.header);
        QCOMPARE(read.badItems, expected.badItems);
        QCOMPARE(read.longRows, expected.longRows);
        QCOMPARE(read.unreadTail, expected.unreadTail);
        QCOMPARE(read.rows.size(), expected.rows.size());
        QCOMPARE(read.keptLines.size(), expected.keptLines.size());
        // Blank and ";" lines go back where they stood, every line ending in CR LF.
        auto kept = expected.keptLines.cbegin();
        auto keptUpTo = [&](int rowsBefore) {
            QByteArray lines;
            for (; kept != expected.keptLines.cend() && kept->rowsBefore <= rowsBefore; ++kept)
                lines += kept->bytes;
            return lines;
        };
        for (std::size_t i = 0; i < read.keptLines.size(); ++i) {
            QCOMPARE(read.keptLines[i].rowsBefore, expected.keptLines[i].rowsBefore);
            QCOMPARE(read.keptLines[i].bytes, expected.keptLines[i].bytes);
        }
        QByteArray canonical = keptUpTo(-1) + SheetRig::header();
        for (std::size_t i = 0; i < read.rows.size(); ++i) {
            QCOMPARE(read.rows[i], expected.rows[i]);
            canonical += keptUpTo(int(i));
            canonical += DataFile::Encoded(DataLine::FileLine(expected.rows[i].fields()));
        }
        canonical += keptUpTo(int(read.rows.size()));
        if (!expected.headerFound || !expected.unreadTail.isEmpty())
            return;
        rig.op.failOnUnexpected = false;
        QVERIFY(rig.sheet.file2grd(file));
        QVERIFY(rig.sheet.RewriteDataFile());
        QCOMPARE(rig.read(QStringLiteral("awkward.dat")), canonical);
    }

    // Whatever the program writes reads back as the same rows, without a suspicious item: an empty
    // last field, a first field that looks like a comment, quotes and commas. 120 such rows are
    // written one by one, read back, rewritten and read again.
    void theProgramReadsBackWhatItWrites() {
        SheetRig rig;
        const QString file = rig.path(QStringLiteral("rows.dat"));
        QVERIFY(rig.sheet.file2grd(file));
        const QList<std::function<void(QStringList&)>> shapes{
            [](QStringList& f) { f[16].clear(); },
            [](QStringList& f) {
                f[15] = QStringLiteral("\"quoted\", with comma");
                f[16].clear();
            },
            [](QStringList& f) { f[16] = QStringLiteral("a,b"); },
            [](QStringList& f) {
                for (QString& s : f)
                    s.clear();
            },
        };
        QList<QStringList> written;
        for (int n = 1; n <= 120; ++n) {
            QStringList fields = SheetRig::result(n);
            shapes[(n - 1) % shapes.size()](fields);
            // A first field that reads like the start of a comment line (one suspicious item each).
            if (n == 7 || n == 50)
                fields[0] = n == 7 ? QStringLiteral(";2") : QStringLiteral(" ;");
            written << fields;
            QVERIFY(rig.sheet.AppendResult(fields));
        }
        written[49][0] = QStringLiteral(";"); // blanks around a field are never kept
        auto rowsRead = [&] {
            DataFileContents contents;
            if (DataFile::Read(file, contents) || contents.badItems != 2)
                return QList<QStringList>();
            QList<QStringList> rows;
            for (const DataRow& r : contents.rows)
                rows << r.fields();
            return rows;
        };
        QCOMPARE(rowsRead(), written);
        QVERIFY(rig.sheet.file2grd(file));
        QVERIFY(rig.op.prompts.isEmpty());
        QCOMPARE(rig.sheet.resultRows(), 120);
        QVERIFY(rig.sheet.RewriteDataFile());
        QCOMPARE(rowsRead(), written);
        QVERIFY(rig.read(QStringLiteral("rows.dat")).contains("\r\n\";2\","));
    }

    // A row of more than 17 fields is named when the file is opened: a rewrite would drop the rest.
    void rowsOfMoreThan17FieldsAreNamed() {
        SheetRig rig;
        QByteArray bytes = SheetRig::file(5);
        bytes.replace(SheetRig::line(SheetRig::result(2)),
                      SheetRig::line(SheetRig::result(2) + QStringList{QStringLiteral("extra")}));
        bytes += DataFile::Encoded(DataLine::FileLine(SheetRig::result(6)) + QStringLiteral(",x,y"));
        rig.op.answer(MsgResult::Ok);
        QVERIFY(rig.sheet.file2grd(rig.write(QStringLiteral("long.dat"), bytes)));
        QCOMPARE(rig.sheet.resultRows(), 6);
        QCOMPARE(rig.op.prompts.size(), 1);
        QCOMPARE(rig.op.last().title, QStringLiteral("ROWS WITH MORE THAN 17 FIELDS"));
        QVERIFY(rig.op.last().text.startsWith(
            QStringLiteral("These rows of the data file hold more than 17 fields: 2, 6.\r")));
    }

    // A failed rewrite leaves the datasheet visibly different from its file until a rewrite succeeds.
    void aFailedRewriteShowsUntilTheFileIsWhole() {
        SheetRig rig;
        QVERIFY(rig.sheet.file2grd(rig.write(QStringLiteral("run.dat"), SheetRig::file(2))));
        DatasheetPanel panel(rig.sheet, rig.commands, rig.op, rig.params);
        panel.resize(900, 40);
        panel.DisplayDataFileName();
        const QLabel* label = panel.findChild<QLabel*>(QStringLiteral("lblDataFile"));
        QVERIFY(!label->text().startsWith(QStringLiteral("NOT SAVED")));
        // A folder in the way of the .BAK stops the rewrite.
        QVERIFY(QDir(rig.dir.path()).mkdir(QStringLiteral("run.BAK")));
        rig.op.answer(1);
        rig.sheet.SetComment(0, QStringLiteral("slipped"), QString());
        QCOMPARE(rig.op.last().title, QStringLiteral("ERROR DELETING OLD .BAK FILE"));
        QVERIFY(rig.sheet.editsNotInFile());
        QVERIFY(label->text().startsWith(QStringLiteral("NOT SAVED: ")));
        QCOMPARE(rig.read(QStringLiteral("run.dat")), SheetRig::file(2));
        QVERIFY(QDir(rig.dir.path()).rmdir(QStringLiteral("run.BAK")));
        rig.sheet.SetComment(1, QStringLiteral("fine"), QString());
        QVERIFY(!rig.sheet.differsFromFile());
        QVERIFY(!label->text().startsWith(QStringLiteral("NOT SAVED")));
        QCOMPARE(rig.read(QStringLiteral("run.dat")),
                 SheetRig::header() + SheetRig::line(SheetRig::result(1, QStringLiteral("slipped"))) +
                     SheetRig::line(SheetRig::result(2, QStringLiteral("fine"))));
    }
};

STAVELY_TEST(DataFileTrustTest)
#include "DataFileTrustTest.moc"
