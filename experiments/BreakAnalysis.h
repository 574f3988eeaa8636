#pragma once

#include "results/LoadTimePlotData.h"

#include <QDateTime>
#include <QStringList>
#include <optional>

class Fiber;
class LoadTimeRecorder;
class Operator;
struct Parameters;

// What the analysis of a break found. Indices count from 1, as the recorder's slots do.
struct BreakResult {
    int LtCount = 0;
    int BreakIndex = 0;
    int RateStartIndex = 0;
    double BreakLoad = 0;                     // glass load, N
    double SpeedRate = 0, SpeedRateErr = 0;   // µm/s
    double StrainRate = 0, StrainRateErr = 0; // %/min
    double StressRate = 0, StressRateErr = 0; // MPa/s
    bool tooFewPoints = false;                // the "RATES SET TO ZERO" case
};

// How the run was set up, for the conditions column of the result row.
struct BreakConditions {
    QDateTime RunStart;
    double PreloadForce = 0; // N
    double PreloadSpeed = 0; // µm/s
    qint32 EndPosition = 0;  // steps at the end of the pull
};

// The analysis of a reported break: orders the recorded samples, turns loads into glass load, stress
// and strain, finds the break and fits the rates over the last part of the load rise; then the
// result row, the charts and the load/time data text.
class BreakAnalysis {
public:
    BreakAnalysis(Parameters& params, Fiber& fiber, Operator& op);

    // Rearranges the recorder in place (sorted by time, relative times, glass loads); warns when
    // too few points are left for the rates.
    BreakResult Analyse(LoadTimeRecorder& rec);

    // The 17 fields of the result row (columns 1 to 17); the specimen number is the one given.
    QStringList ResultFields(const LoadTimeRecorder& rec, const BreakResult& r, const BreakConditions& c,
                             qint32 specimen, const QDateTime& breakMoment);

    // Column 6: the set rate, or for a static test the level it holds, with its unit.
    static QString SetRateText(const Parameters& params);

    // The three charts of the plot window for the experiment type.
    // What the conditions text of column 17 carries after its fixed items: " operator:<name>" and
    // " sample:<name>" for those given, blanks and separators as underscores.
    static QString ConditionsNotes(const QString& operatorName, const QString& sample);
    // The plots of a load/time record file written after an earlier break; nothing when the text
    // is not such a record.
    static std::optional<LoadTimePlotData> PlotsFromDataText(const QString& text, int exptType);
    // The rate mode of a nominal rate text of column 6 (3 when it is none of the three rates).
    static int ExptTypeOfRate(const QString& nominalRate);
    // Where the load/time record file of a result row (its 17 fields) lies beside the data file;
    // empty when the row does not name its specimen and break moment.
    static QString RowDataFile(const QString& dataFileName, const QStringList& fields);
    static LoadTimePlotData Plots(const LoadTimeRecorder& rec, const BreakResult& r, int exptType);
    // The load/time data text: header, one line per sample, blank lines around the analysed stretch.
    static QString DataString(const LoadTimeRecorder& rec, const BreakResult& r);

    // Run start plus the time of the break in whole seconds (halves to even).
    // Columns 7 to 12: speed (µm/s), strain rate (%/min) and stress rate (MPa/s) with their standard
    // errors, fitted to the samples first to last (left at 0 with fewer than two).
    static void FitRates(const LoadTimeRecorder& rec, int first, int last, double micronsPerStep,
                         BreakResult& r);
    static QDateTime BreakMoment(const QDateTime& runStart, double breakSeconds);
    // "yyyymmdd_hhmmss_nnn".
    static QString FileBaseName(const QDateTime& moment, qint32 specimen);
    // n decimals, then cut to w characters without cutting into the integer part.
    static QString CutDecimals(double value, int decimals, int width);

private:
    Parameters& m_params;
    Fiber& m_fiber;
    Operator& m_op;
};
