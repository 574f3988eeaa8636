#include "experiments/LifetimeAnswers.h"

#include <cmath>

namespace {
using Model = LifetimeModel;

LifetimeInputs withParameters(const LifetimeInputs& in, double m, double n) {
    LifetimeInputs copy = in;
    copy.m.value = m;
    copy.n.value = n;
    return copy;
}
} // namespace

std::optional<double> LifetimeAnswers::FailureAt(const LifetimeInputs& in, double stress, double years) {
    const double t = years * Model::SecondsPerYear;
    return in.proofForm() ? Model::ProofFailure(in.proof(), stress, t)
                          : Model::BatchFailure(in.batch(), stress, t);
}

std::optional<double> LifetimeAnswers::AllowedAt(const LifetimeInputs& in, double f, double years) {
    const double t = years * Model::SecondsPerYear;
    return in.proofForm() ? Model::ProofAllowedStress(in.proof(), f, t)
                          : Model::BatchAllowedStress(in.batch(), f, t);
}

LifetimeAnswers LifetimeAnswers::Compute(const LifetimeInputs& in) {
    LifetimeAnswers out;
    if (!in.Problems().isEmpty())
        return out;
    const double m = *in.m.value, n = *in.n.value;
    const Model::Bounds bounds = in.bounds();
    const double sa = *in.serviceStress.value;
    auto add = [&](const QString& key, const QString& label, bool probability,
                   const std::function<std::optional<double>(const LifetimeInputs&)>& answer) {
        Answer a{key, label,
                 Model::Spread(m, n, bounds,
                               [&](double mi, double ni) { return answer(withParameters(in, mi, ni)); }),
                 probability};
        if (a.range.value)
            out.answers.append(a);
    };
    if (in.serviceYears.value) {
        const double years = *in.serviceYears.value;
        add(QStringLiteral("F"), QStringLiteral("Failure probability F over the service life"), true,
            [&](const LifetimeInputs& i) { return FailureAt(i, sa, years); });
    }
    if (in.targetF.value) {
        const double f = *in.targetF.value;
        add(QStringLiteral("lifetime_years"), QStringLiteral("Lifetime for the target F (years)"), false,
            [&](const LifetimeInputs& i) -> std::optional<double> {
                const std::optional<double> t = i.proofForm() ? Model::ProofLifetime(i.proof(), sa, f)
                                                              : Model::BatchLifetime(i.batch(), sa, f);
                return t ? std::optional<double>(*t / Model::SecondsPerYear) : std::nullopt;
            });
    }
    if (in.targetF.value && in.serviceYears.value) {
        const double f = *in.targetF.value, years = *in.serviceYears.value;
        add(QStringLiteral("allowed_stress_MPa"), QStringLiteral("Allowed service stress (MPa)"), false,
            [&](const LifetimeInputs& i) { return AllowedAt(i, f, years); });
        if (in.proofForm())
            add(QStringLiteral("proof_stress_needed_MPa"), QStringLiteral("Proof stress needed (MPa)"), false,
                [&](const LifetimeInputs& i) {
                    return Model::ProofStressNeeded(i.proof(), sa, f, years * Model::SecondsPerYear);
                });
    }
    return out;
}

QString LifetimeAnswers::Number(double v) {
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return QString::number(v, 'g', 6);
}

QString LifetimeAnswers::KeyValueText(const LifetimeInputs& in) const {
    QString text = QStringLiteral("form\t") +
                   (in.proofForm() ? QStringLiteral("proof") : QStringLiteral("batch")) + QLatin1Char('\n');
    auto input = [&text](const char* key, const LifetimeValue& v) {
        if (!v.value)
            return;
        text += QLatin1String(key) + QLatin1Char('\t') + Number(*v.value) + QLatin1Char('\n');
        text += QLatin1String(key) + QStringLiteral("_source\t") + v.source + QLatin1Char('\n');
    };
    input("m", in.m);
    input("m_low", in.mLow);
    input("m_high", in.mHigh);
    input("n", in.n);
    input("n_low", in.nLow);
    input("n_high", in.nHigh);
    if (in.proofForm()) {
        input("proof_stress_MPa", in.proofStress);
        input("proof_time_s", in.proofTime);
        input("proof_breaks_per_km", in.breaksPerKm);
    } else {
        input("sigma0_MPa", in.sigma0);
        input("gauge_length_m", in.gaugeLengthM);
        input("stress_rate_MPa/s", in.stressRate);
    }
    input("length_km", in.lengthKm);
    input("service_stress_MPa", in.serviceStress);
    input("service_years", in.serviceYears);
    input("target_F", in.targetF);
    for (const QString& note : in.notes)
        text += QStringLiteral("note\t") + note + QLatin1Char('\n');
    for (const Answer& a : answers) {
        text += a.key + QLatin1Char('\t') + Number(*a.range.value) + QLatin1Char('\n');
        if (a.range.low)
            text += a.key + QStringLiteral("_low\t") + Number(*a.range.low) + QLatin1Char('\n');
        if (a.range.high)
            text += a.key + QStringLiteral("_high\t") + Number(*a.range.high) + QLatin1Char('\n');
        const QString note = Model::SpreadNote(a.range);
        if (!note.isEmpty())
            text += a.key + QStringLiteral("_note\t") + note + QLatin1Char('\n');
    }
    return text;
}

QString LifetimeAnswers::DisplayText(const Answer& a) {
    auto num = [&a](double v) {
        return a.probability ? QString::number(v, 'g', 3) : QString::number(v, 'g', 4);
    };
    QString text = num(*a.range.value);
    if (a.range.low && a.range.high && (*a.range.low != *a.range.value || *a.range.high != *a.range.value))
        text += QStringLiteral("   (90 %: ") + num(*a.range.low) + QStringLiteral(" to ") +
                num(*a.range.high) + QLatin1Char(')');
    const QString note = Model::SpreadNote(a.range);
    if (!note.isEmpty())
        text += QStringLiteral(": ") + note;
    return text;
}
