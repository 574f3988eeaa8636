#include "app/LifetimeCommand.h"

#include "app/LifetimeStoreQuery.h"
#include "app/UnattendedOperator.h"
#include "experiments/Fiber.h"
#include "experiments/LifetimeAnswers.h"
#include "params/Parameters.h"
#include "results/DataFileRows.h"
#include "results/StatisticsTexts.h"

#include <cmath>

std::optional<LifetimeCommand::Request> LifetimeCommand::Parse(const QStringList& arguments, QString* error) {
    Request r;
    LifetimeInputs& in = r.typed;
    const QString typed = QStringLiteral("typed");
    const QList<std::pair<QString, LifetimeValue*>> numbers{
        {QStringLiteral("--m"), &in.m},
        {QStringLiteral("--m-low"), &in.mLow},
        {QStringLiteral("--m-high"), &in.mHigh},
        {QStringLiteral("--n"), &in.n},
        {QStringLiteral("--n-low"), &in.nLow},
        {QStringLiteral("--n-high"), &in.nHigh},
        {QStringLiteral("--proof-stress"), &in.proofStress},
        {QStringLiteral("--proof-time"), &in.proofTime},
        {QStringLiteral("--proof-breaks-per-km"), &in.breaksPerKm},
        {QStringLiteral("--length-km"), &in.lengthKm},
        {QStringLiteral("--service-stress"), &in.serviceStress},
        {QStringLiteral("--years"), &in.serviceYears},
        {QStringLiteral("--target-F"), &in.targetF},
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (i + 1 >= arguments.size()) {
            *error = arg + QStringLiteral(" needs a value.");
            return std::nullopt;
        }
        const QString value = arguments[++i];
        const QList<std::pair<QString, QString*>> texts{{QStringLiteral("--from"), &r.fromFile},
                                                        {QStringLiteral("--sample"), &r.sample},
                                                        {QStringLiteral("--since"), &r.since},
                                                        {QStringLiteral("--until"), &r.until}};
        if (const auto t =
                std::find_if(texts.begin(), texts.end(), [&arg](const auto& p) { return p.first == arg; });
            t != texts.end()) {
            *t->second = value;
            continue;
        }
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (!ok || !std::isfinite(v)) {
            *error = arg + QStringLiteral(" needs a number, not \"") + value + QStringLiteral("\".");
            return std::nullopt;
        }
        if (arg == QStringLiteral("--service-strain")) {
            r.serviceStrain = v;
            continue;
        }
        const auto it =
            std::find_if(numbers.begin(), numbers.end(), [&arg](const auto& p) { return p.first == arg; });
        if (it == numbers.end()) {
            *error = QStringLiteral("Unknown argument \"") + arg + QStringLiteral("\".");
            return std::nullopt;
        }
        it->second->set(v, typed);
    }
    if (r.serviceStrain && in.serviceStress.value) {
        *error = QStringLiteral("Give --service-stress or --service-strain, not both.");
        return std::nullopt;
    }
    if (!r.fromFile.isEmpty() && !r.sample.isEmpty()) {
        *error = QStringLiteral("Give --from or --sample, not both.");
        return std::nullopt;
    }
    if (r.sample.isEmpty() && !(r.since.isEmpty() && r.until.isEmpty())) {
        *error = QStringLiteral("--since and --until choose among a sample's results: give --sample too.");
        return std::nullopt;
    }
    if (r.typed.proofTime.value && !(*r.typed.proofTime.value > 0)) {
        *error = QStringLiteral("--proof-time must be above 0 s.");
        return std::nullopt;
    }
    return r;
}

int LifetimeCommand::Run(const QStringList& arguments, std::FILE* out, std::FILE* err,
                         const QString& storePath) {
    auto fail = [err](const QString& text) {
        std::fprintf(err, "stavely --lifetime: %s\n", text.toUtf8().constData());
        return 2;
    };
    QString error;
    std::optional<Request> request = Parse(arguments, &error);
    if (!request)
        return fail(error + QLatin1Char('\n') + Usage);
    LifetimeInputs in = request->typed;
    LifetimeInputs::Conditions conditions;
    if (!request->fromFile.isEmpty()) {
        QString why;
        const std::optional<std::vector<DataRow>> rows = ReadDataFileRows(request->fromFile, &why);
        if (!rows)
            return fail(StatisticsTexts::CannotRead.arg(request->fromFile, why));
        if (!LifetimeStoreQuery::FillFromRows(in, *rows, &conditions))
            return fail(QStringLiteral("the data file \"%1\" has no usable results.").arg(request->fromFile));
    } else if (!request->sample.isEmpty()) {
        QString why;
        std::optional<LifetimeInputs> stored = LifetimeStoreQuery::Inputs(
            storePath, {request->sample, request->since, request->until}, in, &why, &conditions);
        if (!stored)
            return fail(why + QLatin1Char('.'));
        in = *stored;
    }
    if (request->serviceStrain) {
        // Through the fiber's modulus law, as the calculator converts it: the batch's modulus when it
        // has one, else the program's default fiber.
        Parameters p;
        if (conditions.modulusGpa) {
            p.Modulus = *conditions.modulusGpa;
            p.ModulusA = *conditions.modulusA;
        }
        UnattendedOperator op(err);
        const Fiber fiber(p, op);
        in.serviceStress.set(fiber.Strain2Stress(*request->serviceStrain),
                             QStringLiteral("from a strain of %1 % with E0 %2 GPa, a %3")
                                 .arg(*request->serviceStrain)
                                 .arg(p.Modulus)
                                 .arg(p.ModulusA));
    }
    in.FillDefaults();
    const QStringList problems = in.Problems();
    if (!problems.isEmpty())
        return fail(problems.join(QStringLiteral("; ")) + QLatin1Char('.'));
    const LifetimeAnswers answers = LifetimeAnswers::Compute(in);
    if (answers.answers.isEmpty())
        return fail(QStringLiteral("the model gives no answer for these inputs."));
    const QByteArray text = answers.KeyValueText(in).toUtf8();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), out);
    std::fflush(out);
    return 0;
}
