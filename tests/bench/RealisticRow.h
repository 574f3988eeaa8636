#pragma once

#include "results/DataFile.h"
#include "results/DataLine.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <functional>

// A result row as a batch at 60 MPa/s writes it, with the comment and test conditions given.
inline QStringList RealisticRow(int n, QRandomGenerator& random, const QString& comment,
                                const QString& conditions) {
    const double load = 30 + random.generateDouble() * 30;
    return {QString::number(n),
            QString::number(load, 'f', 3),
            QString::number(load * 0.96, 'f', 3),
            QString::number(load * 0.96 / 0.0122718, 'f', 1),
            QString::number(load / 8.5, 'f', 3),
            QStringLiteral("60 MPa/s"),
            QString::number(800 + random.generateDouble() * 40, 'f', 1),
            QString::number(random.generateDouble() * 5, 'f', 2),
            QString::number(4.5 + random.generateDouble(), 'f', 3),
            QString::number(random.generateDouble() * 0.1, 'f', 3),
            QString::number(59 + random.generateDouble() * 2, 'f', 2),
            QString::number(random.generateDouble(), 'f', 2),
            QString::number(70 + random.generateDouble() * 20, 'f', 2),
            QStringLiteral("26/%1/%2")
                .arg(1 + n % 12, 2, 10, QLatin1Char('0'))
                .arg(1 + n % 28, 2, 10, QLatin1Char('0')),
            QStringLiteral("%1:%2:%3")
                .arg(n / 3600 % 24, 2, 10, QLatin1Char('0'))
                .arg(n / 60 % 60, 2, 10, QLatin1Char('0'))
                .arg(n % 60, 2, 10, QLatin1Char('0')),
            comment,
            conditions};
}

// A data file of the given rows under its header; its size in bytes, or -1 when it cannot be written.
inline qint64 WriteDataFile(const QString& path, int rows, const std::function<QStringList(int)>& row) {
    QByteArray bytes = DataFile::Encoded(DataLine::HeaderLine());
    for (int n = 1; n <= rows; ++n)
        bytes += DataFile::Encoded(DataLine::FileLine(row(n)));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return -1;
    return bytes.size();
}
