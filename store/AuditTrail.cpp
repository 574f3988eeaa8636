#include "store/AuditTrail.h"

#include "results/DataLine.h"
#include "store/ResultsDatabase.h"
#include "store/StoreTexts.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace T = StoreTexts;

namespace {
// Entries read a page at a time: a trail of years stays a few hundred thousand entries.
constexpr int PageSize = 5000;

bool inScope(const AuditEvent& e, AuditTrail::Scope scope, const QString& dataFile) {
    switch (scope) {
    case AuditTrail::Scope::Settings:
        return e.dataFile.isEmpty() && e.rowNumber == 0;
    case AuditTrail::Scope::DataFile:
        // A file saved under a new name is part of the old file's story too.
        return e.dataFile == dataFile || (e.kind == T::EventSavedAs && e.before == dataFile);
    default:
        return true;
    }
}
} // namespace

std::optional<QList<AuditEvent>> AuditTrail::Read(ResultsDatabase& db, Scope scope, const QString& dataFile,
                                                  int row, QString* error) {
    if (scope == Scope::Row) {
        std::optional<QList<AuditEvent>> events = db.history(dataFile, row);
        if (!events)
            *error = db.error();
        return events;
    }
    QList<AuditEvent> events;
    qint64 after = 0;
    for (;;) {
        const std::optional<QList<AuditEvent>> page = db.eventsAfter(after, PageSize);
        if (!page) {
            *error = db.error();
            return std::nullopt;
        }
        for (const AuditEvent& e : *page)
            if (inScope(e, scope, dataFile))
                events.append(e);
        if (page->size() < PageSize)
            break;
        after = page->last().seq;
    }
    return events;
}

QString AuditTrail::Reason(const AuditEvent& e) {
    if (e.kind == T::EventIgnore) {
        // "ignore, slipped in the grip": what follows the word is the reason.
        QString reason = e.after.trimmed().mid(6);
        while (!reason.isEmpty() && QStringLiteral(",:;.-() ").contains(reason.front()))
            reason.remove(0, 1);
        return reason.trimmed();
    }
    if (e.kind == T::EventDeleted) {
        DataLine::Fields fields;
        DataLine::ParseDataLine(e.before.isEmpty() ? e.after : e.before, fields);
        return fields[size_t(DataLine::CommentsColumn)].trimmed();
    }
    return {};
}

QString AuditTrail::Time(const AuditEvent& e) {
    const QDateTime t = QDateTime::fromString(e.utc, Qt::ISODateWithMs);
    return t.isValid() ? t.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) : e.utc;
}

QString AuditTrail::Line(const AuditEvent& e) {
    QString line = e.utc + QLatin1Char('\t') + e.kind + QStringLiteral("\trow ") +
                   QString::number(e.rowNumber) + QStringLiteral("\tuser ") + e.systemUser +
                   QStringLiteral("\toperator ") + e.operatorName;
    if (!e.before.isEmpty() || !e.after.isEmpty())
        line += QStringLiteral("\tbefore \"") + e.before + QStringLiteral("\"\tafter \"") + e.after +
                QLatin1Char('"');
    if (const QString reason = Reason(e); !reason.isEmpty())
        line += QStringLiteral("\treason \"") + reason + QLatin1Char('"');
    return line;
}

QString AuditTrail::FileKey(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}
