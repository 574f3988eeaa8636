#include "results/DataLine.h"

#include "params/Cp1252.h"

#include <QFileInfo>
#include <QVarLengthArray>
#include <charconv>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace {
char16_t unit(QChar c) {
    return c.unicode();
}
char16_t unit(char c) {
    return static_cast<unsigned char>(c);
}

qsizetype find(QStringView text, QChar c, qsizetype from) {
    return text.indexOf(c, from);
}
// The file's bytes are searched straight, a field of a few bytes at a time.
qsizetype find(QByteArrayView text, char c, qsizetype from) {
    if (from >= text.size())
        return -1;
    const void* at = std::memchr(text.data() + from, c, std::size_t(text.size() - from));
    return at ? static_cast<const char*>(at) - text.data() : -1;
}

// Splits into trimmed views of the line (text, or the file's bytes); a field whose view still
// holds doubled double quotes is handed over with unescape set. Returns the suspicious items that
// the splitting itself finds; *extra tells whether text was left over after the last field.
template <class View, class Sink> int split(View text, Sink&& sink, bool* extra = nullptr) {
    using Char = std::remove_cv_t<std::remove_reference_t<decltype(text[0])>>;
    const Char quote = static_cast<Char>(u'"');
    const Char comma = static_cast<Char>(u',');
    qsizetype pos = 0;
    const qsizetype n = text.size();
    int i = 1;
    // A comma always has a field after it, even an empty one at the end of the line: that is how a
    // row whose last field is empty is written.
    bool more = n > 0;
    while (more && i < DataLine::Columns) {
        View field;
        if (pos >= n || text[pos] != quote) {
            const qsizetype next = pos < n ? find(text, comma, pos) : -1;
            const qsizetype end = next < 0 ? n : next;
            field = text.sliced(pos, end - pos);
            pos = next < 0 ? n : next + 1;
            more = next >= 0;
        } else {
            // A quoted field ends at the first double quote that is not doubled.
            qsizetype close = pos + 1;
            for (;;) {
                close = close < n ? find(text, quote, close) : -1;
                if (close < 0 || close + 1 >= n || text[close + 1] != quote)
                    break;
                close += 2;
            }
            const qsizetype end = close < 0 ? n : close;
            field = text.sliced(pos + 1, end - pos - 1);
            pos = close < 0 ? n : close + 1;
            more = pos < n;
            if (pos < n && text[pos] == comma)
                ++pos;
        }
        while (!field.isEmpty() && unit(field.front()) == u' ')
            field = field.sliced(1);
        while (!field.isEmpty() && unit(field.back()) == u' ')
            field.chop(1);
        bool doubled = false;
        for (qsizetype q = field.indexOf(quote); q >= 0 && q + 1 < field.size();
             q = field.indexOf(quote, q + 1))
            if (field[q + 1] == quote) {
                doubled = true;
                break;
            }
        sink(i, field, doubled);
        ++i;
    }
    int bad = 0;
    if (i < DataLine::Columns)
        ++bad;
    if (pos < n)
        ++bad;
    if (extra)
        *extra = pos < n;
    return bad;
}

// The datasheet's usual numbers ("812", "-12.345"): an optional minus, digits, and an optional
// point with digits after it, short enough that no value of that form overflows or underflows. The
// general parser reads every such text as a number.
constexpr qsizetype LongestPlain = 40;

template <class Char> bool plainForm(const Char* s, qsizetype n, qsizetype* point = nullptr) {
    if (n == 0 || n > LongestPlain)
        return false;
    qsizetype i = unit(s[0]) == u'-' ? 1 : 0;
    const qsizetype intStart = i;
    while (i < n && unit(s[i]) >= u'0' && unit(s[i]) <= u'9')
        ++i;
    if (i == intStart)
        return false;
    if (point)
        *point = i;
    if (i == n)
        return true;
    if (unit(s[i]) != u'.')
        return false;
    const qsizetype fracStart = ++i;
    while (i < n && unit(s[i]) >= u'0' && unit(s[i]) <= u'9')
        ++i;
    return i > fracStart && i == n;
}

// Such a number's value, read without the general parser: both round correctly, so the value is
// the same. False when the text is not of that form.
template <class Char> bool plainDecimal(const Char* s, qsizetype n, double* value) {
    qsizetype point = 0;
    if (!plainForm(s, n, &point))
        return false;
    const bool negative = unit(s[0]) == u'-';
    // Whole numbers below 2^53 are exact as they are added up.
    if (point == n && n - (negative ? 1 : 0) <= 15) {
        qint64 whole = 0;
        for (qsizetype i = negative ? 1 : 0; i < n; ++i)
            whole = whole * 10 + (unit(s[i]) - u'0');
        *value = negative ? -double(whole) : double(whole);
        return true;
    }
    char ascii[LongestPlain];
    for (qsizetype i = 0; i < n; ++i)
        ascii[i] = char(unit(s[i]));
    const auto [end, error] = std::from_chars(ascii, ascii + n, *value);
    return error == std::errc() && end == ascii + n;
}

// The datasheet's number test, for a text: only plain decimal numbers, no "inf", "nan" or
// hexadecimal.
std::optional<double> generalNumber(QStringView text) {
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    double quick = 0;
    if (plainDecimal(text.data(), text.size(), &quick))
        return quick;
    const QChar first = text.front();
    if (!(first.isDigit() || first == QLatin1Char('-') || first == QLatin1Char('+') ||
          first == QLatin1Char('.')))
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Reading strips a line's leading blanks and skips it when it then starts with ";": a first field
// of that form must be quoted, or its row would read back as a comment.
bool looksLikeComment(QStringView field) {
    while (!field.isEmpty() && field.front() == QLatin1Char(' '))
        field = field.mid(1);
    return !field.isEmpty() && field.front() == QLatin1Char(';');
}

QString unescaped(QStringView field) {
    QString value = field.toString();
    value.replace(QLatin1String("\"\""), QLatin1String("\""));
    return value;
}

int suspiciousEntry(QStringView field) {
    return field.isEmpty() || DataLine::IsNumber(field) || DataLine::IsDate(field) ? 0 : 1;
}

bool allDigits(QStringView text) {
    if (text.isEmpty() || text.size() > 4)
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

bool validDate(int y, int m, int d) {
    if (y < 100)
        y += y < 30 ? 2000 : 1900;
    static constexpr std::array<int, 12> days{31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1 || d > days[size_t(m - 1)])
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return !(m == 2 && d == 29 && !leap);
}
} // namespace

const std::array<QString, DataLine::Columns>& DataLine::Titles() {
    static const std::array<QString, Columns> titles{
        QString(),
        QStringLiteral("N"),
        QStringLiteral("Lt (N)"),
        QStringLiteral("Lf (N)"),
        QStringLiteral("s (MPa)"),
        QStringLiteral("e (%)"),
        QStringLiteral("nom rate"),
        QStringLiteral("v (µm/s)"),
        QStringLiteral("±"),
        QStringLiteral("e. (%/min)"),
        QStringLiteral("±"),
        QStringLiteral("s. (MPa/s)"),
        QStringLiteral("±"),
        QStringLiteral("t (s)"),
        QStringLiteral("date"),
        QStringLiteral("time"),
        QStringLiteral("comments"),
        QStringLiteral("df GL EA Eo Ea Preload start"),
    };
    return titles;
}

const std::array<QString, DataLine::Columns>& DataLine::TitleTips() {
    static const std::array<QString, Columns> tips{
        QStringLiteral("Row number: the order in which the rows were added"),
        QStringLiteral("N: specimen number"),
        QStringLiteral("Lt: measured load at break (N)"),
        QStringLiteral("Lf: load carried by the glass at break (N)"),
        QStringLiteral("s: stress in the glass at break (MPa)"),
        QStringLiteral("e: strain at break (%)"),
        QStringLiteral("nom rate: the rate set for the test (speed, stress rate or strain rate)"),
        QStringLiteral("v: capstan speed achieved over the rate fit (\u00b5m/s)"),
        QStringLiteral("\u00b1: uncertainty of the speed (\u00b5m/s)"),
        QStringLiteral("e.: strain rate achieved over the rate fit (%/min)"),
        QStringLiteral("\u00b1: uncertainty of the strain rate (%/min)"),
        QStringLiteral("s.: stress rate achieved over the rate fit (MPa/s)"),
        QStringLiteral("\u00b1: uncertainty of the stress rate (MPa/s)"),
        QStringLiteral("t: time from the start of the pull to the break (s)"),
        QStringLiteral("date of the break (yy/mm/dd)"),
        QStringLiteral("time of the break"),
        QStringLiteral("comments: your notes; a comment starting with \"ignore\" leaves the row out of the "
                       "statistics"),
        QStringLiteral(
            "Test conditions, item by item: fiber diameter (\u00b5m), gauge length (mm), coating EA "
            "(N), modulus Eo (GPa), modulus correction Ea, preload (N) / preload speed (\u00b5m/s), "
            "start date and time of the run, capstan travel (mm) / travel over the strain at "
            "break; then operator: and sample: when given"),
    };
    return tips;
}

QString DataLine::HeaderLine() {
    QStringList titles;
    for (int c = 1; c < Columns; ++c)
        titles.append(Titles()[size_t(c)]);
    return FileLine(titles);
}

int DataLine::ParseDataLine(QStringView line, Fields& fields) {
    for (QString& f : fields)
        f.clear();
    int bad = split(line, [&](int i, QStringView field, bool unescape) {
        fields[size_t(i)] = unescape ? unescaped(field) : field.toString();
    });
    for (int c = 1; c <= 5; ++c)
        bad += suspiciousEntry(fields[size_t(c)]);
    return bad;
}

int DataLine::ParseDataLine(QStringView line, DataRow& row, bool* extraFields) {
    row.clear();
    int bad = 0;
    bad += split(
        line,
        [&](int i, QStringView field, bool unescape) {
            if (unescape) {
                const QString value = unescaped(field);
                row.append(value);
                if (i <= 5)
                    bad += suspiciousEntry(value);
                return;
            }
            row.append(field);
            if (i <= 5)
                bad += suspiciousEntry(field);
        },
        extraFields);
    return bad;
}

int DataLine::ParseDataLine(QByteArrayView line, DataRow& row, bool* extraFields) {
    // The fields are gathered here and the row takes them in one piece.
    QVarLengthArray<char, 512> text;
    std::array<quint32, DataRow::Fields + 1> starts{};
    int bad = 0;
    int filled = 0;
    bad += split(
        line,
        [&](int i, QByteArrayView field, bool unescape) {
            const qsizetype from = text.size();
            if (unescape) {
                for (qsizetype k = 0; k < field.size(); ++k) {
                    text.append(field[k]);
                    if (field[k] == '"' && k + 1 < field.size() && field[k + 1] == '"')
                        ++k;
                }
            } else {
                text.append(field.data(), field.size());
            }
            starts[size_t(i)] = quint32(text.size());
            filled = i;
            if (i <= 5) {
                const QByteArrayView value(text.data() + from, text.size() - from);
                if (!value.isEmpty() && !plainForm(value.data(), value.size()))
                    bad += suspiciousEntry(Cp1252::decode(value));
            }
        },
        extraFields);
    for (int c = filled + 1; c <= DataRow::Fields; ++c)
        starts[size_t(c)] = quint32(text.size());
    row.assign(QByteArrayView(text.data(), text.size()), starts);
    return bad;
}

QString DataLine::QuoteField(const QString& field, bool first) {
    const bool quote = field.contains(QLatin1Char('"'));
    if (!quote && !field.contains(QLatin1Char(',')) && !(first && looksLikeComment(field)))
        return field;
    QString quoted = field;
    if (quote)
        quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString DataLine::FileLine(const QStringList& fields) {
    QString line;
    for (int c = 0; c < fields.size(); ++c) {
        if (c > 0)
            line += QLatin1Char(',');
        line += QuoteField(fields.at(c), c == 0);
    }
    return line;
}

QString DataLine::FileLine(const DataRow& row) {
    QString line;
    line.reserve(160);
    for (int c = 1; c <= DataRow::Fields; ++c) {
        if (c > 1)
            line += QLatin1Char(',');
        line += QuoteField(row.field(c), c == 1);
    }
    return line;
}

QByteArray DataLine::FileBytes(const DataRow& row) {
    if (!row.isNarrow())
        return Cp1252::encode(FileLine(row));
    QByteArray line;
    line.reserve(160);
    for (int c = 1; c <= DataRow::Fields; ++c) {
        if (c > 1)
            line += ',';
        const QByteArrayView f = row.bytes(c);
        const bool quote = f.contains('"');
        bool comment = false;
        if (c == 1) {
            qsizetype k = 0;
            while (k < f.size() && f[k] == ' ')
                ++k;
            comment = k < f.size() && f[k] == ';';
        }
        if (!quote && !comment && !f.contains(',')) {
            line += f;
            continue;
        }
        line += '"';
        for (const char b : f) {
            line += b;
            if (b == '"')
                line += '"';
        }
        line += '"';
    }
    return line;
}

QStringView DataLine::StripLine(QStringView line) {
    while (!line.isEmpty() && line.front() == QLatin1Char(' '))
        line = line.mid(1);
    while (!line.isEmpty() && line.back() == QLatin1Char(' '))
        line.chop(1);
    return line;
}

QByteArrayView DataLine::StripLine(QByteArrayView line) {
    while (!line.isEmpty() && line.front() == ' ')
        line = line.sliced(1);
    while (!line.isEmpty() && line.back() == ' ')
        line.chop(1);
    return line;
}

bool DataLine::IsSkipped(QStringView stripped) {
    return stripped.isEmpty() || stripped.front() == QLatin1Char(';');
}

bool DataLine::IsSkipped(QByteArrayView stripped) {
    return stripped.isEmpty() || stripped.front() == ';';
}

bool DataLine::FileCanHold(QStringView text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // A NUL byte would make the file read as binary data.
        if (u == u'\r' || u == u'\n' || u == 0)
            return false;
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
            continue;
        if (Cp1252::encode(QString(c)) == "?")
            return false;
    }
    return true;
}

std::optional<double> DataLine::Number(QStringView text) {
    return generalNumber(text);
}

std::optional<double> DataLine::Number(const DataRow& row, int column) {
    double value = 0;
    const QByteArrayView bytes = row.bytes(column);
    if (row.isNarrow() && plainDecimal(bytes.data(), bytes.size(), &value))
        return value;
    return row.withField(column, [](QStringView text) { return generalNumber(text); });
}

bool DataLine::IsNumber(QStringView text) {
    return Number(text).has_value();
}

bool DataLine::IsDate(QStringView text) {
    text = text.trimmed();
    if (text.size() < 5 || text.size() > 10)
        return false;
    // A time of day "h:mm" or "hh:mm:ss".
    if (text.contains(QLatin1Char(':'))) {
        const auto parts = text.split(QLatin1Char(':'));
        if (parts.size() < 2 || parts.size() > 3)
            return false;
        const std::array<int, 3> limits{24, 60, 60};
        for (qsizetype i = 0; i < parts.size(); ++i)
            if (!allDigits(parts[i]) || parts[i].size() > 2 || parts[i].toInt() >= limits[size_t(i)])
                return false;
        return true;
    }
    // Three numbers separated by "/", "-" or ".", read as y/m/d, d/m/y or m/d/y.
    QChar sep;
    for (QChar c : text)
        if (c == QLatin1Char('/') || c == QLatin1Char('-') || c == QLatin1Char('.')) {
            sep = c;
            break;
        }
    if (sep.isNull())
        return false;
    const auto parts = text.split(sep);
    if (parts.size() != 3)
        return false;
    for (const QStringView p : parts)
        if (!allDigits(p))
            return false;
    const int a = parts[0].toInt(), b = parts[1].toInt(), c = parts[2].toInt();
    return validDate(a, b, c) || validDate(c, b, a) || validDate(c, a, b);
}

int DataLine::HeaderMismatches(const Fields& header) {
    int mismatches = 0;
    for (int c = 0; c < Columns; ++c) {
        const QString& title = Titles()[size_t(c)];
        if (!header[size_t(c)].isEmpty() && header[size_t(c)] != title && c != ParameterColumn &&
            !title.contains(QChar(0xB5)))
            ++mismatches;
    }
    return mismatches;
}

QString DataLine::BackupName(const QString& dataFile) {
    const QFileInfo info(dataFile);
    const QString name = info.fileName();
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1) == QLatin1Char('.'))
        --end;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'), end - 1);
    QString backup =
        dot >= 0 && end > 0 ? name.left(dot + 1) + QStringLiteral("BAK") : name + QStringLiteral(".BAK");
    if (backup.compare(name, Qt::CaseInsensitive) == 0)
        backup = name + QStringLiteral(".BAK");
    const QString folder = dataFile.left(dataFile.size() - name.size());
    return folder + backup;
}
