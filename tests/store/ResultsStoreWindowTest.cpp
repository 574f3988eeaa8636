#include "params/SettingsStore.h"
#include "results/BatchReport.h"
#include "results/BatchStatistics.h"
#include "results/frmStatistics.h"
#include "store/frmResultsStore.h"
#include "tests/store/StoreRig.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QMap>
#include <QScatterSeries>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <set>

// The "Results store" window over a store of results tested on several days: what it finds, the
// curve of a chosen result, and a trend axis that names each day once.
class ResultsStoreWindowTest : public QObject {
    Q_OBJECT
private slots:
    void trendDaysAreLabelledOnce_data() {
        QTest::addColumn<QList<int>>("days"); // after 2026-12-07, three results a day
        QTest::newRow("one day") << QList<int>{0};
        QTest::newRow("three days") << QList<int>{0, 1, 2};
        QTest::newRow("two weeks") << QList<int>{0, 5, 13};
    }
    void trendDaysAreLabelledOnce() {
        QFETCH(QList<int>, days);
        StoreRig rig;
        {
            ResultsDatabase db;
            QVERIFY(db.open(rig.storePath));
            const QString file = rig.dataFile(QStringLiteral("run.dat"), 0);
            int n = 0;
            for (const int day : days)
                for (int k = 0; k < 3; ++k) {
                    StoredResult r;
                    r.uuid = QStringLiteral("u%1").arg(++n);
                    r.dataFile = file;
                    r.rowNumber = n;
                    r.fields = SheetRig::result(n);
                    r.fields[3] = QString::number(4700 + 50 * n);
                    r.fields[13] = QDate(2026, 12, 7).addDays(day).toString(QStringLiteral("yy/MM/dd"));
                    r.origin = QStringLiteral("test");
                    r.context.sample = QStringLiteral("B7");
                    for (int t = 0; t <= 60; ++t)
                        r.record +=
                            QStringLiteral("%1\t%2\t%3\t0\t0\t500\r\n").arg(t * 50).arg(t * 0.1).arg(t);
                    QVERIFY2(db.addResult(r), qPrintable(db.error()));
                }
        }
        frmResultsStore window(rig.storePath);
        QCOMPARE(window.Search(), 3 * int(days.size()));
        window.txtSample->setText(QStringLiteral("C1"));
        QCOMPARE(window.Search(), 0);
        window.txtSample->setText(QStringLiteral("B7"));
        QCOMPARE(window.Search(), 3 * int(days.size()));

        const QList<QAbstractAxis*> axes = window.chtTrend->chart()->axes(Qt::Horizontal);
        QCOMPARE(axes.size(), 1);
        const auto* time = qobject_cast<QDateTimeAxis*>(axes[0]);
        QVERIFY(time);
        const int ticks = time->tickCount();
        QVERIFY2(ticks >= 2 && ticks <= 9, qPrintable(QString::number(ticks)));
        std::set<QString> labels;
        const qint64 from = time->min().toMSecsSinceEpoch();
        const qint64 span = time->max().toMSecsSinceEpoch() - from;
        for (int i = 0; i < ticks; ++i)
            labels.insert(
                QDateTime::fromMSecsSinceEpoch(from + span * i / (ticks - 1)).toString(time->format()));
        QCOMPARE(int(labels.size()), ticks);
        QVERIFY(*labels.begin() <= QStringLiteral("2026-12-07"));
        QVERIFY(*labels.rbegin() >= QDate(2026, 12, 7).addDays(days.last()).toString(Qt::ISODate));

        // A result chosen shows its load/time curve.
        window.grdFound->selectRow(1);
        const QList<QAbstractSeries*> curve = window.chtCurve->chart()->series();
        QCOMPARE(curve.size(), 1);
        QCOMPARE(qobject_cast<QLineSeries*>(curve[0])->count(), 61);
    }

    // A lab's day in one data file: pulls at 600 and 60 MPa/s and 50 %/min, a stopped pull marked
    // "ignore", four static holds with a run-out, and a second sample. The trend gives one point per
    // sample and rate, never a hold, and each of its figures is the statistics window's own.
    void trendAgreesWithTheStatisticsWindow() {
        struct Row {
            const char* sample;
            const char* rate;
            double stress;
            const char* comment;
            double time;
        };
        const QList<Row> day{
            {"B7 preform 12  spool 3", "600 MPa/s", 5610, "", 9.4},
            {"B7 preform 12  spool 3", "600 MPa/s", 5535, "", 9.2},
            {"B7 preform 12  spool 3", "600 MPa/s", 5702, "", 9.5},
            {"B7 preform 12  spool 3", "600 MPa/s", 5480, "", 9.1},
            {"B7 preform 12  spool 3", "600 MPa/s", 5655, "", 9.4},
            {"B7 preform 12  spool 3", "60 MPa/s", 5012, "", 83.5},
            {"B7 preform 12  spool 3", "60 MPa/s", 4890, "", 81.5},
            {"B7 preform 12  spool 3", "60 MPa/s", 5120, "", 85.3},
            {"B7 preform 12  spool 3", "60 MPa/s", 2210, "ignore: stopped by hand", 36.8},
            {"B7 preform 12  spool 3", "50 %/min", 5240, "", 7.9},
            {"B7 preform 12  spool 3", "50 %/min", 5315, "", 8.0},
            {"B7 preform 12  spool 3", "50 %/min", 5190, "", 7.8},
            {"B7 preform 12  spool 3", "3000 MPa", 3000, "", 41.2},
            {"B7 preform 12  spool 3", "3000 MPa", 3000, "", 55.0},
            {"B7 preform 12  spool 3", "2800 MPa", 2800, "", 380.5},
            {"B7 preform 12  spool 3", "2800 MPa", 2800, "runout", 3600},
            // Rows read from a data file: the sample from its conditions text, as it was typed.
            {"", "600 MPa/s", 5820, "", 9.7},
            {"", "600 MPa/s", 5790, "", 9.6},
        };
        StoreRig rig;
        QList<QStringList> b7;
        {
            ResultsDatabase db;
            QVERIFY(db.open(rig.storePath));
            const QString file = rig.dataFile(QStringLiteral("day.dat"), 0);
            for (int n = 1; n <= day.size(); ++n) {
                const Row& row = day[n - 1];
                StoredResult r;
                r.uuid = QStringLiteral("u%1").arg(n);
                r.dataFile = file;
                r.rowNumber = n;
                r.fields = SheetRig::result(n, QString::fromUtf8(row.comment));
                r.fields[3] = QString::number(row.stress, 'f', 1);
                r.fields[4] = QString::number(row.stress / 760, 'f', 2);
                r.fields[5] = QString::fromUtf8(row.rate);
                r.fields[12] = QString::number(row.time, 'f', 1);
                r.fields[13] = QStringLiteral("26/12/08");
                r.origin = QStringLiteral("test");
                r.context.sample = QString::fromUtf8(row.sample);
                if (r.context.sample.isEmpty())
                    r.fields[16] += QStringLiteral(" operator:Ann_Lee sample:C1%2C_reel_2");
                QVERIFY2(db.addResult(r), qPrintable(db.error()));
                if (!r.context.sample.isEmpty())
                    b7 << r.fields;
            }
        }
        frmResultsStore store(rig.storePath);
        QCOMPARE(store.Search(), int(day.size()));
        QTemporaryDir dir;
        SettingsStore settings(dir.filePath(QStringLiteral("s.ini")));
        ScriptedOperator op;
        frmStatistics statistics(op, settings);
        statistics.setRows(b7, QString());
        const BatchStatistics& stats = statistics.report().statistics();

        // Every median series of the trend: its sample and rate, one point on the day.
        QMap<QString, double> medians, moduli;
        for (QAbstractSeries* series : store.chtTrend->chart()->series()) {
            const auto* xy = qobject_cast<QXYSeries*>(series);
            QVERIFY(xy && xy->count() == 1);
            (qobject_cast<QScatterSeries*>(series) ? moduli : medians).insert(series->name(), xy->at(0).y());
        }
        const QString sample = QStringLiteral(" \u00b7 B7 preform 12  spool 3");
        QCOMPARE(medians.keys(),
                 (QStringList{QStringLiteral("50 %/min") + sample, QStringLiteral("60 MPa/s") + sample,
                              QStringLiteral("600 MPa/s") + sample,
                              QStringLiteral("600 MPa/s \u00b7 C1, reel 2")}));
        QVERIFY2(store.chtTrend->chart()->title().contains(QStringLiteral("4 static hold rows left out")),
                 qPrintable(store.chtTrend->chart()->title()));
        // The figures the two windows share, as the statistics window shows them.
        QTableWidget* grid = statistics.grdStatistics;
        auto cell = [grid](const QString& label, const QString& column) {
            int r = -1, c = -1;
            for (int i = 0; i < grid->rowCount(); ++i)
                if (grid->verticalHeaderItem(i)->text() == label)
                    r = i;
            for (int i = 0; i < grid->columnCount(); ++i)
                if (grid->horizontalHeaderItem(i)->text() == column)
                    c = i;
            return r < 0 || c < 0 ? QStringLiteral("missing") : grid->item(r, c)->text();
        };
        QCOMPARE(stats.groups().size(), 3);
        for (const GroupStatistics& g : stats.groups()) {
            const QString name = g.rate + sample;
            QCOMPARE(medians.value(name), *g.median);
            QCOMPARE(QString::number(medians.value(name), 'f', 1),
                     cell(QStringLiteral("Median (MPa)"), g.rate));
            QVERIFY(g.maximumLikelihood);
            QCOMPARE(moduli.value(name + QStringLiteral(" \u00b7 m")), g.maximumLikelihood->estimate.m);
            QCOMPARE(QString::number(moduli.value(name + QStringLiteral(" \u00b7 m")), 'f', 2),
                     cell(QStringLiteral("Weibull m (max. likelihood)"), g.rate));
        }
        // The stopped pull is marked "ignore" in both: 60 MPa/s has three strengths, not four.
        QCOMPARE(cell(QStringLiteral("Specimens"), QStringLiteral("60 MPa/s")), QStringLiteral("3"));
        QCOMPARE(statistics.grdStatistics->horizontalHeaderItem(0)->text(), QStringLiteral("All (pooled)"));
    }
};

STAVELY_TEST(ResultsStoreWindowTest)
#include "ResultsStoreWindowTest.moc"
