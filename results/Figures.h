#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

// The small figures the strength and the static statistics both take from result rows.

// The number a result field holds (C locale, blanks around it allowed); none when it holds no finite
// number.
inline std::optional<double> FieldNumber(QStringView text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// The median of a list that is not empty.
inline double Median(QList<double> values) {
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// C-locale shortest text that reads back to the same double.
inline QString ShortestText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}
