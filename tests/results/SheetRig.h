#pragma once

#include "params/Cp1252.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "results/DataFile.h"
#include "results/DataLine.h"
#include "results/Datasheet.h"
#include "results/DatasheetCommands.h"
#include "tests/support/ScriptedOperator.h"

#include <QFile>
#include <QTemporaryDir>

// A datasheet over real files in a temporary folder, a real settings file and a scripted operator.
struct SheetRig {
    QTemporaryDir dir;
    ScriptedOperator op;
    Parameters params;
    SettingsStore store{dir.filePath(QStringLiteral("Corvane.ini"))};
    ParameterTable table{params, store, op};
    Datasheet sheet{op, params, table, store};
    DatasheetCommands commands{sheet, op, params};

    QString path(const QString& name) const { return dir.filePath(name); }

    QString write(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return path(name);
    }
    QByteArray read(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A break-test row as the analysis writes it, specimen n, with the given comment.
    static QStringList result(int n, const QString& comment = {}, const QString& load = {}) {
        const QString lt = load.isEmpty() ? QString::number(40 + (n * 37) % 23 + 0.125, 'f', 3) : load;
        return {QString::number(n),
                lt,
                QStringLiteral("38.5"),
                QStringLiteral("4812"),
                QStringLiteral("6.21"),
                QStringLiteral("60 MPa/s"),
                QStringLiteral("812.4"),
                QStringLiteral("3.1"),
                QStringLiteral("4.9"),
                QStringLiteral("0.05"),
                QStringLiteral("59.8"),
                QStringLiteral("0.6"),
                QStringLiteral("81.2"),
                QStringLiteral("26/12/07"),
                QStringLiteral("10:%1:00").arg(n % 60, 2, 10, QLatin1Char('0')),
                comment,
                QStringLiteral("125 500 0 72 3 0 0")};
    }
    static QByteArray line(const QStringList& fields) {
        return DataFile::Encoded(DataLine::FileLine(fields));
    }
    static QByteArray header() { return DataFile::Encoded(DataLine::HeaderLine()); }
    static QByteArray file(int rows) {
        QByteArray bytes = header();
        for (int n = 1; n <= rows; ++n)
            bytes += line(result(n));
        return bytes;
    }
    // Column c of every result row, in the order the grid shows them.
    QStringList column(int c) const {
        QStringList out;
        for (int i = 0; i < sheet.resultRows(); ++i)
            out << sheet.model().cell(i, c);
        return out;
    }
};
