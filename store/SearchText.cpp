#include "store/SearchText.h"

#include <QRegularExpression>

namespace {
QString folded(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('_'), QLatin1Char(' '));
    return t.simplified().toCaseFolded();
}

// The locale's short date form with a four-digit year: typed dates carry the whole year.
QString fullYearFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}
} // namespace

bool SearchText::NameMatches(const QString& typed, const QString& name) {
    const QString pattern = folded(typed);
    if (pattern.isEmpty())
        return true;
    const QString text = folded(name);
    if (!pattern.contains(QLatin1Char('*')) && !pattern.contains(QLatin1Char('?')))
        return text.contains(pattern);
    QString expression;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('*'))
            expression += QStringLiteral(".*");
        else if (c == QLatin1Char('?'))
            expression += QLatin1Char('.');
        else
            expression += QRegularExpression::escape(QString(c));
    }
    static thread_local QHash<QString, QRegularExpression> cache;
    auto found = cache.find(expression);
    if (found == cache.end()) {
        if (cache.size() > 64)
            cache.clear();
        found = cache.insert(expression, QRegularExpression(expression));
    }
    return found->match(text).hasMatch();
}

std::optional<QDate> SearchText::ParseDate(const QString& typed, const QLocale& locale) {
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    // ISO first: it reads the same everywhere.
    static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2}$"));
    if (iso.match(text).hasMatch()) {
        const QStringList parts = text.split(QLatin1Char('-'));
        const QDate date(parts[0].toInt(), parts[1].toInt(), parts[2].toInt());
        return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
    }
    QString twoDigitYear = fullYearFormat(locale);
    twoDigitYear.replace(QLatin1String("yyyy"), QLatin1String("yy"));
    for (const QString& format :
         {fullYearFormat(locale), twoDigitYear, locale.dateFormat(QLocale::LongFormat)}) {
        QDate date = locale.toDate(text, format);
        if (!date.isValid())
            continue;
        // A two-digit year is this century's.
        if (date.year() < 100)
            date = date.addYears(2000);
        else if (date.year() < 2000 && !format.contains(QLatin1String("yyyy")))
            date = date.addYears(100);
        return date;
    }
    return std::nullopt;
}

QString SearchText::DateHint(const QLocale& locale) {
    return QStringLiteral("yyyy-mm-dd or ") + fullYearFormat(locale).toLower();
}
