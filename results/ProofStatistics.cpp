#include "results/ProofStatistics.h"

#include "results/BatchStatistics.h"
#include "results/Figures.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

std::optional<double> ProofLevel::failureFraction() const {
    return specimens() > 0 ? std::optional<double>(double(failures) / specimens()) : std::nullopt;
}

std::optional<double> ProofLevel::breaksPerKm() const {
    return testedMetres > 0 ? std::optional<double>(failures / (testedMetres / 1000)) : std::nullopt;
}

QString ProofLevel::name() const {
    return ShortestText(stress) + QStringLiteral(" MPa, ") + ShortestText(time) + QStringLiteral(" s");
}

ProofStatistics::Comment ProofStatistics::ParseComment(QStringView comment) {
    static const QRegularExpression pattern(
        QStringLiteral("^proof (failure|passed) at (\\S+) MPa for (\\S+) s( then broken)?"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(comment.trimmed().toString());
    Comment c;
    if (!match.hasMatch())
        return c;
    const std::optional<double> stress = FieldNumber(match.captured(2));
    const std::optional<double> time = FieldNumber(match.captured(3));
    if (!stress || !time || !(*stress > 0) || !(*time > 0))
        return c;
    c.stress = *stress;
    c.time = *time;
    if (match.captured(1).compare(QLatin1String("failure"), Qt::CaseInsensitive) == 0)
        c.kind = Kind::Failure;
    else
        c.kind = match.capturedLength(4) > 0 ? Kind::PassedThenBroken : Kind::Passed;
    return c;
}

QString ProofStatistics::CommentText(Kind kind, double stress, double time) {
    const QString level = QStringLiteral(" at ") + ShortestText(stress) + QStringLiteral(" MPa for ") +
                          ShortestText(time) + QStringLiteral(" s");
    switch (kind) {
    case Kind::Failure:
        return QStringLiteral("proof failure") + level;
    case Kind::Passed:
        return QStringLiteral("proof passed") + level;
    case Kind::PassedThenBroken:
        return QStringLiteral("proof passed") + level + QStringLiteral(" then broken");
    default:
        return {};
    }
}

std::optional<WeibullEstimate> ProofStatistics::TruncatedWeibull(const QList<double>& strengths,
                                                                 double truncation) {
    if (strengths.size() < 2)
        return std::nullopt;
    const double top = *std::max_element(strengths.begin(), strengths.end());
    const double bottom = *std::min_element(strengths.begin(), strengths.end());
    if (!(bottom > 0) || !(top > bottom))
        return std::nullopt;
    // A survivor a little below σp (read a step before the peak) still bounds it.
    const double t = std::min(truncation > 0 ? truncation : 0.0, bottom);
    std::vector<double> y;
    double mean = 0;
    for (double s : strengths) {
        y.push_back(std::log(s / top));
        mean += y.back();
    }
    mean /= double(y.size());
    const double yt = t > 0 ? std::log(t / top) : -INFINITY;
    // Σ w (s^m − T^m) terms scaled by top^m; w = exp(m y).
    auto sums = [&](double m, double& num, double& den) {
        const double wt = std::exp(m * yt);
        const double wtY = wt > 0 ? wt * yt : 0;
        num = 0;
        den = 0;
        for (double v : y) {
            const double w = std::exp(m * v);
            num += w * v - wtY;
            den += w - wt;
        }
    };
    // Shape equation of the truncated likelihood (σ0 profiled out):
    // 1/m + mean(y) − Σ(w y − w_T y_T) / Σ(w − w_T) = 0; from +∞ at m → 0 to mean(y) < 0 as m grows.
    auto g = [&](double m) {
        double num = 0, den = 0;
        sums(m, num, den);
        return den > 0 ? 1 / m + mean - num / den : 1 / m + mean;
    };
    double lo = 1e-3, hi = 1e4;
    if (!(g(lo) > 0) || !(g(hi) < 0))
        return std::nullopt;
    for (int i = 0; i < 200; ++i) {
        const double mid = std::sqrt(lo * hi);
        (g(mid) > 0 ? lo : hi) = mid;
    }
    const double m = std::sqrt(lo * hi);
    double num = 0, den = 0;
    sums(m, num, den);
    if (!(den > 0))
        return std::nullopt;
    // σ0^m = Σ(s^m − T^m) / count
    const double sigma0 = top * std::exp(std::log(den / double(y.size())) / m);
    if (!std::isfinite(sigma0))
        return std::nullopt;
    return WeibullEstimate{m, sigma0};
}

ProofStatistics::ProofStatistics(const QList<QStringList>& rows)
    : ProofStatistics(int(rows.size()), [&rows](int row, int index) { return rows[row].value(index); }) {}

ProofStatistics::ProofStatistics(int count, const FieldReader& field) {
    for (int r = 0; r < count; ++r) {
        const QString comment = field(r, CommentField).trimmed();
        const bool ignored = BatchStatistics::IsIgnored(comment);
        // "ignore: proof failure at …" keeps its level in the count of the ignored.
        const Comment c = ParseComment(ignored ? comment.section(QLatin1Char(':'), 1).trimmed() : comment);
        if (c.kind == Kind::None)
            continue;
        auto it = std::find_if(m_levels.begin(), m_levels.end(), [&c](const ProofLevel& l) {
            return l.stress == c.stress && l.time == c.time;
        });
        if (it == m_levels.end()) {
            ProofLevel level;
            level.stress = c.stress;
            level.time = c.time;
            m_levels.append(level);
            it = m_levels.end() - 1;
        }
        if (ignored) {
            ++it->ignored;
            continue;
        }
        ++(c.kind == Kind::Failure ? it->failures : it->passed);
        it->rows.append(r);
        const QStringList items = field(r, ParametersField).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (const std::optional<double> gauge = items.size() > 1 ? FieldNumber(items[1]) : std::nullopt;
            gauge && *gauge > 0)
            it->testedMetres += *gauge / 1000;
        if (c.kind == Kind::PassedThenBroken)
            if (const std::optional<double> s = BatchStatistics::PositiveNumber(field(r, StressField));
                s && BatchStatistics::PlausibleStress(*s))
                it->afterProof.append(*s);
    }
    std::stable_sort(m_levels.begin(), m_levels.end(), [](const ProofLevel& a, const ProofLevel& b) {
        return a.stress != b.stress ? a.stress < b.stress : a.time < b.time;
    });
    for (ProofLevel& level : m_levels)
        level.truncatedWeibull = TruncatedWeibull(level.afterProof, level.stress);
}

const ProofLevel* ProofStatistics::MainLevel() const {
    const ProofLevel* main = nullptr;
    for (const ProofLevel& l : m_levels)
        if (!main || l.specimens() > main->specimens())
            main = &l;
    return main;
}

QString ProofStatistics::KeyValueText() const {
    QString text;
    for (const ProofLevel& l : m_levels) {
        const QString prefix = QStringLiteral("proof:") +
                               BatchStatistics::GroupKey(l.name()).remove(QLatin1Char(',')) +
                               QLatin1Char(':');
        auto line = [&](const char* key, const QString& value) {
            text += prefix + QLatin1String(key) + QLatin1Char('\t') + value + QLatin1Char('\n');
        };
        line("specimens", QString::number(l.specimens()));
        line("failures", QString::number(l.failures));
        line("passed", QString::number(l.passed));
        line("ignored", QString::number(l.ignored));
        if (const auto f = l.failureFraction())
            line("failure_fraction", BatchStatistics::ShortNumber(*f));
        line("tested_km", BatchStatistics::ShortNumber(l.testedMetres / 1000));
        if (const auto np = l.breaksPerKm())
            line("breaks_per_km", BatchStatistics::ShortNumber(*np));
        line("after_proof", QString::number(l.afterProof.size()));
        if (l.truncatedWeibull) {
            line("after_m", BatchStatistics::ShortNumber(l.truncatedWeibull->m));
            line("after_sigma0_MPa", BatchStatistics::ShortNumber(l.truncatedWeibull->sigma0));
        }
    }
    return text;
}

QString ProofStatistics::SummaryText() const {
    QString text;
    for (const ProofLevel& l : m_levels) {
        text +=
            QStringLiteral("Proof test at %1: %2 of %3 failed (%4), %5 proof breaks per km over %6 km tested")
                .arg(l.name(), QString::number(l.failures), QString::number(l.specimens()),
                     l.failureFraction()
                         ? QString::number(*l.failureFraction() * 100, 'f', 1) + QStringLiteral(" %")
                         : QStringLiteral("-"),
                     l.breaksPerKm() ? QString::number(*l.breaksPerKm(), 'g', 4) : QStringLiteral("-"),
                     QString::number(l.testedMetres / 1000, 'g', 4));
        if (l.truncatedWeibull)
            text += QStringLiteral("; after proof m = %1, \u03c30 = %2 MPa (truncated at \u03c3p)")
                        .arg(QString::number(l.truncatedWeibull->m, 'f', 2),
                             QString::number(l.truncatedWeibull->sigma0, 'f', 0));
        text += QStringLiteral("\r\n");
    }
    return text;
}
