#pragma once

#include "base/ProductIdentity.h"

#include <QString>

class Operator;
class SettingsStore;
struct Parameters;

// The identity of this run, fixed at the very start and read-only afterwards.
struct AppIdentity {
    QString title;
    QString caption;
    QString description;
    QString helpFile;
    QString iconFile;
    QString version; // "1.05"
};

// "<major>.<minor as two digits>".
QString VersionText(int major, int minor);

// A stored boolean: "True" in any case, or a non-zero number.
bool StoredTextIsTrue(const QString& text);

// First step of start-up: identity, the version check and debug mode from "ForceDebug".
AppIdentity SetProductIdentity(Parameters& parameters, const SettingsStore& settings, Operator& op,
                               const QString& programFolder, int versionMajor = ProductIdentity::VersionMajor,
                               int versionMinor = ProductIdentity::VersionMinor);
