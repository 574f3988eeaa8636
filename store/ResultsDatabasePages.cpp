#include "store/ResultsDatabase.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

QString ResultsDatabase::pageDamage() {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    // A page damaged badly enough fails the check itself: that is damage too.
    if (!q.exec(QStringLiteral("PRAGMA integrity_check(10)")))
        return q.lastError().databaseText().isEmpty() ? q.lastError().text() : q.lastError().databaseText();
    QStringList faults;
    while (q.next()) {
        const QString line = q.value(0).toString();
        if (line != QLatin1String("ok"))
            faults << line;
    }
    if (q.lastError().isValid())
        faults << q.lastError().databaseText();
    return faults.join(QStringLiteral("; "));
}

void ResultsDatabase::truncateLog() {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}
