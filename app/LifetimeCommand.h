#pragma once

#include "experiments/LifetimeInputs.h"

#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

// stavely --lifetime: the lifetime model from options, or from a data file's batch or a sample's results
// in the results store, as key<TAB>value lines. Exit 0 done, 2 missing or impossible input (the reasons on
// err).
namespace LifetimeCommand {
inline const QString Usage = QStringLiteral(
    "stavely --lifetime [--from DATAFILE | --sample NAME [--since DATE] [--until DATE]] [--m M] [--m-low M] "
    "[--m-high M] [--n N] [--n-low N] [--n-high N]\n"
    "                   [--proof-stress MPa] [--proof-time s] [--proof-breaks-per-km NP] [--length-km L]\n"
    "                   (--service-stress MPa | --service-strain %) (--years Y | --target-F F)\n");

struct Request {
    LifetimeInputs typed;
    QString fromFile;
    QString sample, since, until;        // the store's results of a sample
    std::optional<double> serviceStrain; // %
};
// The arguments after --lifetime; nullopt with *error set for an option not understood, a value that is
// not a finite number, a service stress given twice, or a data file and a sample both.
std::optional<Request> Parse(const QStringList& arguments, QString* error);
// storePath: the results store --sample reads.
int Run(const QStringList& arguments, std::FILE* out, std::FILE* err, const QString& storePath = {});
} // namespace LifetimeCommand
