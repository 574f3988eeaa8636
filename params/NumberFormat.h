#pragma once

#include <QString>
#include <optional>
#include <utility>

// Number texts used in every display, message, settings value and configuration file.

// The default text form of a number: the shortest text that reads back to the same value, written
// plainly ("0.00001", "-200000", "21600") and with an exponent only beyond that ("1E+16", "1E-06").
QString numberText(double value);
QString numberText(float value); // shortest for single precision ("0.1", not "0.100000001")
QString numberText(int value);
// The same form from at most 15 significant digits, as data files hold numbers: values that picked
// up noise in their last bits read plainly ("0.14", not "0.14000000000000057").
QString generalText(double value);

// A number as a user types it: blanks around it, a sign, decimals and an exponent ("1e3", " 12 ").
// Empty, blank, non-finite and anything else is not a number.
std::optional<double> toNumber(const QString& text);
inline bool isNumeric(const QString& text) {
    return toNumber(text).has_value();
}

// "True"/"False" in any case, or a number (non-zero is true).
std::optional<bool> toBoolean(const QString& text);
inline QString booleanText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

// Fixed-point text with the given decimals, rounded half away from zero on the value as it reads
// (2.675 gives "2.68"); no exponent.
QString fixedText(double value, int decimals);

// Formats by a pattern such as "0.00", "0.###" or "  00.0": leading characters other than digit
// placeholders are kept, "0" before the point sets the least number of integer digits, "0" after it
// the fixed decimals and "#" the further optional ones.
QString formatPattern(double value, const QString& pattern);

// decimals > 0: that many fixed decimals; < 0: at most -decimals decimals. width > 0 pads on the
// left and never cuts; width <= 0 keeps about 1 - width characters without cutting the integer part.
QString FormatNum(double value, int width, int decimals);
// The value with as many decimals as the template shows in FormatNum(templ, width, decimals).
QString FormatAlike(double value, double templ, int width, int decimals);
QString PadLeft(const QString& text, int width, QChar pad = QLatin1Char(' '));
QString RepeatText(QChar c, int count);

template <class T> void SwapValues(T& a, T& b) {
    using std::swap;
    swap(a, b);
}
// Inclusive, whichever bound is the larger.
bool Between(double value, double bound1, double bound2);
bool Contains(const QString& part, const QString& text);
