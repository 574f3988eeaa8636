#include "app/StatisticsVerification.h"

#include "results/BatchStatistics.h"
#include "results/Figures.h"
#include "results/StaticStatistics.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cmath>

// The sets are compiled into the program's static library, whose resources are registered by hand.
static void initReferenceResources() {
    Q_INIT_RESOURCE(resources);
}

namespace {
const QString ReferenceFolder = QStringLiteral(":/reference");

QByteArray line(const char* format, const QString& a, const QString& b = {}, const QString& c = {},
                const QString& d = {}, const QString& e = {}) {
    return QString::asprintf(format, a.toUtf8().constData(), b.toUtf8().constData(), c.toUtf8().constData(),
                             d.toUtf8().constData(), e.toUtf8().constData())
        .toUtf8();
}

QString figureText(double v) {
    return QString::asprintf("%.12g", v);
}
} // namespace

bool VerifiedFigure::agrees() const {
    return value && std::abs(*value - reference) <= StatisticsVerification::Tolerance * std::abs(reference);
}

std::optional<ReferenceSet> ReferenceSet::Parse(const QString& name, const QString& text, QString* error) {
    ReferenceSet set;
    set.name = name;
    int number = 0;
    for (QStringView l : QStringView(text).split(QLatin1Char('\n'))) {
        ++number;
        l = l.trimmed();
        if (l.isEmpty())
            continue;
        auto fail = [&](const QString& why) {
            *error = QStringLiteral("%1, line %2: %3").arg(name).arg(number).arg(why);
            return std::nullopt;
        };
        if (l.startsWith(QLatin1String("#="))) {
            const QList<QStringView> items = l.mid(2).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const std::optional<double> v = items.size() == 2 ? FieldNumber(items[1]) : std::nullopt;
            if (!v)
                return fail(QStringLiteral("a reference line needs a key and a number"));
            set.references.append({items[0].toString(), *v});
        } else if (l.startsWith(QLatin1Char('#'))) {
            set.comments.append(l.mid(1).trimmed().toString());
        } else {
            const QList<QStringView> items = l.split(QRegularExpression(QStringLiteral("\\s+")));
            const std::optional<double> v = FieldNumber(items[0]);
            if (!v || items.size() > 2)
                return fail(QStringLiteral("not a value"));
            bool broke = true;
            if (items.size() == 2) {
                if (items[1] != QLatin1String("failure") && items[1] != QLatin1String("runout"))
                    return fail(QStringLiteral("a value is followed by \"failure\" or \"runout\""));
                broke = items[1] == QLatin1String("failure");
                set.censored = true;
            }
            set.values.append(*v);
            set.broke.append(broke);
        }
    }
    if (set.values.size() < 2 || set.references.isEmpty()) {
        *error = name + QStringLiteral(": needs values and reference figures");
        return std::nullopt;
    }
    return set;
}

QList<VerifiedFigure> StatisticsVerification::Verify(const ReferenceSet& set) {
    QHash<QString, double> computed;
    if (set.censored) {
        if (const std::optional<WeibullEstimate> w =
                StaticStatistics::CensoredWeibull(set.values, set.broke)) {
            computed.insert(QStringLiteral("weibull_m"), w->m);
            computed.insert(QStringLiteral("weibull_t0"), w->sigma0);
        }
        if (const std::optional<double> median = StaticStatistics::KaplanMeierMedian(set.values, set.broke))
            computed.insert(QStringLiteral("median_km"), *median);
    } else {
        QList<QStringList> rows;
        for (double v : set.values) {
            QStringList fields(17);
            fields[0] = QString::number(rows.size() + 1);
            fields[BatchStatistics::StressField] = ShortestText(v);
            rows.append(fields);
        }
        const BatchStatistics stats(rows);
        for (const StatisticFigure& f : BatchStatistics::Figures(stats.all()))
            if (f.value)
                computed.insert(f.key, *f.value);
    }
    QList<VerifiedFigure> figures;
    for (const auto& [key, reference] : set.references) {
        VerifiedFigure f;
        f.key = key;
        f.reference = reference;
        if (const auto it = computed.constFind(key); it != computed.constEnd())
            f.value = *it;
        figures.append(f);
    }
    return figures;
}

QList<ReferenceSet> StatisticsVerification::ShippedSets(QString* error) {
    initReferenceResources();
    QList<ReferenceSet> sets;
    const QStringList names =
        QDir(ReferenceFolder).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QFile file(ReferenceFolder + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = name + QStringLiteral(": ") + file.errorString();
            return {};
        }
        const std::optional<ReferenceSet> set =
            ReferenceSet::Parse(name, QString::fromUtf8(file.readAll()), error);
        if (!set)
            return {};
        sets.append(*set);
    }
    if (sets.isEmpty())
        *error = QStringLiteral("no reference data sets in the program");
    return sets;
}

int StatisticsVerification::Run(std::FILE* out, std::FILE* err) {
    QString error;
    const QList<ReferenceSet> sets = ShippedSets(&error);
    if (sets.isEmpty()) {
        std::fprintf(err, "Cannot read the reference data sets: %s\n", error.toUtf8().constData());
        return 2;
    }
    QByteArray text = line("Statistics of %s reference data sets beside figures computed independently;\n"
                           "a figure agrees when it is within %s of the reference (relative).\n",
                           QString::number(sets.size()), QString::number(Tolerance));
    int total = 0, agreeing = 0;
    for (const ReferenceSet& set : sets) {
        text += "\n" + set.name.toUtf8() + " (" + QByteArray::number(set.values.size()) + " values)\n";
        for (const QString& comment : set.comments)
            text += "  " + comment.toUtf8() + "\n";
        text += line("  %-32s %18s %18s %12s\n", QStringLiteral("figure"), QStringLiteral("program"),
                     QStringLiteral("reference"), QStringLiteral("difference"));
        for (const VerifiedFigure& f : Verify(set)) {
            ++total;
            agreeing += f.agrees() ? 1 : 0;
            const QString value = f.value ? figureText(*f.value) : QStringLiteral("none");
            const QString difference =
                f.value ? QString::asprintf("%+.2e", *f.value - f.reference) : QStringLiteral("-");
            text += line("  %-32s %18s %18s %12s  %s\n", f.key, value, figureText(f.reference), difference,
                         f.agrees() ? QStringLiteral("agrees") : QStringLiteral("DIFFERS"));
        }
    }
    text += agreeing == total ? line("\nAll %s figures agree.\n", QString::number(total))
                              : line("\n%s of %s figures do not agree.\n", QString::number(total - agreeing),
                                     QString::number(total));
    std::fwrite(text.constData(), 1, std::size_t(text.size()), out);
    std::fflush(out);
    return agreeing == total ? 0 : 1;
}
