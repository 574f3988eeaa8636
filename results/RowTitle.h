#pragma once

#include <QString>
#include <QStringList>

// What a result row is, in one line for the title of its plots and their picture: specimen, sample,
// operator, rate, break stress (a static hold's time to failure) and the break's date in ISO form.
class RowTitle {
public:
    // From the 17 fields of a row (columns 1 to 17); empty when there is no specimen number.
    static QString Text(const QStringList& fields);
    // The value of a note ("operator:", "sample:") in a conditions text, underscores read as
    // blanks; empty when the text has none.
    static QString Note(const QString& conditions, const QString& note);
};
