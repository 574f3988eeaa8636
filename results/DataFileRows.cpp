#include "results/DataFileRows.h"

#include "params/Cp1252.h"

#include <QFile>
#include <QFileInfo>

namespace {
// Comma-separated fields; a field in double quotes may hold commas and doubled double quotes.
QStringList splitFields(const QString& line) {
    QStringList fields;
    QString current;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c != QLatin1Char('"'))
                current += c;
            else if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"'))
                current += line.at(++i);
            else
                quoted = false;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields.append(current.trimmed());
            current.clear();
        } else {
            current += c;
        }
    }
    fields.append(current.trimmed());
    while (fields.size() < 17)
        fields.append(QString());
    return fields;
}
} // namespace

std::optional<QList<QStringList>> ReadDataFileRows(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("no such file");
        return std::nullopt;
    }
    if (info.isDir()) {
        *error = QStringLiteral("it is a folder, not a file");
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    const QStringList lines = Cp1252::splitLines(Cp1252::decode(file.readAll()));
    QList<QStringList> rows;
    rows.reserve(lines.size());
    bool header = true;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (header) {
            header = false;
            continue;
        }
        rows.append(splitFields(line));
    }
    return rows;
}
