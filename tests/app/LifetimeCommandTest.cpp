#include "app/LifetimeCommand.h"
#include "experiments/LifetimeModel.h"
#include "sim/SimConfig.h"
#include "sim/SimFiber.h"
#include "tests/support/TestRegistry.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <random>

namespace {
const char Header[] = "N,Lt (N),Lf (N),s (MPa),e (%),nom rate,v (\xb5"
                      "m/s),\xb1,e. (%/min),\xb1,s. (MPa/s),\xb1,t (s),date,time,comments,df GL EA Eo Ea "
                      "Preload start\r\n";

QByteArray row(int specimen, double stress, const QString& rate, const QString& comment = {}) {
    return QStringLiteral("%1,50,50,%2,6,%3,100,1,3,0.1,60,0.2,12,26/12/07,10:00:01,%4,125 500 0 72 3 "
                          "0.5N/100 26/12/07 10:00:00 30.1mm/1.00\r\n")
        .arg(specimen)
        .arg(stress, 0, 'f', 1)
        .arg(rate, comment)
        .toLatin1();
}

struct Result {
    int code = 0;
    QMap<QString, QString> values;
    QString err;
};

Result run(const QStringList& arguments) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Result r;
    r.code = LifetimeCommand::Run(arguments, out, err);
    auto read = [](std::FILE* f) {
        std::rewind(f);
        QByteArray text;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            text.append(buffer, qsizetype(n));
        std::fclose(f);
        return QString::fromUtf8(text);
    };
    for (const QString& line : read(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        r.values.insert(line.section(QLatin1Char('\t'), 0, 0), line.section(QLatin1Char('\t'), 1));
    r.err = read(err);
    return r;
}
} // namespace

class LifetimeCommandTest : public QObject {
    Q_OBJECT
private slots:
    // A batch broken by the simulator's fiber law at four stress rates (n 20, m 20, median 5 GPa):
    // the batch's n brackets the true one, and the lifetime's range holds the lifetime the true n gives
    // with the batch's m and σ0.
    void batchFromTheSimulatorsLaw() {
        SimConfig config;
        std::mt19937_64 random(37);
        std::uniform_real_distribution<double> uniform(0, 1);
        QByteArray file = Header;
        int specimen = 0;
        for (double rate : {0.6, 6.0, 60.0, 600.0})
            for (int i = 0; i < 15; ++i) {
                const double strength = SimFiber::drawStrength(uniform(random), config) * 1000 *
                                        std::pow(rate / config.fatigueRefRate, 1 / (config.fatigueN + 1));
                file += row(++specimen, strength, QString::number(rate) + QStringLiteral(" MPa/s"));
            }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("batch.csv"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
        f.close();

        const Result r = run({QStringLiteral("--from"), path, QStringLiteral("--service-stress"),
                              QStringLiteral("1000"), QStringLiteral("--target-F"), QStringLiteral("1e-5"),
                              QStringLiteral("--years"), QStringLiteral("25")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.values.value(QStringLiteral("form")), QStringLiteral("batch"));
        const double nLow = r.values.value(QStringLiteral("n_low")).toDouble();
        const double nHigh = r.values.value(QStringLiteral("n_high")).toDouble();
        QVERIFY2(nLow < config.fatigueN && config.fatigueN < nHigh,
                 qPrintable(QStringLiteral("%1 %2").arg(nLow).arg(nHigh)));
        QCOMPARE(r.values.value(QStringLiteral("gauge_length_m")).toDouble(), 0.5);
        QVERIFY(r.values.value(QStringLiteral("n_source"))
                    .contains(QStringLiteral("dynamic fatigue, 4 rate groups")));

        LifetimeModel::Batch truth{r.values.value(QStringLiteral("m")).toDouble(),
                                   config.fatigueN,
                                   r.values.value(QStringLiteral("sigma0_MPa")).toDouble(),
                                   0.5,
                                   r.values.value(QStringLiteral("stress_rate_MPa/s")).toDouble(),
                                   1};
        const double trueLife =
            *LifetimeModel::BatchLifetime(truth, 1000, 1e-5) / LifetimeModel::SecondsPerYear;
        const double low = r.values.value(QStringLiteral("lifetime_years_low")).toDouble();
        const double high = r.values.value(QStringLiteral("lifetime_years_high")).toDouble();
        QVERIFY2(low <= trueLife && trueLife <= high,
                 qPrintable(QStringLiteral("%1 not in %2 to %3").arg(trueLife).arg(low).arg(high)));
        QVERIFY(r.values.contains(QStringLiteral("F")) &&
                r.values.contains(QStringLiteral("allowed_stress_MPa")));
    }

    // Missing or impossible input: exit 2 with the reason, nothing on the output.
    void refusesWhatTheModelCannotTake() {
        QTemporaryDir dir;
        const QString empty = dir.filePath(QStringLiteral("empty.csv"));
        QFile f(empty);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(Header) + row(1, 0, QStringLiteral("60 MPa/s")));
        f.close();
        const QStringList proof{QStringLiteral("--m"),
                                QStringLiteral("3"),
                                QStringLiteral("--proof-stress"),
                                QStringLiteral("690"),
                                QStringLiteral("--proof-breaks-per-km"),
                                QStringLiteral("0.1")};
        const QStringList service{QStringLiteral("--service-stress"), QStringLiteral("138"),
                                  QStringLiteral("--years"), QStringLiteral("25")};
        struct Case {
            const char* name;
            QStringList arguments;
            const char* reason;
        };
        const QList<Case> cases{
            {"n 2", proof + QStringList{QStringLiteral("--n"), QStringLiteral("2")} + service,
             "n must be above 2"},
            {"m 0",
             QStringList{QStringLiteral("--m"), QStringLiteral("0"), QStringLiteral("--n"),
                         QStringLiteral("20"), QStringLiteral("--proof-stress"), QStringLiteral("690"),
                         QStringLiteral("--proof-breaks-per-km"), QStringLiteral("0.1")} +
                 service,
             "m must be above 0"},
            {"F 1",
             proof + QStringList{QStringLiteral("--n"), QStringLiteral("20"),
                                 QStringLiteral("--service-stress"), QStringLiteral("138"),
                                 QStringLiteral("--target-F"), QStringLiteral("1")},
             "F must lie between 0 and 1"},
            {"negative years",
             proof + QStringList{QStringLiteral("--n"), QStringLiteral("20"),
                                 QStringLiteral("--service-stress"), QStringLiteral("138"),
                                 QStringLiteral("--years"), QStringLiteral("-3")},
             "above 0 years"},
            {"negative proof time",
             proof +
                 QStringList{QStringLiteral("--n"), QStringLiteral("20"), QStringLiteral("--proof-time"),
                             QStringLiteral("-1")} +
                 service,
             "--proof-time must be above 0 s"},
            {"no service stress",
             proof + QStringList{QStringLiteral("--n"), QStringLiteral("20"), QStringLiteral("--years"),
                                 QStringLiteral("25")},
             "service stress (or strain) is missing"},
            {"not a number", proof + QStringList{QStringLiteral("--n"), QStringLiteral("twenty")} + service,
             "--n needs a number"},
            {"batch without usable results", QStringList{QStringLiteral("--from"), empty} + service,
             "has no usable results"},
            {"unreadable file",
             QStringList{QStringLiteral("--from"), dir.filePath(QStringLiteral("none.csv"))} + service,
             "Cannot read data file"},
        };
        for (const Case& c : cases) {
            const Result r = run(c.arguments);
            QVERIFY2(r.code == 2, c.name);
            QVERIFY2(r.values.isEmpty(), c.name);
            QVERIFY2(r.err.contains(QLatin1String(c.reason)),
                     qPrintable(QLatin1String(c.name) + QStringLiteral(": ") + r.err));
        }
    }

    // A service strain goes through the fiber's modulus law: 1 % on E0 72 GPa, a 3 is 741.6 MPa.
    void serviceStrainThroughTheModulus() {
        const Result r = run({QStringLiteral("--m"), QStringLiteral("3"), QStringLiteral("--n"),
                              QStringLiteral("20"), QStringLiteral("--proof-stress"), QStringLiteral("1000"),
                              QStringLiteral("--proof-breaks-per-km"), QStringLiteral("0.1"),
                              QStringLiteral("--service-strain"), QStringLiteral("1"),
                              QStringLiteral("--years"), QStringLiteral("1")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.values.value(QStringLiteral("service_stress_MPa")), QStringLiteral("741.6"));
        QVERIFY(
            r.values.value(QStringLiteral("service_stress_MPa_source")).contains(QStringLiteral("strain")));
    }
};

STAVELY_TEST(LifetimeCommandTest)
#include "LifetimeCommandTest.moc"
