#include "results/BatchReport.h"
#include "results/PointDecimation.h"
#include "results/RowTitle.h"
#include "tests/support/TestRegistry.h"

#include <QFile>
#include <QPair>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

namespace {
QList<QStringList> rows(int count) {
    QList<QStringList> result;
    for (int i = 1; i <= count; ++i) {
        QStringList f(17);
        f[0] = QString::number(i);
        f[3] = QString::number(4000 + 37 * ((i * 7) % 23) + (i % 2) * 150, 'f', 1);
        f[4] = QStringLiteral("5.5");
        f[5] = i % 2 ? QStringLiteral("60 MPa/s") : QStringLiteral("0.6 MPa/s");
        f[15] = i == 3 ? QStringLiteral("ignore: slipped") : QString();
        f[16] = QStringLiteral("125 500 0 72 3 0.5N/100 26/12/07 11:59:%1 31.2mm/1.00")
                    .arg(i % 60, 2, 10, QLatin1Char('0'));
        result.append(f);
    }
    return result;
}

// Static rows: per level, breaks whose times follow t = 100 s (3800 MPa / stress)^20 (times 0.9, 1
// and 1.1 of it), and the extra rows asked for.
QList<QStringList> staticRows(const QList<double>& levels, const QList<QPair<double, QString>>& extra = {}) {
    QList<QStringList> result;
    auto add = [&result](double level, double time, const QString& comment) {
        QStringList f(17);
        f[0] = QString::number(result.size() + 1);
        f[3] = QString::number(level, 'f', 1);
        f[5] = QString::number(level) + QStringLiteral(" MPa");
        f[12] = QString::number(time, 'f', 2);
        f[15] = comment;
        f[16] = QStringLiteral("125 20 0 72 3 %1MPa 26/12/07 11:59:00 20.0mm/1.00").arg(level);
        result.append(f);
    };
    for (double level : levels)
        for (double share : {0.9, 1.0, 1.1})
            add(level, share * 100 * std::pow(3800 / level, 20), QString());
    for (const auto& [level, time] : extra)
        add(level, 1, time);
    return result;
}

// The PDF's text per page, or an empty list when pdftotext is not installed.
QStringList pdfPages(const QString& pdf) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        return {};
    QProcess p;
    p.start(tool, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {QStringLiteral("pdftotext failed")};
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}
} // namespace

class BatchReportTest : public QObject {
    Q_OBJECT
private slots:
    void paperFollowsTheLocale() {
        QCOMPARE(BatchReport::PageSizeFor(QLocale(QLocale::English, QLocale::UnitedStates)).id(),
                 QPageSize::Letter);
        QCOMPARE(BatchReport::PageSizeFor(QLocale(QLocale::French, QLocale::Canada)).id(), QPageSize::Letter);
        QCOMPARE(BatchReport::PageSizeFor(QLocale(QLocale::German, QLocale::Germany)).id(), QPageSize::A4);
        QCOMPARE(BatchReport::PageSizeFor(QLocale(QLocale::English, QLocale::UnitedKingdom)).id(),
                 QPageSize::A4);
    }

    // One page of summary, one for the rows left out (row 3 is marked "ignore"), one per 40 rows of
    // the table (at least one), then four plots a page.
    void pagesFollowTheRowsAndThePdfHoldsTheText_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("pages");
        QTest::newRow("empty") << 0 << 2;
        QTest::newRow("40 rows") << 40 << 1 + 1 + 1 + 1; // all, two groups, fatigue: 4 plots
        QTest::newRow("41 rows") << 41 << 1 + 1 + 2 + 1;
        QTest::newRow("121 rows") << 121 << 1 + 1 + 4 + 1;
        // The table stops at 1000 rows and says what it left out; the statistics take them all.
        QTest::newRow("1201 rows") << 1201 << 1 + 1 + 25 + 1;
    }
    void pagesFollowTheRowsAndThePdfHoldsTheText() {
        QFETCH(int, count);
        QFETCH(int, pages);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        BatchReport report(QStringLiteral("/data/run7.dat"), rows(count));
        report.setDate(QDateTime(QDate(2026, 12, 7), QTime(11, 30)));
        report.setPageSize(QPageSize(QPageSize::A4));
        QCOMPARE(report.PageCount(), pages);
        QString error;
        QVERIFY2(report.Write(pdf, &error), qPrintable(error));
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");

        const QStringList text = pdfPages(pdf);
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QCOMPARE(text.size(), pages);
        QVERIFY(text[0].contains(QStringLiteral("Data file: /data/run7.dat")));
        QVERIFY(text[0].contains(QStringLiteral("Date: 2026-12-07 11:30")));
        QVERIFY(text[0].contains(QStringLiteral("Page 1 of %1").arg(pages)));
        if (count == 0) {
            QVERIFY(text[0].contains(QStringLiteral("not enough data")));
            QVERIFY(text[1].contains(QStringLiteral("s (MPa)")));
            return;
        }
        QVERIFY(
            text[0].contains(QStringLiteral("diameter 125 \u00b5m, gauge length 500 mm, coating EA 0 N, "
                                            "modulus 72 GPa, modulus a 3, preload 0.5 N at 100 \u00b5m/s")));
        QVERIFY(text[1].contains(QStringLiteral("Specimen 3 (60 MPa/s): comment \"ignore: slipped\"")));
        QVERIFY(text[0].contains(QStringLiteral("Weibull m (max. likelihood)")));
        QVERIFY(text[0].contains(QStringLiteral("60 MPa/s")));
        QVERIFY(text[0].contains(QStringLiteral("Dynamic fatigue n =")));
        // Row 40 closes the first table page, row 41 opens the second; dates read ISO.
        QVERIFY(text[2].contains(QStringLiteral("nom rate")));
        QVERIFY(text[2].contains(QStringLiteral("ignore: slipped")));
        QVERIFY(text[2].contains(QStringLiteral("2026-12-07 11:59:")));
        QVERIFY(!text[2].contains(QStringLiteral("26/12/07")));
        QVERIFY(text[2].contains(rows(count)[count >= 40 ? 39 : count - 1][3]));
        if (count > 40) {
            QVERIFY(text[3].contains(QStringLiteral("nom rate")));
            const QRegularExpression row41(QStringLiteral("(^|\n) *41 "));
            QVERIFY(text[3].contains(row41));
            QVERIFY(!text[2].contains(row41));
        }
        if (count > BatchReport::MaxTableRows) {
            const QString leftOut =
                QStringLiteral("The table shows the first 1000 of 1201 rows; 201 rows are "
                               "left out. The full data are in the data file /data/run7.dat.");
            QVERIFY(text[0].contains(QStringLiteral("Rows: 1201;")));
            QVERIFY(text[0].contains(leftOut));
            QVERIFY(text[26].contains(leftOut));
            QVERIFY(text[26].contains(QRegularExpression(QStringLiteral("(^|\n) *1000 "))));
            QVERIFY(!text.join(QString()).contains(QRegularExpression(QStringLiteral("(^|\n) *1001 "))));
            QCOMPARE(report.statistics().all().specimens() + report.statistics().all().ignored, 1201);
        }
        QVERIFY(text.back().contains(QStringLiteral("WEIBULL PLOT: All")));
        QVERIFY(text.back().contains(QStringLiteral("DYNAMIC FATIGUE")));
        QVERIFY(text.back().contains(QStringLiteral("Tested by:")));
        QVERIFY(text.back().contains(QStringLiteral("Checked by:")));
    }

    // A plot of many thousand points keeps, per column of its x range, its lowest and highest point:
    // the extremes and the order survive, the count stays near twice the columns.
    void plotsAreThinnedToTheirExtremes_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("columns");
        QTest::newRow("fewer than the columns hold") << 50 << 30;
        QTest::newRow("343,000 points") << 343000 << 1500;
        QTest::newRow("one column") << 1000 << 1;
    }
    void plotsAreThinnedToTheirExtremes() {
        QFETCH(int, count);
        QFETCH(int, columns);
        QList<QPointF> points;
        for (int i = 0; i < count; ++i) // a rising curve with a spike every 997 points
            points.append({std::log(1000.0 + i), double(i) / count + (i % 997 == 0 ? 5.0 : 0.0)});
        const QList<QPointF> thin = PointDecimation::Decimate(points, columns);
        if (count <= 2 * columns) {
            QCOMPARE(thin, points);
            return;
        }
        QVERIFY2(thin.size() <= 2 * (columns + 1), qPrintable(QString::number(thin.size())));
        auto byY = [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); };
        QCOMPARE(*std::max_element(thin.begin(), thin.end(), byY),
                 *std::max_element(points.begin(), points.end(), byY));
        QCOMPARE(*std::min_element(thin.begin(), thin.end(), byY),
                 *std::min_element(points.begin(), points.end(), byY));
        for (qsizetype i = 1; i < thin.size(); ++i)
            QVERIFY(thin[i].x() >= thin[i - 1].x());
        // Every spike that has a column of its own is still there.
        if (columns > 100)
            QVERIFY(std::count_if(thin.begin(), thin.end(), [](const QPointF& p) { return p.y() >= 5; }) >=
                    count / 997 / 2);
    }

    // Who tested what, with which program and calibration, in type that can be read, and a
    // conditions column that ends where its text ends.
    void reportNamesItsSourcesAndCutsNothing() {
        QList<QStringList> batch = rows(40);
        for (QStringList& r : batch)
            r[16] += QStringLiteral(" operator:Jane_Doe sample:B-17");
        batch[5][16].replace(QStringLiteral("B-17"), QStringLiteral("B-18"));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        BatchReport report(QStringLiteral("/data/run7.dat"), batch);
        report.setPageSize(QPageSize(QPageSize::A4));
        report.setCalibration(QStringLiteral("Serial # SIM-2041:  slope 50.992 \u00b1 0.011 au/N"));
        QCOMPARE(report.Operators(), QStringLiteral("Jane Doe"));
        QCOMPARE(report.Samples(), QStringLiteral("B-17, B-18"));
        QCOMPARE(BatchReport(QString(), rows(2)).Operators(), QStringLiteral("not given"));
        // A name typed with a comma comes back as typed; names holding commas are set apart by
        // semicolons.
        QList<QStringList> typed = rows(2);
        typed[0][16] +=
            QStringLiteral(" sample:") + RowTitle::NoteItem(QStringLiteral("B7, preform 12  spool 3"));
        typed[1][16] += QStringLiteral(" sample:C1");
        QCOMPARE(BatchReport(QString(), typed).Samples(), QStringLiteral("B7, preform 12  spool 3; C1"));
        QString error;
        QVERIFY2(report.Write(pdf, &error), qPrintable(error));

        const QStringList text = pdfPages(pdf);
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QVERIFY(text[0].contains(QStringLiteral("Operator: Jane Doe")));
        QVERIFY(text[0].contains(QStringLiteral("Sample: B-17, B-18")));
        QVERIFY(text[0].contains(QStringLiteral("Program: STAVELY 1.05")));
        QVERIFY(text[0].contains(QStringLiteral("Load cell calibration: Serial # SIM-2041")));
        // The last column's last item is on the page whole, row after row.
        QCOMPARE(text[2].count(QStringLiteral("sample:B-1")), 40);
        QCOMPARE(text[2].count(QStringLiteral("\u2026")), 0);

        // Every word of the summary and the table stands at least 8 points high (a word's box is a
        // little taller than its type).
        QProcess p;
        p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")),
                {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                 QStringLiteral("3"), pdf, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(60000));
        const QString boxes = QString::fromUtf8(p.readAllStandardOutput());
        const QRegularExpression word(
            QStringLiteral("yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" yMax=\"([0-9.]+)\">([^<]*)<"));
        int words = 0;
        for (const auto& m : word.globalMatch(boxes)) {
            ++words;
            const double height = m.captured(2).toDouble() - m.captured(1).toDouble();
            QVERIFY2(height >= 8.0,
                     qPrintable(m.captured(3) + QStringLiteral(": ") + QString::number(height)));
        }
        QVERIFY(words > 400);
    }

    // Static rows give the report its static section: a line per level with its breaks, run-outs and
    // Kaplan-Meier median (a run-out shorter than every break leaves it alone; an ignored row counts
    // nowhere), n_s from the medians, and the static fatigue plot; strength rows alone give none.
    void staticLevelsAndTheirNAreReported_data() {
        QTest::addColumn<QList<QStringList>>("batch");
        QTest::addColumn<QStringList>("expected"); // on the first page, in this order
        QTest::addColumn<bool>("plot");
        const QList<QPair<double, QString>> extra{{3800, QStringLiteral("runout after 50 s")},
                                                  {4100, QStringLiteral("ignore: slipped")}};
        QList<QStringList> withRunout = staticRows({3800, 4100, 4400}, extra);
        withRunout[9][12] = QStringLiteral("50.00");
        QTest::newRow("three levels and a run-out")
            << withRunout
            << QStringList{QStringLiteral("STATIC FATIGUE"),
                           QStringLiteral("3800 MPa: 3800.0 MPa, 3 breaks, 1 run-out, median time to failure "
                                          "100.00 s"),
                           QStringLiteral(
                               "4100 MPa: 4100.0 MPa, 3 breaks, 0 run-outs, median time to failure "
                               "21.88 s"),
                           QStringLiteral(
                               "4400 MPa: 4400.0 MPa, 3 breaks, 0 run-outs, median time to failure "
                               "5.33 s"),
                           QStringLiteral("Static fatigue n = 20.0"),
                           QStringLiteral("from 3 levels")}
            << true;
        QTest::newRow("one level")
            << staticRows({4100})
            << QStringList{QStringLiteral("STATIC FATIGUE"),
                           QStringLiteral("4100 MPa: 4100.0 MPa, 3 breaks, 0 run-outs"),
                           QStringLiteral(
                               "Static fatigue needs median times to failure at two or more levels.")}
            << true;
        QTest::newRow("strength rows only") << rows(12) << QStringList{} << false;
    }
    void staticLevelsAndTheirNAreReported() {
        QFETCH(QList<QStringList>, batch);
        QFETCH(QStringList, expected);
        QFETCH(bool, plot);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        BatchReport report(QStringLiteral("/data/static.dat"), batch);
        report.setPageSize(QPageSize(QPageSize::A4));
        QString error;
        QVERIFY2(report.Write(pdf, &error), qPrintable(error));
        const QStringList text = pdfPages(pdf);
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QCOMPARE(text.size(), report.PageCount());
        // Lines as drawn, their runs of spaces closed up.
        const QString first = text[0].simplified();
        qsizetype at = 0;
        for (const QString& e : expected) {
            const qsizetype found = first.indexOf(e, at);
            QVERIFY2(found >= 0, qPrintable(e + QStringLiteral(" | ") + first));
            at = found + e.size();
        }
        QCOMPARE(text.join(QString()).contains(QStringLiteral("STATIC FATIGUE")), plot);
        if (plot)
            QVERIFY(text.back().contains(QStringLiteral("ln(median time to failure / s)")));
    }

    // The report reads as written for people: counts in the right number, no unit after "not
    // enough data", n's caution, the rows left out with their reasons, no Weibull plot from one
    // break, and the signatures at the end.
    void reportReadsAsWrittenForPeople() {
        QList<QStringList> batch = rows(6); // 60 and 0.6 MPa/s, row 3 marked "ignore"
        QStringList one = batch[0];
        one[0] = QStringLiteral("7");
        one[5] = QStringLiteral("600 MPa/s");
        one[15].clear();
        one[16] = QStringLiteral("125 500 0 72 3 0N/0 26/12/07 12:00:00 31.2mm/1.00");
        batch << one;
        QList<QStringList> holds = staticRows({}, {{1500, QString()},
                                                   {1500, QStringLiteral("runout after 2 h")},
                                                   {1500, QStringLiteral("ignore: slipped")},
                                                   {1800, QStringLiteral("runout after 1 h")}});
        holds[0][12] = QStringLiteral("24.73");
        holds[1][12] = QStringLiteral("7200");
        holds << holds[0];
        holds.back()[12] = QStringLiteral("--");
        for (qsizetype i = 0; i < holds.size(); ++i)
            holds[i][0] = QString::number(8 + i);
        batch << holds;

        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        BatchReport report(QStringLiteral("/data/mixed.dat"), batch);
        report.setPageSize(QPageSize(QPageSize::A4));
        QString error;
        QVERIFY2(report.Write(pdf, &error), qPrintable(error));
        const QStringList text = pdfPages(pdf);
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QCOMPARE(text.size(), report.PageCount());
        const QString all = text.join(QString()).simplified();
        for (const QString& expected : {
                 QStringLiteral("no preload (1 row)"),
                 QStringLiteral("1500 MPa: 1500.0 MPa, 1 break, 1 run-out, median time to failure 24.73 s, "
                                "Weibull m"),
                 QStringLiteral("; 1 skipped (time not a positive number), 1 marked \"ignore\""),
                 QStringLiteral(
                     "1800 MPa: 1800.0 MPa, 0 breaks, 1 run-out, median time to failure not enough "
                     "data, Weibull m not enough data, characteristic time not enough data"),
                 QStringLiteral("uncertain: 2 of the groups have fewer than 3 specimens"),
                 QStringLiteral("Rows left out of the statistics (3)"),
                 QStringLiteral("Specimen 3 (60 MPa/s): comment \"ignore: slipped\""),
                 QStringLiteral("Specimen 10 (1500 MPa): comment \"ignore: slipped\""),
                 QStringLiteral("Specimen 12 (1500 MPa): time to failure not a positive number"),
             })
            QVERIFY2(all.contains(expected), qPrintable(expected));
        for (const QString& absent :
             {QStringLiteral("not enough data s"), QStringLiteral("1 rows"), QStringLiteral("1 run-outs"),
              QStringLiteral("WEIBULL PLOT: 600 MPa/s"), QStringLiteral("1 breaks")})
            QVERIFY2(!all.contains(absent), qPrintable(absent));
        QVERIFY(all.contains(QStringLiteral("WEIBULL PLOT: 60 MPa/s")));
        QVERIFY(text.back().contains(QStringLiteral("Tested by:")));
        QVERIFY(text.back().contains(QStringLiteral("Checked by:")));
        QVERIFY(text.back().contains(QStringLiteral("Date:")));
    }

    void unwritablePathIsReported() {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!BatchReport(QString(), rows(3))
                     .Write(dir.filePath(QStringLiteral("no/such/folder/r.pdf")), &error));
        QVERIFY(!error.isEmpty());
    }
};

STAVELY_TEST(BatchReportTest)
#include "BatchReportTest.moc"
