#pragma once

#include "results/WeibullEstimate.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// A row the statistics leave out, and why.
struct LeftOutRow {
    int row = 0; // index in the rows given
    QString reason;
};

// The rows of one static level (one hold load, stress or strain, as column 6 gives it).
struct StaticLevel {
    QString level;                          // column 6, e.g. "1500 MPa"
    std::optional<double> stress;           // MPa the level holds the glass at
    int breaks = 0, runouts = 0;            // usable rows
    int skipped = 0, ignored = 0;           // time not a positive number; comment starting with "ignore"
    QList<double> times;                    // s: time to failure, or the hold time of a run-out
    QList<bool> broke;                      // false for a run-out
    QList<int> rows;                        // their indices in the rows given
    std::optional<double> median;           // Kaplan-Meier median time to failure, s
    std::optional<WeibullEstimate> weibull; // m and the characteristic time (s) in sigma0
};

// ln(median time to failure) = slope ln(stress) + c over the levels; n_s = -slope.
struct StaticFatigueFit {
    double n = 0;
    std::optional<double> nError; // the slope's standard error; none from two levels
    double slope = 0, intercept = 0;
    int levels = 0;
    int fewBreaks = 0; // levels of the fit with fewer than MinBreaksPerLevel breaks
};

// Static fatigue statistics of result rows (the 17 fields of columns 1 to 17): the rows of static
// tests, whose column 6 holds a level in N, MPa or %, grouped by it. A row whose comment starts with
// "runout" held without breaking for the time in column 13: it is a right-censored time, never a
// break and never left out.
class StaticStatistics {
public:
    StaticStatistics() = default;
    explicit StaticStatistics(const QList<QStringList>& rows);
    // Field index (0 to 16, columns 1 to 17) of a row, as the caller keeps its rows.
    using FieldReader = std::function<QString(int row, int index)>;
    StaticStatistics(int count, const FieldReader& field);

    // Whether a column 6 text is a static level rather than a rate.
    static bool IsStaticLevel(QStringView text);
    static bool IsRunout(QStringView comment);

    // Kaplan-Meier median: the first time at which the estimated survival falls to one half or
    // below (halfway to the next break when it is exactly one half there); none when it never does.
    static std::optional<double> KaplanMeierMedian(const QList<double>& times, const QList<bool>& broke);
    // Weibull fit of times to failure by maximum likelihood with right-censored run-outs; needs a
    // break and a time longer than the mean log time of the breaks.
    static std::optional<WeibullEstimate> CensoredWeibull(const QList<double>& times,
                                                          const QList<bool>& broke);

    // Ordered by unit, then by value.
    const QList<StaticLevel>& levels() const { return m_levels; }
    const std::optional<StaticFatigueFit>& fatigue() const { return m_fatigue; }
    bool isEmpty() const { return m_levels.isEmpty(); }
    // The static rows left out (skipped or marked "ignore") with their reasons, in row order.
    const QList<LeftOutRow>& leftOut() const { return m_leftOut; }

    // "static_n", "static_n_se", then per level "<level>:breaks", ":runouts", ":skipped", ":ignored",
    // ":stress_MPa", ":median_s", ":weibull_m", ":weibull_t0_s", the level with underscores for blanks
    // ("3900_MPa:median_s"); numbers to 15 significant digits, times to the millisecond.
    QString KeyValueText() const;
    // The table as tab-separated lines, then n_s.
    QString SummaryText() const;
    // The line under the table, with the note that says when n means little or nothing.
    QString FatigueText() const;
    // n must be positive: a time to failure that grows with the stress is no fatigue of glass.
    bool FatigueDetermined() const;
    // The note that goes after n ("not determined", "uncertain"); empty when there is none.
    QString FatigueCaution() const;
    // Fewer breaks than this leave a level's median to one or no break.
    static constexpr int MinBreaksPerLevel = 2;

    // A time in seconds rounded to the millisecond it was measured in.
    static double Milliseconds(double seconds);

    static constexpr int StressField = 3, RateField = 5, TimeField = 12, CommentField = 15;
    // Share of its level a run-out's measured value must reach to count as having held it.
    static constexpr double HeldShare = 0.9;

private:
    void add(int row, const FieldReader& field);
    QList<StaticLevel> m_levels;
    QList<LeftOutRow> m_leftOut;
    std::optional<StaticFatigueFit> m_fatigue;
};
