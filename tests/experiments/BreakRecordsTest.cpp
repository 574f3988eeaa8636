#include "experiments/BreakAnalysis.h"
#include "experiments/BreakProgress.h"
#include "experiments/Fiber.h"
#include "experiments/LoadTimeRecorder.h"
#include "params/Parameters.h"
#include "results/RowTitle.h"
#include "tests/support/ChartCompare.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QDir>
#include <QTest>
#include <cmath>

namespace {
// A recorder holding count samples of a pull at 50 MPa/s on a 125 um fiber.
void fill(LoadTimeRecorder& rec, int count) {
    for (int k = 1; k <= count; ++k) {
        rec.LtPosition(k) = 100 * k;
        rec.LtTime(k) = 0.25 * k;
        rec.LtLoad(k) = 0.0613 * k;
        rec.LtStress(k) = 5.0 * k;
        rec.LtStrain(k) = 0.007 * k;
        rec.LtSpeed(k) = k == count ? 0 : 400;
    }
}
} // namespace

// What a recorded break leaves for later: the record file that brings its plots back, the file's name
// from the row, the notes of the conditions text, and the time a typical break takes.
class BreakRecordsTest : public QObject {
    Q_OBJECT
private slots:
    void expectedTimeToATypicalBreak() {
        Parameters p; // 125 um, 72 GPa, modulus correction 3
        ScriptedOperator op;
        Fiber fiber(p, op);
        struct Case {
            int exptType;
            double rate, breakStress, startStress;
            std::optional<double> seconds;
        };
        const double strainAt5000 = 100 * (std::sqrt(1 + 4 * 3 * 5000 / 72000.0) - 1) / 2 / 3;
        const QList<Case> cases{
            {1, 60, 5000, 0, 5000 / 60.0},   {1, 600, 5000, 81.5, (5000 - 81.5) / 600},
            {1, 6, 4200, 0, 700.0},          {2, 50, 5000, 0, strainAt5000 / (50 / 60.0)},
            {0, 100, 5000, 0, std::nullopt}, // a speed run has no typical time
            {1, 0, 5000, 0, std::nullopt},   // nor a rate of nothing
            {1, 60, 50, 80, std::nullopt},   // nor a break below the preload
            {1, 60, NAN, 0, std::nullopt},
        };
        for (const Case& c : cases) {
            const std::optional<double> seconds =
                BreakProgress::ExpectedSeconds(c.exptType, c.rate, c.breakStress, c.startStress, fiber);
            QCOMPARE(seconds.has_value(), c.seconds.has_value());
            if (c.seconds)
                QVERIFY2(std::abs(*seconds - *c.seconds) < 1e-3 * *c.seconds,
                         qPrintable(QString::number(*seconds) + QStringLiteral(" for ") +
                                    QString::number(c.rate)));
        }
        // A speed run stretches the gauge length at the capstans' speed: 5000 µm/s over 500 mm is
        // 60 %/min, the strain-rate case's time at that rate; no length, no estimate.
        const std::optional<double> speed = BreakProgress::ExpectedSpeedSeconds(5000, 500, 5000, 0, fiber);
        QVERIFY(speed.has_value());
        QVERIFY(std::abs(*speed - strainAt5000 / 1.0) < 1e-3 * *speed);
        QVERIFY(!BreakProgress::ExpectedSpeedSeconds(5000, 0, 5000, 0, fiber));
        QVERIFY(!BreakProgress::ExpectedSpeedSeconds(0, 500, 5000, 0, fiber));
        QVERIFY(op.prompts.isEmpty()); // an estimate never warns the operator
    }

    // The .dat text written after a break reads back into the same three charts, with the stretch of
    // the rate fit in its own curve, wherever that stretch lies.
    void recordFileReadsBackIntoThePlots() {
        struct Case {
            int count, rateStart, breakIndex, exptType;
        };
        for (const Case& c : QList<Case>{{40, 25, 38, 1}, {40, 1, 40, 2}, {12, 3, 12, 0}, {30, 10, 20, 1}}) {
            LoadTimeRecorder rec;
            fill(rec, c.count);
            BreakResult r;
            r.LtCount = c.count;
            r.RateStartIndex = c.rateStart;
            r.BreakIndex = c.breakIndex;
            const LoadTimePlotData made = BreakAnalysis::Plots(rec, r, c.exptType);
            // As the plot window writes it: the text and a line end.
            const std::optional<LoadTimePlotData> read =
                BreakAnalysis::PlotsFromDataText(made.dataText + QStringLiteral("\r\n"), c.exptType);
            QVERIFY(read.has_value());
            QCOMPARE(read->captions, made.captions);
            // The numbers are written to 15 significant digits: the charts come back equal to that.
            for (size_t i = 0; i < 3; ++i)
                QVERIFY(sameWithin15Digits(read->charts[i], made.charts[i]));
            QCOMPARE(read->charts[0].curvePoints(0).size(), c.breakIndex - c.rateStart + 1);
            QVERIFY(read->basePath.isEmpty());
        }
        // Anything else is not a record.
        for (const QString& text :
             {QString(), QStringLiteral("N,Lt (N),Lf (N)\r\n1,2,3\r\n"),
              QStringLiteral(
                  "position (\u00b5m)\ttime (s)\tload (N)\tstress (MPa)\tstrain (%)\tspeed (\u00b5m/s)\r\n"),
              QStringLiteral("position (\u00b5m)\ttime (s)\tload (N)\tstress (MPa)\tstrain (%)\tspeed "
                             "(\u00b5m/s)\r\n1\t2\tthree\t4\t5\t6\r\n")})
            QVERIFY2(!BreakAnalysis::PlotsFromDataText(text, 1), qPrintable(text));
    }

    void rowNamesItsRecordFileAndRate() {
        QStringList fields(17);
        fields[0] = QStringLiteral("7");
        fields[5] = QStringLiteral("60 MPa/s");
        fields[13] = QStringLiteral("08/12/23");
        fields[14] = QStringLiteral("14:15:02");
        const QString data = QDir::temp().filePath(QStringLiteral("run1.csv"));
        QCOMPARE(BreakAnalysis::RowDataFile(data, fields),
                 QDir::temp().filePath(QStringLiteral("20081223_141502_007.dat")));
        fields[13] = QStringLiteral("not a date");
        QVERIFY(BreakAnalysis::RowDataFile(data, fields).isEmpty());
        QVERIFY(BreakAnalysis::RowDataFile(QString(), fields).isEmpty());

        const QList<QPair<QString, int>> rates{{QStringLiteral("250 \u00b5m/s"), 0},
                                               {QStringLiteral("0.6 MPa/s"), 1},
                                               {QStringLiteral("5 %/min"), 2},
                                               {QStringLiteral("2 N"), 3},
                                               {QString(), 3}};
        for (const auto& [rate, type] : rates)
            QCOMPARE(BreakAnalysis::ExptTypeOfRate(rate), type);
    }

    // Operator and sample follow the fixed items as one item each, whatever they are typed as.
    void conditionsNotesStayOneItemEach() {
        const QList<std::array<QString, 3>> cases{
            {QString(), QString(), QString()},
            {QStringLiteral("Jane Doe"), QString(), QStringLiteral(" operator:Jane_Doe")},
            {QString(), QStringLiteral("B-17"), QStringLiteral(" sample:B-17")},
            {QStringLiteral(" ann "), QStringLiteral("lot 4, \"reel\" 2"),
             QStringLiteral(" operator:ann sample:lot_4%2C_%22reel%22_2")},
            {QString(), QStringLiteral("B7 preform 12  spool 3, 50%_x"),
             QStringLiteral(" sample:B7_preform_12__spool_3%2C_50%25%5Fx")},
        };
        for (const auto& [name, sample, notes] : cases) {
            QCOMPARE(BreakAnalysis::ConditionsNotes(name, sample), notes);
            // Read back as typed, whatever a reader of the conditions text splits it by.
            const QString conditions =
                QStringLiteral("125 500 0 72 3 0N/0 26/12/08 06:51:07 31.2mm/1.00") + notes;
            QCOMPARE(RowTitle::Note(conditions, QStringLiteral("sample:")), sample.trimmed());
            QCOMPARE(RowTitle::Note(conditions, QStringLiteral("operator:")), name.trimmed());
            QVERIFY(!notes.contains(QLatin1Char(',')) && !notes.contains(QLatin1Char('"')));
        }
    }
};

STAVELY_TEST(BreakRecordsTest)
#include "BreakRecordsTest.moc"
