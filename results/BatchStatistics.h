#pragma once

#include "results/DataRow.h"
#include "results/FatigueFit.h"
#include "results/ProofStatistics.h"
#include "results/StaticStatistics.h"
#include "results/WeibullEstimate.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// The break stresses of one nominal-rate group (or of the whole batch) and what they give.
struct GroupStatistics {
    QString rate;           // the nominal rate text; empty for the whole batch
    int skipped = 0;        // stress not a positive number
    int ignored = 0;        // comment starting with "ignore"
    int impossible = 0;     // stress, strain or rate no glass fiber can have (see Plausible*)
    QList<double> stresses; // the usable ones, in row order
    QList<int> rows;        // their indices in the rows given
    std::optional<double> mean, sd, median, minimum, maximum;
    std::optional<WeibullMaximumLikelihood> maximumLikelihood;
    std::optional<WeibullEstimate> regression;

    int specimens() const { return int(stresses.size()); }
};

// One figure of a group, in the order the window, the copy and the report show them.
struct StatisticFigure {
    QString key;   // the key of the headless output
    QString label; // what the window shows
    std::optional<double> value;
    bool weibull = false; // missing reads "not enough data"
    bool count = false;   // a whole number
    bool listed = true;   // part of the headless output
};

// Strength statistics of a batch of result rows, each given as the 17 fields of columns 1 to 17:
// break stress from column 4, grouped by the nominal rate text of column 6, rows whose comment
// (column 16) starts with "ignore" left out.
class BatchStatistics {
public:
    BatchStatistics() = default;
    explicit BatchStatistics(const QList<QStringList>& rows);
    // The datasheet's rows as they are, without copying their fields.
    explicit BatchStatistics(const std::vector<DataRow>& rows);

    const GroupStatistics& all() const { return m_all; }
    // The whole batch pools more than one rate group: its figures mix strengths the rates set apart.
    bool AllPooled() const { return m_groups.size() > 1; }
    // The whole batch's column title: "All", or "All (pooled)" where it pools rates.
    QString AllTitle() const;
    // The line that says what a pooled column means; empty when it pools nothing.
    QString PooledText() const;
    // Ordered by the rate's unit, then by its value.
    const QList<GroupStatistics>& groups() const { return m_groups; }
    const std::optional<FatigueFit>& fatigue() const { return m_fatigue; }
    // Index in groups() of the group with the most usable specimens (the first of equals); -1 when
    // there are no groups.
    int LargestGroup() const;
    // The rows of static tests, which the strength figures leave out: their stress is the level
    // they held, not a strength.
    const StaticStatistics& statics() const { return m_static; }
    // The rows of proof tests, which the strength groups leave out as well.
    const ProofStatistics& proof() const { return m_proof; }
    // Every row left out of the strength and the static figures with its reason, in row order.
    QList<LeftOutRow> LeftOut() const;

    static QList<StatisticFigure> Figures(const GroupStatistics& group);

    // One "key<TAB>value" line per figure: the whole batch, the fatigue fit, then each group with its
    // rate text and a colon in front of its keys, then the static figures. Figures that cannot be
    // given are left out.
    QString KeyValueText() const;
    // The summary table as tab-separated lines (full precision), then the fatigue figures.
    QString SummaryText() const;

    // C-locale shortest text that reads back to the same double.
    static QString Number(double value);
    // C-locale shortest text of the value to 15 significant digits, the most a double always keeps:
    // a mean that lands beside a decimal (4725.139999999999) reads as that decimal (4725.14).
    static QString ShortNumber(double value);
    // Key text of a group: its rate with blanks as underscores ("60_MPa/s"), one word for scripts.
    static QString GroupKey(const QString& rate);
    // Fatigue groups with fewer than MinFatigueSpecimens specimens: their medians make n uncertain.
    int FatigueSmallGroups() const;
    static constexpr int MinFatigueSpecimens = 3;
    // The highest stress rate of the fatigue groups over the lowest (1 without a fit).
    double FatigueRateSpan() const;
    // Three or more groups whose rates span a decade or more: with fewer, or closer rates, the slope
    // is left to the scatter of the medians and n means nothing.
    bool FatigueDetermined() const;
    // The warning that goes after n when it is not determined; empty when it is.
    QString FatigueCaution() const;
    // As the window shows it: counts whole, stresses to 0.1 MPa, moduli to 0.01.
    static QString DisplayText(const StatisticFigure& figure);
    // The dynamic fatigue line under the table.
    QString FatigueText() const;

    static bool IsIgnored(QStringView comment);
    static std::optional<double> PositiveNumber(QStringView text);

    // What a glass fiber can show at its break. Silica's theoretical strength is about 20 GPa and
    // its breaking strain about 20 %: a stress outside 1 MPa to 30 GPa, or a strain given as a
    // number that is not above 0 and at most 30 %, is a fault of the row, not a strength. A rate
    // (MPa/s, %/min or µm/s) outside 1e-9 to 1e6 is none the instrument can hold or a fiber could
    // break at in a lifetime. Rows failing them are left out and counted as "impossible"; a rate
    // text that does not start with a number passes (it names no rate to check).
    static constexpr double MinStress = 1, MaxStress = 30000, MaxStrain = 30, MinRate = 1e-9, MaxRate = 1e6;
    static bool PlausibleStress(double stress);
    static bool PlausibleStrain(QStringView strain);
    static bool PlausibleRate(const QString& rate);

    static constexpr int StressField = 3, StrainField = 4, RateField = 5, CommentField = 15,
                         ParametersField = 16;

private:
    // Field 0 to 16 (columns 1 to 17) of a row, trimmed.
    using FieldReader = std::function<QString(int row, int index)>;
    void Compute(int count, const FieldReader& field);
    static void Describe(GroupStatistics& group);
    static std::optional<FatigueGroup> FatigueInput(const GroupStatistics& group, const FieldReader& field);

    QList<LeftOutRow> m_leftOut;
    GroupStatistics m_all;
    QList<GroupStatistics> m_groups;
    std::optional<FatigueFit> m_fatigue;
    StaticStatistics m_static;
    ProofStatistics m_proof;
};
