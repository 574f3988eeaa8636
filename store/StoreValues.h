#pragma once

#include "store/AuditEvent.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>

class QSqlQuery;

// How the results store turns values into what it binds and what its chain covers; shared by the
// files that make up ResultsDatabase.
namespace StoreValues {
QString nowUtc();
QString newUuid();
// Bound as text, never as NULL: the trail's columns are NOT NULL and an empty text is a value.
QVariant text(const QString& value);
QVariant numberOrNull(QStringView text);
// A stored value as the chain covers it: numbers in their shortest exact form, nothing as "-".
void addValue(CanonicalText& text, const QVariant& value);
// The nominal rate text "60 MPa/s" as its number and its unit.
std::pair<QVariant, QString> splitRate(const QString& rate);
// The columns of an entry, in the order eventFrom reads them.
extern const QString EventColumns;
AuditEvent eventFrom(const QSqlQuery& q, int first = 0);
// A result's columns (ResultsDatabase::ResultColumns() from `first` on) as the chain covers them.
QByteArray canonicalOf(const QSqlQuery& q, int first);
// The same text from the values as they are bound: a value SQLite stores as NULL counts as nothing.
QByteArray canonicalOf(const QList<QVariant>& values);
// A value SQLite stores as NULL (Qt binds a null text as NULL).
bool storedNull(const QVariant& value);
// The identity of the result a data file line holds.
QString identityOfLine(const QString& line);
// Text as the data file holds it: characters Windows-1252 lacks become "?".
QString asFileHolds(const QString& text);
QStringList asFileHolds(const QStringList& fields);
} // namespace StoreValues
