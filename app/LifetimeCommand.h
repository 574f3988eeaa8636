#pragma once

#include "experiments/LifetimeInputs.h"

#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

// stavely --lifetime: the lifetime model from options, or from a data file's batch, as key<TAB>value
// lines. Exit 0 done, 2 missing or impossible input (the reasons on err).
namespace LifetimeCommand {
inline const QString Usage = QStringLiteral(
    "stavely --lifetime [--from DATAFILE] [--m M] [--m-low M] [--m-high M] [--n N] [--n-low N] [--n-high N]\n"
    "                   [--proof-stress MPa] [--proof-time s] [--proof-breaks-per-km NP] [--length-km L]\n"
    "                   (--service-stress MPa | --service-strain %) (--years Y | --target-F F)\n");

struct Request {
    LifetimeInputs typed;
    QString fromFile;
    std::optional<double> serviceStrain; // %
};
// The arguments after --lifetime; nullopt with *error set for an option not understood, a value that is
// not a finite number, or a service stress given twice.
std::optional<Request> Parse(const QStringList& arguments, QString* error);
int Run(const QStringList& arguments, std::FILE* out, std::FILE* err);
} // namespace LifetimeCommand
