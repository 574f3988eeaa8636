#include "store/LabAudit.h"

#include "store/LabTexts.h"
#include "store/StoreTexts.h"

#include <QHash>

namespace {
LabAudit::ChainReport verifyChain(const QString& instrument, const std::vector<LabEvent>& events,
                                  const std::vector<LabResult>& results) {
    LabAudit::ChainReport report;
    report.instrument = instrument;
    report.results = qint64(results.size());
    auto broken = [&report](const QString& why) {
        report.intact = false;
        report.broken = why;
        return report;
    };
    QHash<QString, const LabResult*> byUuid;
    for (const LabResult& r : results)
        byUuid.insert(r.uuid, &r);
    QHash<QString, bool> covered;
    QByteArray previous;
    qint64 expectedSeq = 1;
    for (const LabEvent& le : events) {
        const AuditEvent& e = le.event;
        if (e.seq != expectedSeq)
            return broken(QStringLiteral("entry %1: missing; the trail goes on with ").arg(expectedSeq) +
                          e.describe());
        QByteArray resultText;
        if (e.kind == StoreTexts::EventAdded) {
            const LabResult* r = byUuid.value(e.resultUuid);
            resultText = r ? r->content : QByteArrayLiteral("missing");
            if (!r)
                return broken(e.describe() + QStringLiteral(": its result is missing"));
            covered.insert(e.resultUuid, true);
        }
        if (AuditEvent::chainHash(previous, e.canonicalText(resultText)) != e.hash)
            return broken(e.describe() + QStringLiteral(": changed, or an entry before it removed or moved"));
        previous = e.hash;
        ++expectedSeq;
        ++report.events;
    }
    for (const LabResult& r : results) {
        if (!covered.contains(r.uuid))
            return broken(QStringLiteral("result %1 (%2 row %3): no entry of the trail added it")
                              .arg(r.uuid, r.dataFile)
                              .arg(r.rowNumber));
        if (!r.matchesContent())
            return broken(
                QStringLiteral("result %1 (%2 row %3): its columns or record differ from its stored values")
                    .arg(r.uuid, r.dataFile)
                    .arg(r.rowNumber));
    }
    return report;
}
} // namespace

std::vector<LabAudit::ChainReport> LabAudit::Verify(LabDatabase& lab, const QString& instrument,
                                                    LabError* error) {
    std::vector<ChainReport> reports;
    const QStringList instruments = instrument.isEmpty() ? lab.instruments(error) : QStringList{instrument};
    if (error->fault != LabFault::None)
        return reports;
    for (const QString& name : instruments) {
        const std::vector<LabEvent> events = lab.events(name, error);
        if (error->fault != LabFault::None)
            return reports;
        LabFilter filter;
        filter.instrument = name;
        const std::vector<LabResult> results = lab.results(filter, error);
        if (error->fault != LabFault::None)
            return reports;
        LabAudit::ChainReport report = verifyChain(name, events, results);
        const std::optional<LabHead> acknowledged = lab.acknowledged(name, error);
        if (!acknowledged)
            return reports;
        if (report.intact && acknowledged->seq > 0) {
            const qint64 end = events.empty() ? 0 : events.back().event.seq;
            if (end < acknowledged->seq) {
                report.intact = false;
                report.broken = LabTexts::ServerCut.arg(acknowledged->seq).arg(end);
            } else if (events[size_t(acknowledged->seq - 1)].event.hash != acknowledged->hash) {
                report.intact = false;
                report.broken = LabTexts::ServerHeadDiffers.arg(acknowledged->seq);
            }
        }
        reports.push_back(report);
    }
    return reports;
}

void LabAudit::CompareHeads(LabDatabase& lab, LabSource& store, std::vector<ChainReport>* reports,
                            LabError* error) {
    const QString instrument = store.instrument();
    ChainReport* report = nullptr;
    for (ChainReport& r : *reports)
        if (r.instrument == instrument)
            report = &r;
    if (!report || !report->intact)
        return;
    const std::optional<LabHead> serverHead = lab.acknowledged(instrument, error);
    if (!serverHead)
        return;
    if (serverHead->seq > 0) {
        const std::optional<QByteArray> mine = store.hashAt(serverHead->seq);
        if (mine && *mine != serverHead->hash) {
            report->intact = false;
            report->broken = LabTexts::StoreLacksServerHead.arg(serverHead->seq);
            return;
        }
    }
    const std::optional<std::pair<qint64, QByteArray>> kept = store.acknowledged();
    if (kept && kept->first > 0) {
        const std::optional<QByteArray> theirs = lab.hashAt(instrument, kept->first, error);
        if (theirs && *theirs != kept->second) {
            report->intact = false;
            report->broken = LabTexts::ServerLacksStoreHead.arg(kept->first);
        }
    }
}

QString LabAudit::Text(const std::vector<ChainReport>& reports) {
    QString out;
    for (const ChainReport& r : reports) {
        out += r.instrument + QStringLiteral(": ");
        out += r.intact
                   ? QStringLiteral("audit trail intact: %1 entries, %2 results").arg(r.events).arg(r.results)
                   : QStringLiteral("audit trail broken at ") + r.broken;
        out += QLatin1Char('\n');
    }
    return out;
}
