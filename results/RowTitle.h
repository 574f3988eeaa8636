#pragma once

#include <QString>
#include <QStringList>

// What a result row is, in one line for the title of its plots and their picture: specimen, sample,
// operator, rate, break stress (a static hold's time to failure) and the break's date in ISO form.
class RowTitle {
public:
    // From the 17 fields of a row (columns 1 to 17); empty when there is no specimen number.
    static QString Text(const QStringList& fields);
    // The value of a note ("operator:", "sample:") in a conditions text, as it was typed: underscores
    // read as blanks and escapes as their characters; empty when the text has none.
    static QString Note(const QString& conditions, const QString& note);
    // A typed value as one item of the conditions text, which holds no blank, comma or double
    // quote: blanks become underscores, and a comma, a double quote, an underscore or a percent sign
    // its escape (%2C, %22, %5F, %25), so that Note gives back what was typed.
    static QString NoteItem(const QString& value);
    // Whether the data file shows a value otherwise than typed (a comma or a double quote in it).
    static bool NoteEscaped(const QString& value);
};
