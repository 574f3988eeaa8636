#include "results/BatchStatistics.h"

#include "results/Figures.h"
#include "results/StatisticsTexts.h"

#include <QHash>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace {
// "60 MPa/s" -> 60 and "MPa/s"; a text that does not start with a number has no value.
struct NominalRate {
    std::optional<double> value;
    QString unit;
};

NominalRate parseRate(const QString& text) {
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    NominalRate rate;
    if (blank < 0) {
        rate.unit = text;
        return rate;
    }
    rate.value = FieldNumber(text.left(blank));
    rate.unit = text.mid(blank + 1).trimmed();
    if (!rate.value)
        rate.unit = text;
    return rate;
}

const QString StressRateUnit = QStringLiteral("MPa/s");
const QString StrainRateUnit = QStringLiteral("%/min");
} // namespace

bool BatchStatistics::IsIgnored(QStringView comment) {
    return comment.trimmed().startsWith(QLatin1String("ignore"), Qt::CaseInsensitive);
}

std::optional<double> BatchStatistics::PositiveNumber(QStringView text) {
    const std::optional<double> v = FieldNumber(text);
    if (!v || !(*v > 0))
        return std::nullopt;
    return v;
}

bool BatchStatistics::PlausibleStress(double stress) {
    return stress >= MinStress && stress <= MaxStress;
}

bool BatchStatistics::PlausibleStrain(QStringView strain) {
    const std::optional<double> e = FieldNumber(strain);
    return !e || (*e > 0 && *e <= MaxStrain);
}

bool BatchStatistics::PlausibleRate(const QString& rate) {
    const NominalRate r = parseRate(rate);
    return !r.value || (*r.value >= MinRate && *r.value <= MaxRate);
}

BatchStatistics::BatchStatistics(const QList<QStringList>& rows) {
    Compute(int(rows.size()), [&rows](int r, int index) {
        const QStringList& row = rows[r];
        return index < row.size() ? row[index].trimmed() : QString();
    });
}

BatchStatistics::BatchStatistics(const std::vector<DataRow>& rows) {
    Compute(int(rows.size()),
            [&rows](int r, int index) { return rows[std::size_t(r)].field(index + 1).trimmed(); });
}

void BatchStatistics::Compute(int count, const FieldReader& field) {
    m_static = StaticStatistics(count, field);
    m_proof = ProofStatistics(count, field);
    QHash<QString, qsizetype> groupIndex;
    for (int r = 0; r < count; ++r) {
        const QString rate = field(r, RateField);
        if (StaticStatistics::IsStaticLevel(rate) || ProofStatistics::IsProofRow(field(r, CommentField)))
            continue;
        // A rate no test can have would make a group of its own and bend the fatigue line.
        if (!PlausibleRate(rate)) {
            ++m_all.impossible;
            continue;
        }
        qsizetype g = groupIndex.value(rate, -1);
        if (g < 0) {
            g = m_groups.size();
            groupIndex.insert(rate, g);
            GroupStatistics group;
            group.rate = rate;
            m_groups.append(group);
        }
        GroupStatistics& group = m_groups[g];
        if (IsIgnored(field(r, CommentField))) {
            ++group.ignored;
            ++m_all.ignored;
            m_leftOut.append({r, StatisticsTexts::MarkedIgnore(field(r, CommentField))});
            continue;
        }
        const std::optional<double> stress = PositiveNumber(field(r, StressField));
        if (!stress) {
            ++group.skipped;
            ++m_all.skipped;
            m_leftOut.append({r, StatisticsTexts::StressNotPositive});
            continue;
        }
        if (!PlausibleStress(*stress) || !PlausibleStrain(field(r, StrainField))) {
            ++group.impossible;
            ++m_all.impossible;
            continue;
        }
        group.stresses.append(*stress);
        group.rows.append(int(r));
        m_all.stresses.append(*stress);
        m_all.rows.append(int(r));
    }

    std::stable_sort(m_groups.begin(), m_groups.end(),
                     [](const GroupStatistics& a, const GroupStatistics& b) {
                         const NominalRate ra = parseRate(a.rate), rb = parseRate(b.rate);
                         if (ra.value.has_value() != rb.value.has_value())
                             return ra.value.has_value();
                         if (ra.unit != rb.unit)
                             return ra.unit < rb.unit;
                         return ra.value && *ra.value < *rb.value;
                     });

    Describe(m_all);
    QList<FatigueGroup> fatigueGroups;
    for (GroupStatistics& group : m_groups) {
        Describe(group);
        if (const std::optional<FatigueGroup> input = FatigueInput(group, field))
            fatigueGroups.append(*input);
    }
    if (fatigueGroups.size() >= 2)
        m_fatigue = FatigueFit::Fit(fatigueGroups);
}

void BatchStatistics::Describe(GroupStatistics& group) {
    const QList<double>& s = group.stresses;
    if (s.isEmpty())
        return;
    double sum = 0;
    for (double v : s)
        sum += v;
    const double mean = sum / double(s.size());
    group.mean = mean;
    group.median = Median(s);
    group.minimum = *std::min_element(s.begin(), s.end());
    group.maximum = *std::max_element(s.begin(), s.end());
    if (s.size() >= 2) {
        double squares = 0;
        for (double v : s)
            squares += (v - mean) * (v - mean);
        group.sd = std::sqrt(squares / double(s.size() - 1));
    }
    group.maximumLikelihood = Weibull::MaximumLikelihood(s);
    group.regression = Weibull::Regression(s);
}

std::optional<FatigueGroup> BatchStatistics::FatigueInput(const GroupStatistics& group,
                                                          const FieldReader& field) {
    const NominalRate rate = parseRate(group.rate);
    if (!rate.value || !(*rate.value > 0) || group.stresses.isEmpty())
        return std::nullopt;
    FatigueGroup input;
    input.rate = group.rate;
    input.medianStress = *group.median;
    input.specimens = group.specimens();
    if (rate.unit == StressRateUnit) {
        input.stressRate = *rate.value;
    } else if (rate.unit == StrainRateUnit) {
        // The stress rate that reaches the median break stress in the same time: the strain rate
        // times the secant modulus at the median break strain, E = Eo (1 + Ea e), from the
        // modulus the rows were tested with (fourth and fifth item of the parameter column).
        QList<double> strains, eo, ea;
        for (int r : group.rows) {
            if (const std::optional<double> e = FieldNumber(field(r, StrainField)))
                strains.append(*e);
            const QStringList items = field(r, ParametersField).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const std::optional<double> modulus = items.size() > 4 ? FieldNumber(items[3]) : std::nullopt;
            const std::optional<double> modulusA = items.size() > 4 ? FieldNumber(items[4]) : std::nullopt;
            if (modulus && modulusA && *modulus > 0) {
                eo.append(*modulus);
                ea.append(*modulusA);
            }
        }
        if (strains.isEmpty() || eo.isEmpty())
            return std::nullopt;
        const double secant = Median(eo) * 1000 * (1 + Median(ea) * Median(strains) / 100); // MPa
        input.stressRate = secant * *rate.value / 100 / 60;
        if (!(input.stressRate > 0))
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (group.stresses.size() >= 2) {
        double mean = 0;
        for (double s : group.stresses)
            mean += std::log(s);
        mean /= double(group.stresses.size());
        double squares = 0;
        for (double s : group.stresses)
            squares += (std::log(s) - mean) * (std::log(s) - mean);
        const double sd = std::sqrt(squares / double(group.stresses.size() - 1));
        // The median of n Weibull strengths has ln-variance 1 / (n (m ln 2)^2) (one over 4 n times the
        // squared density at the median), and sd(ln s) = pi / (sqrt 6 m) gives 1/m.
        input.logMedianError = 1.1248647085368122 * sd / std::sqrt(double(group.stresses.size()));
    }
    return input;
}

QList<LeftOutRow> BatchStatistics::LeftOut() const {
    QList<LeftOutRow> rows = m_leftOut + m_static.leftOut();
    std::stable_sort(rows.begin(), rows.end(),
                     [](const LeftOutRow& a, const LeftOutRow& b) { return a.row < b.row; });
    return rows;
}

QList<StatisticFigure> BatchStatistics::Figures(const GroupStatistics& g) {
    const auto& ml = g.maximumLikelihood;
    const auto& reg = g.regression;
    auto mlValue = [&ml](auto member) -> std::optional<double> {
        return ml ? std::optional<double>(member(*ml)) : std::nullopt;
    };
    QList<StatisticFigure> f;
    f.append({QStringLiteral("specimens"), QStringLiteral("Specimens"), g.specimens(), false, true, true});
    f.append({QStringLiteral("skipped"), QStringLiteral("Skipped (not a positive number)"), g.skipped, false,
              true, true});
    f.append({QStringLiteral("ignored"), QStringLiteral("Marked \"ignore\""), g.ignored, false, true, true});
    f.append({QStringLiteral("impossible"), QStringLiteral("Left out (physically impossible)"), g.impossible,
              false, true, true});
    f.append({QStringLiteral("mean_MPa"), QStringLiteral("Mean (MPa)"), g.mean, false, false, true});
    f.append(
        {QStringLiteral("sd_MPa"), QStringLiteral("Standard deviation (MPa)"), g.sd, false, false, true});
    f.append({QStringLiteral("median_MPa"), QStringLiteral("Median (MPa)"), g.median, false, false, true});
    f.append({QStringLiteral("min_MPa"), QStringLiteral("Minimum (MPa)"), g.minimum, false, false, true});
    f.append({QStringLiteral("max_MPa"), QStringLiteral("Maximum (MPa)"), g.maximum, false, false, true});
    f.append({QStringLiteral("weibull_m"), QStringLiteral("Weibull m (max. likelihood)"),
              mlValue([](const WeibullMaximumLikelihood& w) { return w.estimate.m; }), true, false, true});
    f.append({QStringLiteral("weibull_m_unbiased"), QStringLiteral("Weibull m (unbiased)"),
              ml ? ml->mUnbiased : std::nullopt, true, false, true});
    f.append({QStringLiteral("weibull_m_low"), QStringLiteral("  m, 90 % lower bound"),
              mlValue([](const WeibullMaximumLikelihood& w) { return w.mLow; }), true, false, true});
    f.append({QStringLiteral("weibull_m_high"), QStringLiteral("  m, 90 % upper bound"),
              mlValue([](const WeibullMaximumLikelihood& w) { return w.mHigh; }), true, false, true});
    f.append({QStringLiteral("weibull_sigma0_MPa"), QStringLiteral("\u03c30 (max. likelihood) (MPa)"),
              mlValue([](const WeibullMaximumLikelihood& w) { return w.estimate.sigma0; }), true, false,
              true});
    f.append({QStringLiteral("weibull_sigma0_low_MPa"), QStringLiteral("  \u03c30, 90 % lower bound (MPa)"),
              mlValue([](const WeibullMaximumLikelihood& w) { return w.sigma0Low; }), true, false, false});
    f.append({QStringLiteral("weibull_sigma0_high_MPa"), QStringLiteral("  \u03c30, 90 % upper bound (MPa)"),
              mlValue([](const WeibullMaximumLikelihood& w) { return w.sigma0High; }), true, false, false});
    f.append({QStringLiteral("weibull_m_regression"), QStringLiteral("Weibull m (median-rank regression)"),
              reg ? std::optional<double>(reg->m) : std::nullopt, true, false, true});
    f.append({QStringLiteral("weibull_sigma0_regression_MPa"),
              QStringLiteral("\u03c30 (median-rank regression) (MPa)"),
              reg ? std::optional<double>(reg->sigma0) : std::nullopt, true, false, true});
    // A figure that overflowed is no figure: it shows as missing, never as inf or nan.
    for (StatisticFigure& figure : f)
        if (figure.value && !std::isfinite(*figure.value))
            figure.value.reset();
    return f;
}

QString BatchStatistics::Number(double value) {
    return ShortestText(value);
}

QString BatchStatistics::ShortNumber(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    const QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    // The shortest form of what the 15 digits read back to: no trailing zeros, no needless exponent.
    bool ok = false;
    const double rounded = text.toDouble(&ok);
    return ok ? Number(rounded) : text;
}

QString BatchStatistics::GroupKey(const QString& rate) {
    QString key = rate.simplified();
    key.replace(QLatin1Char(' '), QLatin1Char('_'));
    return key;
}

int BatchStatistics::LargestGroup() const {
    int largest = -1;
    for (int g = 0; g < m_groups.size(); ++g)
        if (largest < 0 || m_groups[g].specimens() > m_groups[largest].specimens())
            largest = g;
    return largest;
}

int BatchStatistics::FatigueSmallGroups() const {
    if (!m_fatigue)
        return 0;
    int small = 0;
    for (const FatigueGroup& g : m_fatigue->groups)
        if (g.specimens < MinFatigueSpecimens)
            ++small;
    return small;
}

QString BatchStatistics::DisplayText(const StatisticFigure& figure) {
    if (!figure.value)
        return figure.weibull ? StatisticsTexts::NotEnoughData : QString();
    if (figure.count)
        return QString::number(qRound64(*figure.value));
    const bool modulus = figure.key.startsWith(QLatin1String("weibull_m"));
    return QString::number(*figure.value, 'f', modulus ? 2 : 1);
}

QString BatchStatistics::KeyValueText() const {
    QString text;
    auto add = [&text](const QString& prefix, const GroupStatistics& g) {
        for (const StatisticFigure& f : Figures(g))
            if (f.listed && f.value)
                text += prefix + f.key + QLatin1Char('\t') +
                        (f.count ? QString::number(qRound64(*f.value)) : ShortNumber(*f.value)) +
                        QLatin1Char('\n');
    };
    add(QString(), m_all);
    text += QStringLiteral("all_pooled\t") + QString::number(AllPooled() ? 1 : 0) + QLatin1Char('\n');
    if (m_fatigue) {
        text += QStringLiteral("fatigue_n\t") + ShortNumber(m_fatigue->n) + QLatin1Char('\n');
        if (m_fatigue->nError)
            text += QStringLiteral("fatigue_n_se\t") + ShortNumber(*m_fatigue->nError) + QLatin1Char('\n');
        text += QStringLiteral("fatigue_groups\t") + QString::number(m_fatigue->groups.size()) +
                QLatin1Char('\n');
        text += QStringLiteral("fatigue_small_groups\t") + QString::number(FatigueSmallGroups()) +
                QLatin1Char('\n');
        text += QStringLiteral("fatigue_determined\t") + QString::number(FatigueDetermined() ? 1 : 0) +
                QLatin1Char('\n');
    }
    for (const GroupStatistics& g : m_groups)
        add(GroupKey(g.rate) + QLatin1Char(':'), g);
    return text + m_static.KeyValueText() + m_proof.KeyValueText();
}

QString BatchStatistics::SummaryText() const {
    QString text = QString() + QLatin1Char('\t') + AllTitle();
    for (const GroupStatistics& g : m_groups)
        text += QLatin1Char('\t') + g.rate;
    text += QStringLiteral("\r\n");
    QList<QList<StatisticFigure>> columns{Figures(m_all)};
    for (const GroupStatistics& g : m_groups)
        columns.append(Figures(g));
    for (qsizetype i = 0; i < columns.front().size(); ++i) {
        text += columns.front()[i].label.trimmed();
        for (const QList<StatisticFigure>& c : columns) {
            const StatisticFigure& f = c[i];
            text += QLatin1Char('\t') + (f.value && !f.count ? Number(*f.value) : DisplayText(f));
        }
        text += QStringLiteral("\r\n");
    }
    if (m_fatigue) {
        text += QStringLiteral("Dynamic fatigue n\t") + Number(m_fatigue->n) + QStringLiteral("\r\n");
        text += QStringLiteral("Standard error of n\t") +
                (m_fatigue->nError ? Number(*m_fatigue->nError) : QString()) + QStringLiteral("\r\n");
        if (const QString caution = FatigueCaution(); !caution.isEmpty())
            text += QStringLiteral("Dynamic fatigue note\t") + caution.mid(3) + QStringLiteral("\r\n");
    }
    return text + m_static.SummaryText() + m_proof.SummaryText();
}

QString BatchStatistics::AllTitle() const {
    return AllPooled() ? StatisticsTexts::AllPooled : StatisticsTexts::AllRows;
}

QString BatchStatistics::PooledText() const {
    return AllPooled() ? StatisticsTexts::PooledNote.arg(m_groups.size()) : QString();
}

QString BatchStatistics::FatigueText() const {
    if (!m_fatigue)
        return StatisticsTexts::FatigueNone;
    const QString n = QString::number(m_fatigue->n, 'f', 1);
    const QString groups = QString::number(m_fatigue->groups.size());
    const QString line =
        m_fatigue->nError
            ? StatisticsTexts::FatigueLine.arg(n, QString::number(*m_fatigue->nError, 'f', 1), groups)
            : StatisticsTexts::FatigueLineNoError.arg(n, groups);
    QString text = line + FatigueCaution();
    const int small = FatigueSmallGroups();
    if (small > 0)
        text += StatisticsTexts::FatigueSmallGroups(small, MinFatigueSpecimens);
    return text;
}

double BatchStatistics::FatigueRateSpan() const {
    if (!m_fatigue || m_fatigue->groups.isEmpty())
        return 1;
    double low = m_fatigue->groups.front().stressRate, high = low;
    for (const FatigueGroup& g : m_fatigue->groups) {
        low = std::min(low, g.stressRate);
        high = std::max(high, g.stressRate);
    }
    return low > 0 ? high / low : 1;
}

bool BatchStatistics::FatigueDetermined() const {
    return m_fatigue && m_fatigue->groups.size() > 2 && FatigueRateSpan() >= 10;
}

QString BatchStatistics::FatigueCaution() const {
    if (!m_fatigue || FatigueDetermined())
        return {};
    return FatigueRateSpan() < 10 ? StatisticsTexts::FatigueNarrowRates : StatisticsTexts::FatigueTwoGroups;
}
