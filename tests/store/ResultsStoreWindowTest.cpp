#include "store/frmResultsStore.h"
#include "tests/store/StoreRig.h"
#include "tests/support/TestRegistry.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QTableView>
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
};

STAVELY_TEST(ResultsStoreWindowTest)
#include "ResultsStoreWindowTest.moc"
