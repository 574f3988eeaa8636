#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <optional>

// What the operator types into a search: a part of a name, a date.
namespace SearchText {
// A name matches when it holds the typed text anywhere, whatever the letter case; "*" stands for any
// run of characters and "?" for one. Blanks and underscores count alike: a name that came in through
// a data file's parameter column has its blanks as underscores.
bool NameMatches(const QString& typed, const QString& name);

// A typed date: ISO (2026-12-08), or the locale's short form with a two- or four-digit year
// (08/12/2026 in a day-first locale, 12/8/2026 in a month-first one), or its long form. nullopt when
// the text is none of them; an empty text is no date either.
std::optional<QDate> ParseDate(const QString& typed, const QLocale& locale = QLocale());
// How the search asks for a date in this locale, e.g. "yyyy-mm-dd or dd/mm/yyyy".
QString DateHint(const QLocale& locale = QLocale());
} // namespace SearchText
