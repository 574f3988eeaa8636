#include "results/DataLine.h"
#include "params/Cp1252.h"
#include "tests/support/TestRegistry.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>
#include <cstring>

namespace {
QStringList fieldsOf(const DataLine::Fields& f, int from = 1, int to = 17) {
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << f[size_t(i)];
    return out;
}

// The number test as the general parser gives it: plain decimal text, nothing else, finite.
std::optional<double> referenceNumber(QStringView text) {
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    const QChar first = text.front();
    if (!(first.isDigit() || first == QLatin1Char('-') || first == QLatin1Char('+') ||
          first == QLatin1Char('.')))
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QStringList seventeen(const QStringList& start) {
    QStringList all = start;
    while (all.size() < 17)
        all << QString::number(all.size() + 1);
    return all;
}
} // namespace

class DataLineTest : public QObject {
    Q_OBJECT
private slots:
    void headerLineIsTheFilesFirstLine() {
        QCOMPARE(
            Cp1252::encode(DataLine::HeaderLine()),
            QByteArray("N,Lt (N),Lf (N),s (MPa),e (%),nom rate,v (\xB5m/s),\xB1,e. (%/min),\xB1,s. (MPa/s),"
                       "\xB1,t (s),date,time,comments,df GL EA Eo Ea Preload start"));
    }

    void quotingRoundTrips_data() {
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "broke at capstan"
                               << "broke at capstan";
        QTest::newRow("comma") << "a, b"
                               << "\"a, b\"";
        QTest::newRow("quote") << "the \"good\" one"
                               << "\"the \"\"good\"\" one\"";
        QTest::newRow("quote and comma") << "5\", thick"
                                         << "\"5\"\", thick\"";
        QTest::newRow("only a quote") << "\""
                                      << "\"\"\"\"";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("code page signs") << "±2 µm"
                                         << "±2 µm";
        QTest::newRow("tab inside") << "a\tb"
                                    << "a\tb";
    }
    void quotingRoundTrips() {
        QFETCH(QString, comment);
        QFETCH(QString, written);
        QStringList fields = seventeen({"12", "3.5"});
        fields[15] = comment;
        const QString line = DataLine::FileLine(fields);
        QCOMPARE(line.section(QLatin1Char(','), 15).left(written.size()), written);
        QVERIFY(!line.contains(QStringLiteral("\"3.5\""))); // numbers are never quoted

        DataLine::Fields parsed;
        QCOMPARE(DataLine::ParseDataLine(Cp1252::decode(Cp1252::encode(line)), parsed), 0);
        QCOMPARE(fieldsOf(parsed), fields);
        DataRow row;
        QCOMPARE(DataLine::ParseDataLine(line, row), 0);
        QCOMPARE(row.fields(), fields);
        QCOMPARE(DataLine::FileLine(row), line);
    }

    void splittingAndSuspiciousItems_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<int>("bad");
        const QString tail = QStringLiteral(",4,5,6,7,8,9,10,11,12,13,14,15,16,17");
        QTest::newRow("quoted with comma and doubled quote")
            << "1,\"a, \"\"b\"\"\",3" + tail << QStringList{"1", "a, \"b\"", "3"} << 1;
        QTest::newRow("two commas") << "1,,3" + tail << QStringList{"1", "", "3"} << 0;
        QTest::newRow("spaces trimmed, tabs kept")
            << " 1 ,\t2 ,3" + tail << QStringList{"1", "\t2", "3"} << 0;
        QTest::newRow("16 fields") << "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16" << QStringList{"1", "2", "3"}
                                   << 1;
        // A trailing comma is an empty last field, as the writer writes one.
        QTest::newRow("last field empty")
            << "1,2,3" + tail.left(tail.lastIndexOf(',') + 1) << QStringList{"1", "2", "3"} << 0;
        QTest::newRow("15 fields and a trailing comma")
            << "1,2,3" + tail.left(tail.lastIndexOf(',', tail.lastIndexOf(',') - 1) + 1)
            << QStringList{"1", "2", "3"} << 1;
        QTest::newRow("last field empty after a quoted one")
            << "1,2,3" + tail.left(tail.lastIndexOf(',', tail.lastIndexOf(',') - 1) + 1) + "\"a,b\","
            << QStringList{"1", "2", "3"} << 0;
        QTest::newRow("18 fields") << "1,2,3" + tail + ",18" << QStringList{"1", "2", "3"} << 1;
        QTest::newRow("letters in column 2") << "1,abc,3" + tail << QStringList{"1", "abc", "3"} << 1;
        QTest::newRow("dates and numbers pass")
            << "07/12/26,-1.5e3,3" + tail << QStringList{"07/12/26", "-1.5e3", "3"} << 0;
        QTest::newRow("text after closing quote") << "1,\"x\"y,3" + tail << QStringList{"1", "x", "y"} << 3;
        QTest::newRow("unclosed quote") << "1,\"open" << QStringList{"1", "open", ""} << 2;
        QTest::newRow("NUL bytes and junk") << QString::fromLatin1("1,\0\x01,3", 6) + tail
                                            << QStringList{"1", QString::fromLatin1("\0\x01", 2), "3"} << 1;
        QTest::newRow("comment starting with a quote")
            << "1,2,\"\"\"a\"\", b\"" + tail << QStringList{"1", "2", "\"a\", b"} << 1;
        QTest::newRow("doubled quotes unquoted") << "1,2,a\"\"b" + tail << QStringList{"1", "2", "a\"b"} << 1;
        QTest::newRow("inf is not a number")
            << "inf,nan,0x10" + tail << QStringList{"inf", "nan", "0x10"} << 3;
    }
    void splittingAndSuspiciousItems() {
        QFETCH(QString, line);
        QFETCH(QStringList, first);
        QFETCH(int, bad);
        DataLine::Fields fields;
        QCOMPARE(DataLine::ParseDataLine(line, fields), bad);
        QCOMPARE(fieldsOf(fields, 1, 3), first);
        DataRow row;
        QCOMPARE(DataLine::ParseDataLine(line, row), bad);
        QCOMPARE(row.fields(), fieldsOf(fields));
        DataRow fromBytes;
        QCOMPARE(DataLine::ParseDataLine(QByteArrayView(Cp1252::encode(line)), fromBytes), bad);
        QCOMPARE(fromBytes, row);
    }

    // Numbers are read without the general parser where the text allows: the verdict and the value,
    // to the last bit, must be the same for any text, from a row of the file's bytes or from text.
    void numbersReadAsTheGeneralParserReadsThem() {
        QStringList texts{"0",
                          "-0",
                          "007",
                          "812.4",
                          "-12.345",
                          "1.",
                          ".5",
                          "-.5",
                          "+3",
                          "-",
                          "--1",
                          "1.2.3",
                          "1e5",
                          "1E-3",
                          "1e400",
                          "4.9e-324",
                          " 7 ",
                          "\t8",
                          "8\t",
                          "0x10",
                          "inf",
                          "nan",
                          "1,5",
                          "9007199254740993",
                          "0.1000000000000000055511151231257827",
                          QString(39, QLatin1Char('9')),
                          QString(40, QLatin1Char('9')),
                          QString(41, QLatin1Char('9')),
                          "0." + QString(38, QLatin1Char('0')) + "1",
                          QStringLiteral("\u00a05"),
                          QStringLiteral("\u0665")};
        QRandomGenerator random(29);
        const QString alphabet = QStringLiteral("0123456789012345678901234567890123456789.-+e ");
        for (int i = 0; i < 20000; ++i) {
            QString text;
            const int length = 1 + int(random.bounded(12));
            for (int k = 0; k < length; ++k)
                text += alphabet[int(random.bounded(alphabet.size()))];
            texts << text;
            // Values as the program writes them, and at full precision.
            const double value =
                (random.generateDouble() - 0.5) * std::pow(10.0, int(random.bounded(12)) - 4);
            texts << QString::number(value, 'f', int(random.bounded(8))) << QString::number(value, 'g', 17);
        }
        for (const QString& text : std::as_const(texts)) {
            const std::optional<double> expected = referenceNumber(text);
            const DataRow row(1, {text});
            for (const std::optional<double>& got : {DataLine::Number(text), DataLine::Number(row, 1)}) {
                QVERIFY2(got.has_value() == expected.has_value(), qPrintable(text));
                if (got)
                    QVERIFY2(std::memcmp(&*got, &*expected, sizeof(double)) == 0, qPrintable(text));
            }
        }
    }

    // A row keeps the file's bytes when the code page holds every character, UTF-16 otherwise; its
    // fields come back as they went in either way, and its line is what the file can hold.
    void rowsKeepEveryCharacter() {
        QString everyByte;
        for (int b = 1; b < 256; ++b)
            everyByte += QChar(Cp1252::decodeByte(static_cast<unsigned char>(b)));
        const QStringList narrow = seventeen({"1", everyByte, "", "a \"b\", c"});
        QStringList wide = narrow;
        wide[16] = QStringLiteral("\u03bc \u2192 \U0001F600"); // Greek mu, an arrow, beyond the plane
        for (const QStringList& fields : {narrow, wide}) {
            DataRow row(3, fields);
            QCOMPARE(row.isNarrow(), fields == narrow);
            QCOMPARE(row.fields(), fields);
            QCOMPARE(DataLine::FileBytes(row), Cp1252::encode(DataLine::FileLine(fields)));
            // An edit that brings in a character beyond the code page, or takes it out again.
            row.setField(2, QStringLiteral("\u03bc"));
            QVERIFY(!row.isNarrow());
            row.setField(2, everyByte);
            QCOMPARE(row, DataRow(3, fields));
        }
    }

    void headerMismatchCountsTitlesThatDiffer() {
        DataLine::Fields header;
        DataLine::ParseDataLine(DataLine::HeaderLine(), header);
        QCOMPARE(DataLine::HeaderMismatches(header), 0);
        // The speed column and column 17 never count, whatever they hold.
        header[7] = QStringLiteral("v (?m/s)");
        header[17] = QStringLiteral("anything");
        QCOMPARE(DataLine::HeaderMismatches(header), 0);
        for (int c = 1; c <= 6; ++c)
            header[size_t(c)] = QStringLiteral("old");
        QCOMPARE(DataLine::HeaderMismatches(header), 6);
        header[8] = QString(); // empty fields never count
        QCOMPARE(DataLine::HeaderMismatches(header), 6);
        header[9] = QStringLiteral("old");
        QCOMPARE(DataLine::HeaderMismatches(header), 7);
    }

    void backupBesideTheDataFile_data() {
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("backup");
        QTest::newRow("extension") << "/lab/run1.dat"
                                   << "/lab/run1.BAK";
        QTest::newRow("two dots") << "/lab/run.1.csv"
                                  << "/lab/run.1.BAK";
        QTest::newRow("no extension") << "/lab/results"
                                      << "/lab/results.BAK";
        QTest::newRow("dot only in the folder") << "/lab.d/results"
                                                << "/lab.d/results.BAK";
        QTest::newRow("trailing dots") << "/lab/a.b.."
                                       << "/lab/a.BAK";
        QTest::newRow("the data file is a .BAK") << "/lab/old.BAK"
                                                 << "/lab/old.BAK.BAK";
    }
    void backupBesideTheDataFile() {
        QFETCH(QString, data);
        QFETCH(QString, backup);
        QCOMPARE(DataLine::BackupName(data), backup);
    }

    void onlyWhatTheFileCanHold() {
        QVERIFY(DataLine::FileCanHold(QStringLiteral("±0.5 µm, “quoted” – ok €")));
        QVERIFY(!DataLine::FileCanHold(QStringLiteral("μ (Greek mu)")));
        QVERIFY(!DataLine::FileCanHold(QStringLiteral("two\nlines")));
        QVERIFY(!DataLine::FileCanHold(QStringLiteral("cr\r")));
    }
};

STAVELY_TEST(DataLineTest)
#include "DataLineTest.moc"
