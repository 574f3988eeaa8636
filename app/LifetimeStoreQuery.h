#pragma once

#include "experiments/LifetimeInputs.h"
#include "results/DataRow.h"

#include <QString>
#include <optional>
#include <vector>

// The lifetime model's inputs from the results store: a sample's results taken as a data file's batch
// is taken (its tensile groups for m, σ0 and σ̇, its rate groups for n_d, its static levels for n_s).
// The store is opened to read only: a query never creates or changes it.
namespace LifetimeStoreQuery {
struct Query {
    QString sample; // any part of the name, any case
    QString since;  // yyyy-MM-dd, on the test's date; empty: no bound
    QString until;  // yyyy-MM-dd, inclusive
    // The query in words: "sample B7 since 2026-11-01"; with the count of results as the inputs'
    // sources name it: "sample B7, 24 results".
    QString name() const;
    QString describe(qsizetype results) const;
};

// The matching results' rows as the data file holds them (or held them, for a row no file holds
// now), in the order they were recorded; nullopt with *error for a store that cannot be read, a date
// that is none or a query that matches nothing.
std::optional<std::vector<DataRow>> Rows(const QString& storePath, const Query& query, QString* error);

// Fills what the rows' batch gives, as for a data file's rows (values `in` holds are kept); false when
// no row is a usable result.
bool FillFromRows(LifetimeInputs& in, const std::vector<DataRow>& rows,
                  LifetimeInputs::Conditions* conditions);

// The sources of the values a batch gave ("batch: …", "proof rows: …") then name the store query.
void NameSources(LifetimeInputs& in, const QString& queryText);

// Rows, filled in as the datasheet's batch fills them, the sources naming the query; values `in`
// holds already are kept. nullopt with *error as for Rows, or when no result can be used.
std::optional<LifetimeInputs> Inputs(const QString& storePath, const Query& query, LifetimeInputs in,
                                     QString* error, LifetimeInputs::Conditions* conditions = nullptr);
} // namespace LifetimeStoreQuery
