#include "params/NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace {
// A finite number as its shortest round-trip decimal digits: value = 0.digits x 10^pointPos,
// i.e. pointPos digits stand before the point. Zero is digits "0", pointPos 1.
struct Decimal {
    bool negative = false;
    QString digits;
    int pointPos = 1;
};

template <class T> Decimal toDecimal(T value) {
    Decimal d;
    d.negative = std::signbit(value) && value != 0;
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
    const QString text = QString::fromLatin1(buffer, result.ptr - buffer); // "1.2345e+05"
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    d.digits = text.left(e).remove(QLatin1Char('.'));
    d.pointPos = text.mid(e + 1).toInt() + 1;
    if (value == 0) {
        d.digits = QStringLiteral("0");
        d.pointPos = 1;
    }
    return d;
}

QString plainText(const Decimal& d) {
    QString s;
    const int n = int(d.digits.size());
    if (d.pointPos <= 0)
        s = QStringLiteral("0.") + QString(-d.pointPos, QLatin1Char('0')) + d.digits;
    else if (d.pointPos >= n)
        s = d.digits + QString(d.pointPos - n, QLatin1Char('0'));
    else
        s = d.digits.left(d.pointPos) + QLatin1Char('.') + d.digits.mid(d.pointPos);
    return d.negative ? QLatin1Char('-') + s : s;
}

QString exponentText(const Decimal& d) {
    QString s = d.digits.left(1);
    if (d.digits.size() > 1)
        s += QLatin1Char('.') + d.digits.mid(1);
    const int exponent = d.pointPos - 1;
    s += exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
    s += QString::number(std::abs(exponent)).rightJustified(2, QLatin1Char('0'));
    return d.negative ? QLatin1Char('-') + s : s;
}

template <class T> QString defaultText(T value) {
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
    const Decimal d = toDecimal(value);
    const int exponent = d.pointPos - 1;
    return exponent >= -5 && exponent < 15 ? plainText(d) : exponentText(d);
}

// Adds one to a string of decimal digits.
QString incremented(QString digits) {
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != QLatin1Char('9')) {
            digits[i] = QChar(digits[i].unicode() + 1);
            return digits;
        }
        digits[i] = QLatin1Char('0');
    }
    return QLatin1Char('1') + digits;
}
} // namespace

QString numberText(double value) {
    return defaultText(value);
}
QString numberText(float value) {
    return defaultText(value);
}
QString numberText(int value) {
    return QString::number(value);
}

QString generalText(double value) {
    if (!std::isfinite(value))
        return numberText(value);
    char buffer[64];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    double rounded = value;
    std::from_chars(buffer, written.ptr, rounded);
    return numberText(rounded);
}

std::optional<double> toNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<bool> toBoolean(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto number = toNumber(trimmed))
        return *number != 0;
    return std::nullopt;
}

QString fixedText(double value, int decimals) {
    decimals = std::max(decimals, 0);
    if (!std::isfinite(value))
        return numberText(value);
    const Decimal d = toDecimal(value);
    // Keep the digits down to the last decimal place, then round on the first digit dropped.
    const int keep = d.pointPos + decimals;
    QString units;
    if (keep > 0) {
        units = d.digits.left(keep);
        if (units.size() < keep)
            units += QString(keep - units.size(), QLatin1Char('0'));
    }
    if (keep >= 0 && keep < d.digits.size() && d.digits[keep] >= QLatin1Char('5'))
        units = incremented(units.isEmpty() ? QStringLiteral("0") : units);
    if (units.size() < decimals + 1)
        units = QString(decimals + 1 - units.size(), QLatin1Char('0')) + units;
    QString s = units;
    if (decimals > 0)
        s.insert(s.size() - decimals, QLatin1Char('.'));
    // A result that rounds to zero carries no sign.
    const bool zero =
        std::all_of(units.cbegin(), units.cend(), [](QChar c) { return c == QLatin1Char('0'); });
    return d.negative && !zero ? QLatin1Char('-') + s : s;
}

QString formatPattern(double value, const QString& pattern) {
    qsizetype i = 0;
    auto isPlaceholder = [&](qsizetype at) {
        const QChar c = pattern.at(at);
        return c == QLatin1Char('0') || c == QLatin1Char('#') || c == QLatin1Char('.');
    };
    while (i < pattern.size() && !isPlaceholder(i))
        ++i;
    const QString prefix = pattern.left(i);
    int integerZeros = 0, fixedDecimals = 0, optionalDecimals = 0;
    bool point = false;
    for (; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('.'))
            point = true;
        else if (c == QLatin1Char('0'))
            point ? ++fixedDecimals : ++integerZeros;
        else if (c == QLatin1Char('#') && point)
            ++optionalDecimals;
    }
    const QString fixed = fixedText(value, fixedDecimals + optionalDecimals);
    const bool negative = fixed.startsWith(QLatin1Char('-'));
    const QString magnitude = negative ? fixed.mid(1) : fixed;
    const qsizetype dot = magnitude.indexOf(QLatin1Char('.'));
    QString whole = dot < 0 ? magnitude : magnitude.left(dot);
    QString fraction = dot < 0 ? QString() : magnitude.mid(dot + 1);
    while (fraction.size() > fixedDecimals && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (integerZeros == 0 && whole == QLatin1String("0"))
        whole.clear();
    if (whole.size() < integerZeros)
        whole = QString(integerZeros - whole.size(), QLatin1Char('0')) + whole;
    QString s = prefix + (negative ? QStringLiteral("-") : QString()) + whole;
    if (point)
        s += QLatin1Char('.') + fraction;
    return s;
}

QString FormatNum(double value, int width, int decimals) {
    QString pattern = QStringLiteral("0");
    if (decimals != 0)
        pattern += QLatin1Char('.') +
                   RepeatText(decimals > 0 ? QLatin1Char('0') : QLatin1Char('#'), std::abs(decimals));
    QString s = formatPattern(value, pattern);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    if (width > 0)
        return PadLeft(s, width);
    const qsizetype point = s.indexOf(QLatin1Char('.')) + 1; // counted from 1; 0: none
    if (point == 0)
        return s; // never cut into the integer part
    if (point > -width)
        return s.left(point - 1);
    return s.left(1 - width);
}

QString FormatAlike(double value, double templ, int width, int decimals) {
    QString pattern = FormatNum(templ, width, decimals);
    pattern.remove(QLatin1Char('-'));
    for (QChar& c : pattern)
        if (c >= QLatin1Char('1') && c <= QLatin1Char('9'))
            c = QLatin1Char('0');
    while (pattern.startsWith(QLatin1String("00")))
        pattern.remove(0, 1);
    return formatPattern(value, pattern);
}

QString PadLeft(const QString& text, int width, QChar pad) {
    return text.size() >= width ? text : QString(width - text.size(), pad) + text;
}

QString RepeatText(QChar c, int count) {
    return count > 0 ? QString(count, c) : QString();
}

bool Between(double value, double bound1, double bound2) {
    if (bound1 > bound2)
        SwapValues(bound1, bound2);
    return bound1 <= value && value <= bound2;
}

bool Contains(const QString& part, const QString& text) {
    return text.contains(part);
}
