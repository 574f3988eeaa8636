#include "results/DataFileRows.h"

#include "params/Cp1252.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {
// Comma-separated fields; a field in double quotes may hold commas and doubled double quotes.
QStringList splitFields(QStringView line) {
    QStringList fields;
    fields.reserve(17);
    if (!line.contains(QLatin1Char('"'))) {
        for (QStringView f : line.split(QLatin1Char(',')))
            fields.append(f.trimmed().toString());
    } else {
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
    }
    while (fields.size() < 17)
        fields.append(QString());
    return fields;
}

QString decode(const QByteArray& bytes) {
    // Latin-1 is Windows-1252 outside 0x80-0x9F, and much faster for a large file.
    const bool plain = std::none_of(bytes.begin(), bytes.end(), [](char b) {
        const auto u = static_cast<unsigned char>(b);
        return u >= 0x80 && u < 0xA0;
    });
    return plain ? QString::fromLatin1(bytes) : Cp1252::decode(bytes);
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
    const QString text = decode(file.readAll());
    QList<QStringList> rows;
    bool header = true;
    for (QStringView raw : QStringView(text).split(QLatin1Char('\n'))) {
        const QStringView line = raw.trimmed(); // also the CR of CR LF
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
