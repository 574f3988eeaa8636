#include "experiments/LifetimeCharts.h"
#include "experiments/LifetimeAnswers.h"
#include "results/BatchReport.h"
#include "tests/support/TestRegistry.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

namespace {
LifetimeInputs proofInputs() {
    LifetimeInputs in;
    in.m.set(3, QStringLiteral("typed"));
    in.n.set(20, QStringLiteral("typed"));
    in.nLow.set(17, QStringLiteral("typed"));
    in.nHigh.set(24, QStringLiteral("typed"));
    in.proofStress.set(690, QStringLiteral("typed"));
    in.breaksPerKm.set(0.1, QStringLiteral("typed"));
    in.serviceStress.set(138, QStringLiteral("typed"));
    in.serviceYears.set(25, QStringLiteral("typed"));
    in.targetF.set(1e-5, QStringLiteral("typed"));
    in.FillDefaults();
    return in;
}
} // namespace

class LifetimeChartsTest : public QObject {
    Q_OBJECT
private slots:
    // The charts draw the model: each point is log10 of the model's answer, F rises with time and
    // stress, the allowed stress falls with time, and nothing below the lowest F is drawn.
    void chartsDrawTheModel() {
        const LifetimeInputs in = proofInputs();
        const ChartData f = LifetimeCharts::Failure(in);
        const QList<double> stresses = LifetimeCharts::Stresses(in);
        QCOMPARE(f.curveCount(), 4);
        QCOMPARE(stresses[1], 138.0);
        for (int c = 0; c < f.curveCount(); ++c) {
            const auto points = f.curvePoints(c);
            QVERIFY(points.size() > 10);
            for (qsizetype i = 0; i < points.size(); ++i) {
                const QPointF p = points[i].value;
                const double want =
                    std::log10(*LifetimeAnswers::FailureAt(in, stresses[c], std::pow(10.0, p.x())));
                QVERIFY(std::abs(p.y() - want) < 1e-9);
                QVERIFY(p.y() >= std::log10(LifetimeCharts::LowestF));
                if (i > 0)
                    QVERIFY(p.y() > points[i - 1].value.y());
            }
            if (c > 0)
                QVERIFY(f.curvePoints(c).back().value.y() > f.curvePoints(c - 1).back().value.y());
        }
        const auto allowed = LifetimeCharts::Allowed(in).curvePoints(0);
        QVERIFY(allowed.size() > 10);
        for (qsizetype i = 1; i < allowed.size(); ++i)
            QVERIFY(allowed[i].value.y() < allowed[i - 1].value.y());
    }

    // The lifetime page goes into the report after its charts, counted in its pages.
    void reportTakesTheLifetimePage() {
        QList<QStringList> rows;
        for (int i = 0; i < 5; ++i) {
            QStringList r(17);
            r[0] = QString::number(i + 1);
            r[3] = QString::number(4800 + 50 * i);
            r[5] = QStringLiteral("60 MPa/s");
            r[16] = QStringLiteral("125 500 0 72 3 0.5N/100 26/12/07 10:00:00 30.1mm/1.00");
            rows << r;
        }
        BatchReport report(QStringLiteral("batch.csv"), rows);
        const int before = report.PageCount();
        const LifetimeInputs in = proofInputs();
        int drawn = 0;
        report.addPage([&in, &drawn](QPainter& painter, const QRectF& page) {
            ++drawn;
            QVERIFY(page.width() > 0 && page.height() > 0);
            LifetimeCharts::DrawPage(painter, page, in);
        });
        QCOMPARE(report.PageCount(), before + 1);
        QTemporaryDir dir;
        QString error;
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        QVERIFY2(report.Write(path, &error), qPrintable(error));
        QCOMPARE(drawn, 1);
        QVERIFY(QFileInfo(path).size() > 1000);
    }
};

STAVELY_TEST(LifetimeChartsTest)
#include "LifetimeChartsTest.moc"
