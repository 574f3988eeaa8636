#include "app/LifetimeStoreQuery.h"

#include "results/BatchStatistics.h"
#include "store/ResultsDatabase.h"
#include "store/ResultsStore.h"
#include "store/SearchText.h"

#include <QFileInfo>

QString LifetimeStoreQuery::Query::name() const {
    QString text = QStringLiteral("sample %1").arg(sample.trimmed());
    if (!since.isEmpty())
        text += QStringLiteral(" since %1").arg(since);
    if (!until.isEmpty())
        text += QStringLiteral(" until %1").arg(until);
    return text;
}

QString LifetimeStoreQuery::Query::describe(qsizetype results) const {
    return name() +
           (results == 1 ? QStringLiteral(", 1 result") : QStringLiteral(", %1 results").arg(results));
}

std::optional<std::vector<DataRow>> LifetimeStoreQuery::Rows(const QString& storePath, const Query& query,
                                                             QString* error) {
    ResultFilter filter;
    filter.sample = query.sample.trimmed();
    if (filter.sample.isEmpty()) {
        *error = QStringLiteral("give the sample whose results to take");
        return std::nullopt;
    }
    for (const auto& [text, into] :
         {std::pair{query.since, &filter.since}, std::pair{query.until, &filter.until}}) {
        if (text.trimmed().isEmpty())
            continue;
        const std::optional<QDate> date = SearchText::ParseDate(text.trimmed());
        if (!date) {
            *error = QStringLiteral("\"%1\" is not a date (%2)").arg(text, SearchText::DateHint());
            return std::nullopt;
        }
        *into = date->toString(Qt::ISODate);
    }
    // An absent or empty file is no store: opening it must not make one.
    const QFileInfo file(storePath);
    if (!file.isFile() || file.size() == 0) {
        *error = QStringLiteral("no results store at \"%1\"").arg(storePath);
        return std::nullopt;
    }
    ResultsDatabase db;
    if (!db.openReadOnly(storePath)) {
        *error = QStringLiteral("cannot read the results store: ") + db.error();
        return std::nullopt;
    }
    db.setWho(ResultsStore::SystemUser(), QString());
    std::vector<DataRow> rows;
    const bool read = db.forEachResult(filter, [&rows](const ResultView& view) {
        // The row as its data file holds it; a field list of another length is no row of ours.
        if (view.currentFields.size() == DataRow::Fields)
            rows.emplace_back(int(rows.size()) + 1, view.currentFields);
        return true;
    });
    if (!read) {
        *error = QStringLiteral("cannot read the results store: ") + db.error();
        return std::nullopt;
    }
    if (rows.empty()) {
        *error = QStringLiteral("the results store has no results of %1").arg(query.name());
        return std::nullopt;
    }
    return rows;
}

bool LifetimeStoreQuery::FillFromRows(LifetimeInputs& in, const std::vector<DataRow>& rows,
                                      LifetimeInputs::Conditions* conditions) {
    const BatchStatistics stats(rows);
    const LifetimeInputs::Conditions c =
        LifetimeInputs::RowConditions(int(rows.size()), [&rows](int r, int index) {
            return rows[std::size_t(r)].field(index + 1).trimmed();
        });
    if (conditions != nullptr)
        *conditions = c;
    if (stats.all().specimens() == 0 && stats.proof().isEmpty() && stats.statics().isEmpty())
        return false;
    in.FillFromBatch(stats, stats.proof(), c);
    return true;
}

void LifetimeStoreQuery::NameSources(LifetimeInputs& in, const QString& queryText) {
    const QString store = QStringLiteral("store: ") + queryText + QStringLiteral("; ");
    const QLatin1String batch("batch: ");
    for (LifetimeValue* v :
         {&in.m, &in.mLow, &in.mHigh, &in.n, &in.nLow, &in.nHigh, &in.sigma0, &in.gaugeLengthM,
          &in.stressRate, &in.proofStress, &in.proofTime, &in.breaksPerKm, &in.lengthKm, &in.serviceStress,
          &in.serviceYears, &in.targetF}) {
        if (v->source.startsWith(batch))
            v->source = store + v->source.mid(batch.size());
        else if (v->source.startsWith(QLatin1String("proof rows:")))
            v->source = store + v->source;
    }
}

std::optional<LifetimeInputs> LifetimeStoreQuery::Inputs(const QString& storePath, const Query& query,
                                                         LifetimeInputs in, QString* error,
                                                         LifetimeInputs::Conditions* conditions) {
    const std::optional<std::vector<DataRow>> rows = Rows(storePath, query, error);
    if (!rows)
        return std::nullopt;
    if (!FillFromRows(in, *rows, conditions)) {
        *error = QStringLiteral("none of the %1 results of %2 in the results store is usable")
                     .arg(rows->size())
                     .arg(query.name());
        return std::nullopt;
    }
    NameSources(in, query.describe(qsizetype(rows->size())));
    return in;
}
