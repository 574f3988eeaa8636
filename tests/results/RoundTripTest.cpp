#include "results/DataFile.h"
#include "tests/results/SheetRig.h"
#include "tests/support/TestRegistry.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

namespace {
const char* const BoundedReadVariable = "STAVELY_TEST_BOUNDED_READ";

// A file whose first megabyte is line ends, then real rows: the first block alone counts a million
// lines a megabyte, as if the whole file were that dense.
QByteArray blankHeadFile(int rows) {
    QByteArray bytes = SheetRig::header() + QByteArray(1024 * 1024, '\n');
    for (int n = 1; n <= rows; ++n)
        bytes += SheetRig::line(SheetRig::result(n));
    return bytes;
}

// The child: reads the file named in the variable with little more address space than it has
// already, and says how many rows it got.
struct BoundedRead {
    BoundedRead() {
        const char* path = std::getenv(BoundedReadVariable);
        if (path == nullptr)
            return;
#ifdef Q_OS_LINUX
        long pages = 0;
        if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        const rlim_t room = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + rlim_t(256) * 1024 * 1024;
        const rlimit limit{room, room};
        ::setrlimit(RLIMIT_AS, &limit);
#endif
        DataFileContents contents;
        const bool failed = DataFile::Read(QString::fromLocal8Bit(path), contents).has_value();
        std::printf("%d\n", failed ? -1 : int(contents.rows.size()));
        std::fflush(stdout);
        std::_Exit(0);
    }
};
const BoundedRead boundedRead;

// Text for a comment or a note: letters, commas, quotes, semicolons, tabs, the file's 8-bit signs
// and every control character a line can hold.
QString randomText(QRandomGenerator& random, int length) {
    static const QString pool = [] {
        QString p = QStringLiteral("abc XYZ 019.,,\"\";;\t\u00b5\u00b1");
        for (char16_t c = 1; c < 0x20; ++c)
            if (c != u'\r' && c != u'\n')
                p += QChar(c);
        return p + QChar(0x7F);
    }();
    QString text;
    for (int i = 0; i < length; ++i)
        text += pool.at(qsizetype(random.bounded(int(pool.size()))));
    // Reading never keeps blanks around a field.
    while (text.startsWith(QLatin1Char(' ')))
        text.remove(0, 1);
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

// The lines that are no rows, as (rows before them, bytes), runs of them joined as reading joins them.
using Kept = QList<QPair<int, QByteArray>>;
Kept merged(const Kept& lines) {
    Kept out;
    for (const auto& [before, bytes] : lines) {
        if (!out.isEmpty() && out.back().first == before)
            out.back().second += bytes;
        else
            out.append({before, bytes});
    }
    return out;
}
Kept keptOf(const DataFileContents& contents) {
    Kept out;
    for (const KeptLines& k : contents.keptLines)
        out.append({k.rowsBefore, k.bytes});
    return out;
}
} // namespace

// The program reads back whatever it writes: the notes and blank lines of a lab's data file stay
// where they stood through every rewrite, and no comment the program wrote makes its file look
// like binary data. Reading reserves room by what it finds, not by a guess from the first block.
class RoundTripTest : public QObject {
    Q_OBJECT
private slots:
    // Generated files as a lab keeps them (notes before the header and between rows, blank lines,
    // comments full of control characters, quotes and commas), each edited or cut by a row through
    // the datasheet: the file read back holds the same rows and the same other lines, in place.
    void rewritesKeepEveryLineAndReadBackWhole() {
        QRandomGenerator random(35);
        for (int round = 0; round < 80; ++round) {
            SheetRig rig;
            Kept kept;
            QList<QStringList> rows;
            QByteArray bytes;
            auto notes = [&](int rowsBefore) {
                for (int k = int(random.bounded(3)); k > 0; --k) {
                    static const QList<QByteArray> shapes{"", "   ", "; batch 7 notes ", " ;"};
                    QByteArray line = shapes.at(random.bounded(int(shapes.size())));
                    if (line.contains(';'))
                        line += Cp1252::encode(randomText(random, int(random.bounded(1, 300))));
                    bytes += line + "\r\n";
                    kept.append({rowsBefore, line + "\r\n"});
                }
            };
            notes(-1);
            bytes += SheetRig::header();
            const int count = int(random.bounded(1, 12));
            for (int n = 1; n <= count; ++n) {
                notes(n - 1);
                rows << SheetRig::result(n, randomText(random, int(random.bounded(0, 40))));
                bytes += SheetRig::line(rows.back());
            }
            notes(count);
            const QString file = rig.write(QStringLiteral("lab.dat"), bytes);
            QVERIFY2(rig.sheet.file2grd(file), qPrintable(QStringLiteral("round %1").arg(round)));
            QVERIFY(rig.op.prompts.isEmpty());

            const int row = int(random.bounded(count));
            if (random.bounded(2) == 0) {
                const QString before = rig.sheet.model().cell(row, DataLine::CommentsColumn);
                const QString after = randomText(random, int(random.bounded(1, 60)));
                rig.sheet.SetComment(row, after, before);
                rows[row][DataLine::CommentsColumn - 1] = after;
            } else {
                rig.op.answer(1);
                rig.op.answer(2);
                rig.commands.DeleteRow(row);
                rows.removeAt(row);
                for (auto& [before, line] : kept)
                    if (before > row)
                        --before;
            }
            QVERIFY(!rig.sheet.differsFromFile());

            DataFileContents read;
            QVERIFY(!DataFile::Read(file, read));
            QCOMPARE(read.notDataFile, QString());
            QCOMPARE(read.badItems, 0);
            QCOMPARE(keptOf(read), merged(kept));
            QList<QStringList> fields;
            for (const DataRow& r : read.rows)
                fields << r.fields();
            QCOMPARE(fields, rows);
            // Opened again, it is the same datasheet, and written again, the same bytes.
            const QByteArray once = rig.read(QStringLiteral("lab.dat"));
            QVERIFY(rig.sheet.file2grd(file));
            QCOMPARE(rig.sheet.resultRows(), int(rows.size()));
            QVERIFY(rig.sheet.RewriteDataFile());
            QCOMPARE(rig.read(QStringLiteral("lab.dat")), once);
        }
        // What no line of the file can hold is refused where it is typed.
        for (const QChar c : {QChar(0), QChar(u'\r'), QChar(u'\n')})
            QVERIFY(!DataLine::FileCanHold(QStringLiteral("a") + c));
        QVERIFY(DataLine::FileCanHold(QStringLiteral("a\x01\x1f\x7f\t,\"b")));
    }

    // The heuristic still knows a file that is no data file: the same control characters without
    // the titles in front are binary data.
    void controlCharactersWithoutTheTitlesAreBinary() {
        SheetRig rig;
        QByteArray body;
        for (int n = 1; n <= 5; ++n)
            body += SheetRig::line(SheetRig::result(n, QString(30, QChar(0x01))));
        DataFileContents read;
        QVERIFY(!DataFile::Read(rig.write(QStringLiteral("no-titles.dat"), body), read));
        QCOMPARE(read.notDataFile, QStringLiteral("It is not a STAVELY data file: it holds binary data"));
        QVERIFY(!DataFile::Read(rig.write(QStringLiteral("titles.dat"), SheetRig::header() + body), read));
        QCOMPARE(read.notDataFile, QString());
        QCOMPARE(read.rows.size(), std::size_t(5));
    }

    // A megabyte of line ends before the rows: room is reserved within the bound, the rows all read,
    // and under an address space that a reservation for the whole file would overrun, so do they.
    void blankLinesFirstReserveWithinTheBound() {
        SheetRig rig;
        const QString file = rig.write(QStringLiteral("blank-head.dat"), blankHeadFile(20000));
        DataFileContents read;
        QVERIFY(!DataFile::Read(file, read));
        QCOMPARE(read.rows.size(), std::size_t(20000));
        QVERIFY2(read.rows.capacity() <= DataFile::ReservedRows,
                 qPrintable(QString::number(read.rows.capacity())));
        QCOMPARE(read.keptLines.size(), std::size_t(1));
        QCOMPARE(read.keptLines.front().bytes.size(), qsizetype(2 * 1024 * 1024));
#if defined(Q_OS_LINUX) && !defined(__SANITIZE_ADDRESS__)
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QLatin1String(BoundedReadVariable), file);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("20000"));
#endif
    }
};

STAVELY_TEST(RoundTripTest)
#include "RoundTripTest.moc"
