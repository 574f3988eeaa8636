#pragma once

#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "tests/support/ScriptedOperator.h"

#include <QFile>
#include <QTemporaryDir>

// A parameter table over a real INI file in a temporary folder and a scripted operator.
struct TableFixture {
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("Corvane.ini"))};
    Parameters p;
    ScriptedOperator op;
    ParameterTable table{p, store, op};

    QString path(const QString& name) const { return dir.filePath(name); }

    // A store value as it lies in the product's section.
    QString stored(const QString& name) const {
        return store.getText(QStringLiteral("STAVELY"), name, QStringLiteral("<none>"));
    }

    QString writeFile(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return path(name);
    }

    QByteArray readFile(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};
