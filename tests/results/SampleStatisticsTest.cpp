#include "results/SampleStatistics.h"
#include "params/SettingsStore.h"
#include "results/AnalysisExport.h"
#include "results/frmStatistics.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QComboBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A realistic row: stress, rate, comment, and the test conditions with operator and sample items.
QStringList row(int n, double stress, const QString& rate, const QString& sample,
                const QString& comment = {}) {
    QStringList f{QString::number(n),
                  QStringLiteral("61.1"),
                  QStringLiteral("61.1"),
                  QString::number(stress),
                  QStringLiteral("6.45"),
                  rate,
                  QStringLiteral("101"),
                  QStringLiteral("1"),
                  QStringLiteral("3.1"),
                  QStringLiteral("0.1"),
                  QStringLiteral("600.1"),
                  QStringLiteral("0.2"),
                  QStringLiteral("12.1"),
                  QStringLiteral("26/12/08"),
                  QStringLiteral("06:55:%1").arg(n, 2, 10, QLatin1Char('0')),
                  comment,
                  QStringLiteral("125 500 0 72 3 0.5N/100 26/12/08 06:50:00 30.1mm/1.00 operator:Ann_Lee")};
    if (!sample.isEmpty())
        f[16] += QStringLiteral(" sample:") + QString(sample).replace(QLatin1Char(' '), QLatin1Char('_'));
    return f;
}

// Two samples of a preform at 600 MPa/s, one of them also at 60 MPa/s, a row naming no sample, a
// static hold (never a strength) and a row marked "ignore".
QList<QStringList> batch() {
    const QString b7 = QStringLiteral("B7 preform 12"), c1 = QStringLiteral("C1 spool 3");
    const QString fast = QStringLiteral("600 MPa/s"), slow = QStringLiteral("60 MPa/s");
    return {row(1, 5310, fast, b7),
            row(2, 5240, fast, c1),
            row(3, 5395, fast, b7),
            row(4, 5180, fast, c1),
            row(5, 5050, slow, b7),
            row(6, 5275, fast, b7),
            row(7, 4990, slow, b7, QStringLiteral("ignore, slipped")),
            row(8, 4960, slow, b7),
            row(9, 3900, QStringLiteral("3900 MPa"), c1),
            row(10, 5220, fast, QString())};
}
} // namespace

// Per-sample figures where a data file holds several samples, and the export for analysis programs.
class SampleStatisticsTest : public QObject {
    Q_OBJECT
private slots:
    void groupsBySampleAndRate() {
        const QList<QStringList> rows = batch();
        const SampleStatistics stats(rows);
        QCOMPARE(stats.samples(), 3);
        struct Expected {
            QString title;
            int specimens;
            int ignored;
            QList<int> rows;
            double median;
        };
        const QList<Expected> expected{
            {QStringLiteral("B7 preform 12 \u00b7 60 MPa/s"), 2, 1, {4, 7}, 5005},
            {QStringLiteral("B7 preform 12 \u00b7 600 MPa/s"), 3, 0, {0, 2, 5}, 5310},
            {QStringLiteral("C1 spool 3 \u00b7 600 MPa/s"), 2, 0, {1, 3}, 5210},
            {QStringLiteral("no sample \u00b7 600 MPa/s"), 1, 0, {9}, 5220},
        };
        QCOMPARE(stats.groups().size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            const SampleGroup& g = stats.groups()[i];
            QCOMPARE(g.title(), expected[i].title);
            QCOMPARE(g.group.specimens(), expected[i].specimens);
            QCOMPARE(g.group.ignored, expected[i].ignored);
            QCOMPARE(g.group.rows, expected[i].rows); // rows of the whole batch
            QCOMPARE(*g.group.median, expected[i].median);
        }
        const QString text = stats.KeyValueText();
        QVERIFY(text.contains(QStringLiteral("sample:B7_preform_12:600_MPa/s:median_MPa\t5310\n")));
        QVERIFY(text.contains(QStringLiteral("sample:C1_spool_3:600_MPa/s:specimens\t2\n")));
        QVERIFY(!text.contains(QStringLiteral("3900"))); // the static hold is no strength
    }

    // The window keeps its columns per rate until asked; per sample the Weibull choice follows.
    void windowShowsSamplesOnRequest() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
        ScriptedOperator op;
        frmStatistics window(op, store);
        window.setRows(batch(), dir.filePath(QStringLiteral("B7.dat")));
        window.show();
        QVERIFY(window.cboColumns->isVisible());
        QCOMPARE(window.grdStatistics->columnCount(), 3); // All, 60 and 600 MPa/s
        window.cboColumns->setCurrentIndex(1);
        QCOMPARE(window.grdStatistics->columnCount(), 5);
        QCOMPARE(window.grdStatistics->horizontalHeaderItem(2)->text(),
                 QStringLiteral("B7 preform 12 \u00b7 600 MPa/s"));
        QCOMPARE(window.grdStatistics->item(0, 2)->text(), QStringLiteral("3"));
        QCOMPARE(window.cboGroup->count(), 5);
        QCOMPARE(window.cboGroup->currentIndex(), 2); // the largest
        window.cboColumns->setCurrentIndex(0);
        QCOMPARE(window.grdStatistics->columnCount(), 3);

        // One sample: nothing to choose.
        QList<QStringList> one = batch().mid(0, 1);
        one << batch()[2];
        window.setRows(one, QString());
        QVERIFY(!window.cboColumns->isVisible());
    }

    void analysisExportNamesUnitsAndSeparatesOperatorAndSample() {
        const QList<QStringList> rows = batch();
        QList<QStringList> quoted{rows[0], rows[8]};
        quoted[0][15] = QStringLiteral("edge \"chipped\", kept");
        const QByteArray text =
            AnalysisExport::Text(QStringLiteral("/lab/B7.dat"), {{1, quoted[0]}, {9, quoted[1]}});
        const QStringList lines = QString::fromUtf8(text).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 4); // header, two rows, the empty rest after the last line end
        QVERIFY(lines[0].startsWith(
            QStringLiteral("data_file,row_number,specimen,total_load_N,glass_load_N,"
                           "stress_MPa,strain_percent,nominal_rate,nominal_rate_value,")));
        QVERIFY(lines[0].endsWith(
            QStringLiteral(",time_to_break_s,tested_at,comment,operator,sample,conditions")));
        QCOMPARE(lines[1],
                 QStringLiteral("/lab/B7.dat,1,1,61.1,61.1,5310,6.45,600 MPa/s,600,MPa/s,101,1,3.1,0.1,"
                                "600.1,0.2,12.1,2026-12-08T06:55:01,\"edge \"\"chipped\"\", kept\","
                                "Ann Lee,B7 preform 12,125 500 0 72 3 0.5N/100 26/12/08 06:50:00 "
                                "30.1mm/1.00"));
        QVERIFY(lines[2].contains(QStringLiteral(",3900 MPa,3900,MPa,")));
        QVERIFY(lines[2].contains(QStringLiteral(",Ann Lee,C1 spool 3,")));
        // Text beyond Windows-1252 stays as typed.
        QCOMPARE(AnalysisExport::Text(QString(), {{1, row(1, 5000, QStringLiteral("60 MPa/s"),
                                                          QStringLiteral("\u0141\u00f3d\u017a"))}})
                     .count("\xc5\x81\xc3\xb3\x64\xc5\xba"),
                 1);
    }
};

STAVELY_TEST(SampleStatisticsTest)
#include "SampleStatisticsTest.moc"
