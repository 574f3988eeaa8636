#include "results/StaticStatistics.h"

#include "results/BatchStatistics.h"
#include "results/Figures.h"
#include "results/LineFit.h"
#include "results/StatisticsTexts.h"

#include <QHash>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace {
struct Level {
    std::optional<double> value;
    QString unit;
};

Level parseLevel(QStringView text) {
    const QStringView t = text.trimmed();
    const qsizetype blank = t.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return {std::nullopt, t.toString()};
    return {FieldNumber(t.left(blank)), t.mid(blank + 1).trimmed().toString()};
}

} // namespace

bool StaticStatistics::IsStaticLevel(QStringView text) {
    const Level level = parseLevel(text);
    return level.value && (level.unit == QLatin1String("N") || level.unit == QLatin1String("MPa") ||
                           level.unit == QLatin1String("%"));
}

bool StaticStatistics::IsRunout(QStringView comment) {
    return comment.trimmed().startsWith(QLatin1String("runout"), Qt::CaseInsensitive);
}

std::optional<double> StaticStatistics::KaplanMeierMedian(const QList<double>& times,
                                                          const QList<bool>& broke) {
    std::vector<qsizetype> order(size_t(times.size()));
    std::iota(order.begin(), order.end(), 0);
    // At equal times the breaks come first: a run-out at that time was still at risk.
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return times[a] != times[b] ? times[a] < times[b] : broke[a] && !broke[b];
    });
    double survival = 1;
    auto atRisk = double(order.size());
    for (size_t i = 0; i < order.size();) {
        const double t = times[order[i]];
        int deaths = 0, leaving = 0;
        for (; i < order.size() && times[order[i]] == t; ++i, ++leaving)
            deaths += broke[order[i]] ? 1 : 0;
        if (deaths > 0) {
            survival *= 1 - deaths / atRisk;
            if (std::abs(survival - 0.5) < 1e-12) {
                for (size_t j = i; j < order.size(); ++j)
                    if (broke[order[j]])
                        return (t + times[order[j]]) / 2;
                return t;
            }
            if (survival < 0.5)
                return t;
        }
        atRisk -= leaving;
    }
    return std::nullopt;
}

std::optional<WeibullEstimate> StaticStatistics::CensoredWeibull(const QList<double>& times,
                                                                 const QList<bool>& broke) {
    std::vector<double> y;
    double breakSum = 0;
    int r = 0;
    for (qsizetype i = 0; i < times.size(); ++i) {
        if (!(times[i] > 0))
            return std::nullopt;
        y.push_back(std::log(times[i]));
    }
    if (y.size() < 2)
        return std::nullopt;
    const double top = *std::max_element(y.begin(), y.end());
    for (double& v : y)
        v -= top; // every exp() stays at or below 1
    for (size_t i = 0; i < y.size(); ++i)
        if (broke[qsizetype(i)]) {
            breakSum += y[i];
            ++r;
        }
    if (r < 1)
        return std::nullopt;
    const double ybar = breakSum / r;
    if (!(ybar < -1e-12))
        return std::nullopt; // every break at the longest time: the shape grows without bound
    // The profile likelihood equation  sum(w y)/sum(w) - 1/m - mean(y of breaks) = 0,  w = exp(m y),
    // rises with m from minus infinity to -ybar > 0: one root, found by Newton inside a bracket.
    double var = 0;
    for (size_t i = 0; i < y.size(); ++i)
        var += (y[i] - ybar) * (y[i] - ybar);
    var /= double(y.size());
    double m = var > 1e-28 ? 1.2825498301618641 / std::sqrt(var) : 1;
    double s0 = 0;
    if (!Weibull::SolveShapeEquation(y.data(), qsizetype(y.size()), ybar, m, s0))
        return std::nullopt;
    // Characteristic time: (sum of t^m over every row / number of breaks)^(1/m).
    return WeibullEstimate{m, std::exp(top + std::log(s0 / r) / m)};
}

StaticStatistics::StaticStatistics(const QList<QStringList>& rows)
    : StaticStatistics(int(rows.size()), [&rows](int row, int index) { return rows[row].value(index); }) {}

StaticStatistics::StaticStatistics(int count, const FieldReader& field) {
    for (int r = 0; r < count; ++r)
        add(r, field);
    std::stable_sort(m_levels.begin(), m_levels.end(), [](const StaticLevel& a, const StaticLevel& b) {
        const Level la = parseLevel(a.level), lb = parseLevel(b.level);
        if (la.unit != lb.unit)
            return la.unit < lb.unit;
        return *la.value < *lb.value;
    });

    QList<double> x, y;
    int fewBreaks = 0;
    for (StaticLevel& level : m_levels) {
        const Level l = parseLevel(level.level);
        if (l.unit == QLatin1String("MPa")) {
            level.stress = l.value;
        } else {
            // A load or a strain level: the stress the rows recorded at it.
            QList<double> stresses;
            for (int row : level.rows)
                if (const std::optional<double> s = FieldNumber(field(row, StressField)); s && *s > 0)
                    stresses.append(*s);
            if (!stresses.isEmpty())
                level.stress = Median(stresses);
        }
        level.median = KaplanMeierMedian(level.times, level.broke);
        level.weibull = CensoredWeibull(level.times, level.broke);
        if (level.median && *level.median > 0 && level.stress && *level.stress > 0) {
            x.append(std::log(*level.stress));
            y.append(std::log(*level.median));
            fewBreaks += level.breaks < MinBreaksPerLevel ? 1 : 0;
        }
    }
    if (x.size() < 2)
        return;
    const LineFitResult fit = LineFit(x, y);
    if (!fit.m || !fit.c)
        return;
    StaticFatigueFit f;
    f.slope = *fit.m;
    f.intercept = *fit.c;
    f.n = -*fit.m;
    f.nError = fit.delm;
    f.levels = int(x.size());
    f.fewBreaks = fewBreaks;
    m_fatigue = f;
}

void StaticStatistics::add(int row, const FieldReader& field) {
    const QString levelText = field(row, RateField).trimmed();
    if (!IsStaticLevel(levelText))
        return;
    auto it = std::find_if(m_levels.begin(), m_levels.end(),
                           [&levelText](const StaticLevel& l) { return l.level == levelText; });
    if (it == m_levels.end()) {
        StaticLevel level;
        level.level = levelText;
        m_levels.append(level);
        it = m_levels.end() - 1;
    }
    const QString comment = field(row, CommentField).trimmed();
    if (comment.startsWith(QLatin1String("ignore"), Qt::CaseInsensitive)) {
        ++it->ignored;
        m_leftOut.append({row, StatisticsTexts::MarkedIgnore(comment)});
        return;
    }
    const std::optional<double> time = FieldNumber(field(row, TimeField));
    if (!time || !(*time > 0)) {
        ++it->skipped;
        m_leftOut.append({row, StatisticsTexts::TimeNotPositive});
        return;
    }
    const bool broke = !IsRunout(comment);
    // A run-out survived its level only if it held it: one whose measured load, stress or strain is
    // far below the level (a fiber already broken when its hold began) is no survivor there.
    if (!broke) {
        const Level level = parseLevel(levelText);
        const int measuredField = level.unit == QLatin1String("N")     ? StressField - 1
                                  : level.unit == QLatin1String("MPa") ? StressField
                                                                       : StressField + 1;
        const std::optional<double> measured = FieldNumber(field(row, measuredField));
        if (!measured || !(*measured >= HeldShare * *level.value)) {
            ++it->skipped;
            return;
        }
    }
    it->times.append(*time);
    it->broke.append(broke);
    it->rows.append(row);
    ++(broke ? it->breaks : it->runouts);
}

double StaticStatistics::Milliseconds(double seconds) {
    // The hold times are measured in milliseconds: finer digits are arithmetic, not measurement.
    return std::round(seconds * 1000) / 1000;
}

QString StaticStatistics::KeyValueText() const {
    QString text;
    if (m_fatigue) {
        text += QStringLiteral("static_n\t") + BatchStatistics::ShortNumber(m_fatigue->n) + QLatin1Char('\n');
        if (m_fatigue->nError)
            text += QStringLiteral("static_n_se\t") + BatchStatistics::ShortNumber(*m_fatigue->nError) +
                    QLatin1Char('\n');
        text += QStringLiteral("static_few_break_levels\t") + QString::number(m_fatigue->fewBreaks) +
                QLatin1Char('\n');
        text += QStringLiteral("static_n_determined\t") + QString::number(FatigueDetermined() ? 1 : 0) +
                QLatin1Char('\n');
    }
    for (const StaticLevel& l : m_levels) {
        QList<std::pair<QString, QString>> figures{{QStringLiteral("breaks"), QString::number(l.breaks)},
                                                   {QStringLiteral("runouts"), QString::number(l.runouts)},
                                                   {QStringLiteral("skipped"), QString::number(l.skipped)},
                                                   {QStringLiteral("ignored"), QString::number(l.ignored)}};
        if (l.stress)
            figures.append({QStringLiteral("stress_MPa"), BatchStatistics::ShortNumber(*l.stress)});
        if (l.median)
            figures.append(
                {QStringLiteral("median_s"), BatchStatistics::ShortNumber(Milliseconds(*l.median))});
        if (l.weibull) {
            figures.append({QStringLiteral("weibull_m"), BatchStatistics::ShortNumber(l.weibull->m)});
            figures.append({QStringLiteral("weibull_t0_s"),
                            BatchStatistics::ShortNumber(Milliseconds(l.weibull->sigma0))});
        }
        // One word for scripts, as the strength groups' keys: blanks as underscores.
        const QString prefix = BatchStatistics::GroupKey(l.level) + QLatin1Char(':');
        for (const auto& [key, value] : figures)
            text += prefix + key + QLatin1Char('\t') + value + QLatin1Char('\n');
    }
    return text;
}

QString StaticStatistics::SummaryText() const {
    if (m_levels.isEmpty())
        return {};
    auto optional = [](const std::optional<double>& v) { return v ? ShortestText(*v) : QString(); };
    QString text = QStringLiteral("Static level\tStress (MPa)\tBreaks\tRun-outs\tMedian time to failure (s)\t"
                                  "Weibull m\tCharacteristic time (s)\tSkipped\tMarked \"ignore\"\r\n");
    for (const StaticLevel& l : m_levels)
        text += l.level + QLatin1Char('\t') + optional(l.stress) + QLatin1Char('\t') +
                QString::number(l.breaks) + QLatin1Char('\t') + QString::number(l.runouts) +
                QLatin1Char('\t') + (l.median ? ShortestText(Milliseconds(*l.median)) : QString()) +
                QLatin1Char('\t') + (l.weibull ? ShortestText(l.weibull->m) : QString()) + QLatin1Char('\t') +
                (l.weibull ? ShortestText(Milliseconds(l.weibull->sigma0)) : QString()) + QLatin1Char('\t') +
                QString::number(l.skipped) + QLatin1Char('\t') + QString::number(l.ignored) +
                QStringLiteral("\r\n");
    if (m_fatigue) {
        text += QStringLiteral("Static fatigue n\t") + ShortestText(m_fatigue->n) + QStringLiteral("\r\n");
        text += QStringLiteral("Standard error of static n\t") +
                (m_fatigue->nError ? ShortestText(*m_fatigue->nError) : QString()) + QStringLiteral("\r\n");
        // The note travels with the figure into a spreadsheet.
        if (const QString caution = FatigueCaution(); !caution.isEmpty())
            text += QStringLiteral("Static fatigue note\t") + caution.mid(3) + QStringLiteral("\r\n");
    }
    return text;
}

QString StaticStatistics::FatigueText() const {
    if (!m_fatigue)
        return QStringLiteral("Static fatigue needs median times to failure at two or more levels.");
    const QString n = QString::number(m_fatigue->n, 'f', 1);
    const QString levels = QString::number(m_fatigue->levels);
    const QString line = !m_fatigue->nError
                             ? QStringLiteral("Static fatigue n = %1 from %2 levels").arg(n, levels)
                             : QStringLiteral("Static fatigue n = %1 \u00b1 %2 from %3 levels")
                                   .arg(n, QString::number(*m_fatigue->nError, 'f', 1), levels);
    return line + FatigueCaution();
}

bool StaticStatistics::FatigueDetermined() const {
    return m_fatigue && std::isfinite(m_fatigue->n) && m_fatigue->n > 0;
}

QString StaticStatistics::FatigueCaution() const {
    if (!m_fatigue)
        return {};
    QString text;
    if (!FatigueDetermined())
        text += StatisticsTexts::StaticNotDetermined;
    if (m_fatigue->fewBreaks > 0)
        text += StatisticsTexts::StaticFewBreaks(m_fatigue->fewBreaks, MinBreaksPerLevel);
    return text;
}
