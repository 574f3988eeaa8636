#pragma once

#include "store/AuditEvent.h"

#include <QByteArray>
#include <QString>
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
} // namespace StoreValues
