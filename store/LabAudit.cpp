#include "store/LabAudit.h"

#include <QCryptographicHash>
#include <QHash>
#include <QJsonDocument>
#include <QSet>

namespace {
QString eventName(const LabEvent& e) {
    return QStringLiteral("event %1 (%2, %3)").arg(e.seq).arg(e.at.toString(Qt::ISODate), e.what);
}
} // namespace

QString LabAudit::Link(const QString& previousHash, const QString& canonical) {
    return QString::fromLatin1(
        QCryptographicHash::hash(previousHash.toUtf8() + canonical.toUtf8(), QCryptographicHash::Sha256)
            .toHex());
}

QString LabAudit::ContentDigest(const QByteArray& content) {
    return QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
}

void LabAudit::SetContent(LabResult& r, const QJsonObject& extra) {
    QJsonObject content = extra;
    content.insert(QStringLiteral("uuid"), r.uuid);
    content.insert(QStringLiteral("data_file"), r.dataFile);
    content.insert(QStringLiteral("row_number"), r.rowNumber);
    content.insert(QStringLiteral("sample"), r.sample);
    content.insert(QStringLiteral("operator"), r.operatorName);
    content.insert(QStringLiteral("tested_at"),
                   r.testedAt.isValid() ? r.testedAt.toUTC().toString(Qt::ISODateWithMs) : QString());
    content.insert(QStringLiteral("stress_mpa"), r.stressMPa ? QJsonValue(*r.stressMPa) : QJsonValue());
    content.insert(QStringLiteral("ignored"), r.ignored);
    content.insert(QStringLiteral("fields"), r.fields);
    r.content = QJsonDocument(content).toJson(QJsonDocument::Compact);
    r.contentSha256 = ContentDigest(r.content);
}

bool LabAudit::ColumnsMatch(const LabResult& r) {
    const QJsonObject c = QJsonDocument::fromJson(r.content).object();
    const QJsonValue stress = c.value(QStringLiteral("stress_mpa"));
    const bool sameStress =
        r.stressMPa ? stress.isDouble() && stress.toDouble() == *r.stressMPa : stress.isNull();
    const QString time = r.testedAt.isValid() ? r.testedAt.toUTC().toString(Qt::ISODateWithMs) : QString();
    return sameStress && c.value(QStringLiteral("uuid")).toString() == r.uuid &&
           c.value(QStringLiteral("data_file")).toString() == r.dataFile &&
           c.value(QStringLiteral("row_number")).toInt() == r.rowNumber &&
           c.value(QStringLiteral("sample")).toString() == r.sample &&
           c.value(QStringLiteral("operator")).toString() == r.operatorName &&
           c.value(QStringLiteral("tested_at")).toString() == time &&
           c.value(QStringLiteral("ignored")).toBool() == r.ignored &&
           c.value(QStringLiteral("fields")).toString() == r.fields;
}

std::vector<LabAudit::ChainReport> LabAudit::Verify(LabDatabase& lab, const QString& instrument,
                                                    LabError* error) {
    std::vector<ChainReport> reports;
    const QStringList instruments = instrument.isEmpty() ? lab.instruments(error) : QStringList{instrument};
    if (error->fault != LabFault::None)
        return reports;
    for (const QString& name : instruments) {
        ChainReport report;
        report.instrument = name;
        const std::vector<LabEvent> events = lab.events(name, error);
        if (error->fault != LabFault::None)
            return reports;
        LabFilter filter;
        filter.instrument = name;
        const std::vector<LabResult> results = lab.results(filter, error);
        if (error->fault != LabFault::None)
            return reports;
        report.events = qint64(events.size());
        report.results = qint64(results.size());
        auto breakAt = [&report](const QString& why) {
            if (report.intact) {
                report.intact = false;
                report.broken = why;
            }
        };
        // Which result each "added" event vouches for, by the digest it carries.
        QHash<QString, QString> vouched;
        for (std::size_t i = 0; i < events.size() && report.intact; ++i) {
            const LabEvent& e = events[i];
            const qint64 expected = qint64(i) + 1;
            if (e.seq != expected) {
                breakAt(QStringLiteral("event %1 is missing; the chain goes on with %2")
                            .arg(expected)
                            .arg(eventName(e)));
                break;
            }
            if (i > 0 && e.prevHash != events[i - 1].hash)
                breakAt(eventName(e) + QStringLiteral(": does not follow the event before it"));
            else if (Link(e.prevHash, e.canonical) != e.hash)
                breakAt(eventName(e) + QStringLiteral(": its text does not match its hash"));
            else if (!e.canonical.contains(e.what) || !e.canonical.contains(e.after) ||
                     !e.canonical.contains(e.before))
                breakAt(eventName(e) + QStringLiteral(": its fields do not match its text"));
            if (!e.resultUuid.isEmpty() && !e.after.isEmpty())
                vouched.insert(e.resultUuid, e.after);
        }
        for (const LabResult& r : results) {
            if (!report.intact)
                break;
            const QString digest = ContentDigest(r.content);
            if (digest != r.contentSha256 || !vouched.contains(r.uuid) || vouched.value(r.uuid) != digest ||
                !ColumnsMatch(r))
                breakAt(QStringLiteral("result %1 (%2 row %3): its values do not match its \"added\" event")
                            .arg(r.uuid, r.dataFile)
                            .arg(r.rowNumber));
        }
        reports.push_back(report);
    }
    return reports;
}

QString LabAudit::Text(const std::vector<ChainReport>& reports) {
    QString out;
    for (const ChainReport& r : reports) {
        out += r.instrument + QLatin1Char('\t');
        out += r.intact ? QStringLiteral("intact\t%1 events\t%2 results").arg(r.events).arg(r.results)
                        : QStringLiteral("broken\t") + r.broken;
        out += QLatin1Char('\n');
    }
    return out;
}
