#include "app/LifetimeCommand.h"
#include "app/LifetimeStoreQuery.h"
#include "app/frmLifetime.h"
#include "experiments/LifetimeModel.h"
#include "results/DataFileRows.h"
#include "sim/SimConfig.h"
#include "sim/SimFiber.h"
#include "store/ResultsDatabase.h"
#include "tests/support/TestRegistry.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <random>

namespace {
const char Header[] = "N,Lt (N),Lf (N),s (MPa),e (%),nom rate,v (\xb5"
                      "m/s),\xb1,e. (%/min),\xb1,s. (MPa/s),\xb1,t (s),date,time,comments,df GL EA Eo Ea "
                      "Preload start\r\n";

QByteArray row(int specimen, double stress, const QString& rate, const QString& comment = {},
               const QString& sample = {}) {
    return QStringLiteral("%1,50,50,%2,6,%3,100,1,3,0.1,60,0.2,12,26/12/07,10:00:01,%4,125 500 0 72 3 "
                          "0.5N/100 26/12/07 10:00:00 30.1mm/1.00%5\r\n")
        .arg(specimen)
        .arg(stress, 0, 'f', 1)
        .arg(rate, comment, sample.isEmpty() ? QString() : QStringLiteral(" sample:") + sample)
        .toLatin1();
}

// The simulator's fiber law (n 20, m 20, median 5 GPa) broken at four stress rates, 15 specimens each.
QByteArray simulatedBatch(unsigned seed, const QString& sample = {}, double scale = 1) {
    SimConfig config;
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> uniform(0, 1);
    QByteArray file = Header;
    int specimen = 0;
    for (double rate : {0.6, 6.0, 60.0, 600.0})
        for (int i = 0; i < 15; ++i) {
            const double strength = scale * SimFiber::drawStrength(uniform(random), config) * 1000 *
                                    std::pow(rate / config.fatigueRefRate, 1 / (config.fatigueN + 1));
            file += row(++specimen, strength, QString::number(rate) + QStringLiteral(" MPa/s"), {}, sample);
        }
    return file;
}

bool writeBatchFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct Result {
    int code = 0;
    QMap<QString, QString> values;
    QString err;
};

Result run(const QStringList& arguments, const QString& storePath = {}) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Result r;
    r.code = LifetimeCommand::Run(arguments, out, err, storePath);
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
        const SimConfig config;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("batch.csv"));
        QVERIFY(writeBatchFile(path, simulatedBatch(37)));

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

    // A sample's results in the store give what the same rows give from a data file, whatever else the
    // store holds; each source names the query; the store is read, never created or changed; the
    // window's "From the store" fills the same values and keeps what was typed.
    void sampleFromTheStore() {
        QTemporaryDir dir;
        const QString batch = dir.filePath(QStringLiteral("fiber-b7.csv"));
        const QString other = dir.filePath(QStringLiteral("fiber-c2.csv"));
        QVERIFY(writeBatchFile(batch, simulatedBatch(37, QStringLiteral("Fiber_B7"))));
        QVERIFY(writeBatchFile(other, simulatedBatch(11, QStringLiteral("Fiber_C2"), 0.8)));
        const QString store = dir.filePath(QStringLiteral("store.sqlite"));
        {
            ResultsDatabase db;
            QVERIFY2(db.open(store), qPrintable(db.error()));
            for (const QString& file : {batch, other}) {
                QString why;
                const auto rows = ReadDataFileRows(file, &why);
                QVERIFY2(rows, qPrintable(why));
                QVERIFY2(db.reconcile(file, *rows, QStringLiteral("import"), false), qPrintable(db.error()));
            }
        }
        const QByteArray storeBytes = [&store] {
            QFile f(store);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        const QDateTime storeTime = QFileInfo(store).lastModified();

        const QStringList service{QStringLiteral("--service-stress"), QStringLiteral("1000"),
                                  QStringLiteral("--target-F"),       QStringLiteral("1e-5"),
                                  QStringLiteral("--years"),          QStringLiteral("25")};
        const Result fromFile = run(QStringList{QStringLiteral("--from"), batch} + service);
        QCOMPARE(fromFile.code, 0);
        const Result fromStore =
            run(QStringList{QStringLiteral("--sample"), QStringLiteral("b7")} + service, store);
        QVERIFY2(fromStore.code == 0, qPrintable(fromStore.err));
        QCOMPARE(fromStore.values.keys(), fromFile.values.keys());
        for (auto it = fromFile.values.begin(); it != fromFile.values.end(); ++it) {
            if (!it.key().endsWith(QLatin1String("_source")))
                QVERIFY2(fromStore.values.value(it.key()) == it.value(), qPrintable(it.key()));
            else if (it.value().startsWith(QLatin1String("batch:")))
                QVERIFY2(fromStore.values.value(it.key()).startsWith(
                             QStringLiteral("store: sample b7, 60 results; ")),
                         qPrintable(fromStore.values.value(it.key())));
        }
        QVERIFY(fromStore.values.value(QStringLiteral("n_source"))
                    .contains(QStringLiteral("dynamic fatigue, 4 rate groups")));
        QCOMPARE(fromStore.values.value(QStringLiteral("service_stress_MPa_source")),
                 QStringLiteral("typed"));

        // A typed option wins over the store's value.
        const Result typed = run(QStringList{QStringLiteral("--sample"), QStringLiteral("B7"),
                                             QStringLiteral("--n"), QStringLiteral("22")} +
                                     service,
                                 store);
        QCOMPARE(typed.code, 0);
        QCOMPARE(typed.values.value(QStringLiteral("n")), QStringLiteral("22"));
        QCOMPARE(typed.values.value(QStringLiteral("m")), fromFile.values.value(QStringLiteral("m")));

        // The day the results were tested bounds the query.
        const Result sameDay = run(QStringList{QStringLiteral("--sample"), QStringLiteral("B7"),
                                               QStringLiteral("--since"), QStringLiteral("2026-12-07"),
                                               QStringLiteral("--until"), QStringLiteral("2026-12-07")} +
                                       service,
                                   store);
        QCOMPARE(sameDay.code, 0);
        QCOMPARE(sameDay.values.value(QStringLiteral("n")), fromFile.values.value(QStringLiteral("n")));

        const QString absent = dir.filePath(QStringLiteral("none.sqlite"));
        struct Case {
            const char* name;
            QStringList arguments;
            QString storePath;
            const char* reason;
        };
        const QList<Case> refused{
            {"no such sample",
             {QStringLiteral("--sample"), QStringLiteral("Z9")},
             store,
             "has no results of sample Z9"},
            {"before the tests",
             {QStringLiteral("--sample"), QStringLiteral("B7"), QStringLiteral("--until"),
              QStringLiteral("2026-12-06")},
             store,
             "has no results of sample B7 until 2026-12-06"},
            {"not a date",
             {QStringLiteral("--sample"), QStringLiteral("B7"), QStringLiteral("--since"),
              QStringLiteral("soon")},
             store,
             "is not a date"},
            {"no store", {QStringLiteral("--sample"), QStringLiteral("B7")}, absent, "no results store"},
            {"file and sample",
             {QStringLiteral("--sample"), QStringLiteral("B7"), QStringLiteral("--from"), batch},
             store,
             "not both"},
        };
        for (const Case& c : refused) {
            const Result r = run(c.arguments + service, c.storePath);
            QVERIFY2(r.code == 2 && r.values.isEmpty(), c.name);
            QVERIFY2(r.err.contains(QLatin1String(c.reason)),
                     qPrintable(QLatin1String(c.name) + QStringLiteral(": ") + r.err));
        }
        QVERIFY(!QFileInfo::exists(absent));

        // The window, as the program opens it: a typed service stress stays.
        frmLifetime window({}, [](double strain) { return strain * 741.6; });
        window.setStoreQuery([&store](const QString& sample, const LifetimeInputs& kept, QString* error) {
            return LifetimeStoreQuery::Inputs(store, {sample, {}, {}}, kept, error);
        });
        QLineEdit* stress = window.txtInput.value(QStringLiteral("service_stress_MPa"));
        stress->setText(QStringLiteral("1000"));
        stress->setModified(true);
        emit stress->editingFinished();
        window.txtStoreSample->setText(QStringLiteral("Z9"));
        window.cmdFromStore->click();
        QVERIFY(window.lblStoreOutcome->text().contains(QStringLiteral("no results of sample Z9")));
        QVERIFY(!window.inputs().m.value);
        window.txtStoreSample->setText(QStringLiteral("fiber b7"));
        window.cmdFromStore->click();
        for (const char* key : {"m", "m_low", "m_high", "n", "n_low", "n_high", "sigma0_MPa",
                                "gauge_length_m", "stress_rate_MPa/s"}) {
            QVERIFY2(window.txtInput.value(QLatin1String(key))->text() ==
                         fromFile.values.value(QLatin1String(key)),
                     key);
            QVERIFY2(window.lblSource.value(QLatin1String(key))
                         ->text()
                         .startsWith(QStringLiteral("store: sample fiber b7, 60 results")),
                     key);
        }
        QCOMPARE(window.txtInput.value(QStringLiteral("service_stress_MPa"))->text(), QStringLiteral("1000"));
        QCOMPARE(window.lblSource.value(QStringLiteral("service_stress_MPa"))->text(),
                 QStringLiteral("typed"));

        // Nothing of the above wrote to the store.
        QCOMPARE(QFileInfo(store).lastModified(), storeTime);
        QFile after(store);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QVERIFY(after.readAll() == storeBytes);
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
