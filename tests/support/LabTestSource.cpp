#include "tests/support/LabTestSource.h"

#include "store/LabAudit.h"

#include <QJsonArray>
#include <QMutexLocker>
#include <QUuid>

struct LabTestChain::Data {
    QMutex mutex;
    std::vector<LabEvent> events;
    std::vector<LabResult> results; // results[i] added by events[i]
};

namespace {
class MemorySource : public LabSource {
public:
    MemorySource(QString instrument, std::shared_ptr<LabTestChain::Data> data)
        : m_instrument(std::move(instrument)), m_data(std::move(data)) {}
    bool open(QString*) override { return true; }
    QString instrument() override { return m_instrument; }
    qint64 lastSeq() override {
        const QMutexLocker lock(&m_data->mutex);
        return qint64(m_data->events.size());
    }
    bool read(qint64 afterSeq, int limit, std::vector<LabEvent>* events, std::vector<LabResult>* results,
              QString*) override {
        const QMutexLocker lock(&m_data->mutex);
        for (qint64 i = afterSeq; i < qint64(m_data->events.size()) && i < afterSeq + limit; ++i) {
            events->push_back(m_data->events[std::size_t(i)]);
            results->push_back(m_data->results[std::size_t(i)]);
        }
        return true;
    }
    qint64 resultsAfter(qint64 afterSeq) override {
        const QMutexLocker lock(&m_data->mutex);
        return std::max<qint64>(0, qint64(m_data->events.size()) - afterSeq);
    }

private:
    QString m_instrument;
    std::shared_ptr<LabTestChain::Data> m_data;
};
} // namespace

LabTestChain::LabTestChain(const QString& instrument)
    : m_instrument(instrument), m_data(std::make_shared<Data>()) {}

LabResult LabTestChain::add(int row, const QString& sample, const QString& operatorName) {
    LabResult r;
    r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.instrument = m_instrument;
    r.dataFile = QStringLiteral("/data/%1.csv").arg(sample);
    r.rowNumber = row;
    r.sample = sample;
    r.operatorName = operatorName;
    r.testedAt = QDateTime::currentDateTimeUtc();
    r.stressMPa = 4800 + row % 400;
    r.fields = QStringLiteral("%1,61.1,61.1,%2,6.45,60 MPa/s").arg(row).arg(*r.stressMPa);
    // A record of realistic size: a break at 60 MPa/s sampled for 80 s.
    QJsonArray record;
    for (int i = 0; i < 400; ++i)
        record.append(QJsonArray{i * 0.2, i * 0.15});
    LabAudit::SetContent(r, QJsonObject{{QStringLiteral("record"), record}});

    const QMutexLocker lock(&m_data->mutex);
    LabEvent e;
    e.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    e.instrument = m_instrument;
    e.seq = qint64(m_data->events.size()) + 1;
    e.at = r.testedAt;
    e.systemUser = QStringLiteral("lab");
    e.operatorName = operatorName;
    e.what = QStringLiteral("result added");
    e.resultUuid = r.uuid;
    e.dataFile = r.dataFile;
    e.rowNumber = row;
    e.after = r.contentSha256;
    e.canonical = QStringLiteral("%1|%2|%3|%4|%5|%6|")
                      .arg(e.seq)
                      .arg(e.at.toString(Qt::ISODateWithMs), e.what, e.resultUuid, e.before, e.after);
    e.prevHash = m_data->events.empty() ? QString(64, QLatin1Char('0')) : m_data->events.back().hash;
    e.hash = LabAudit::Link(e.prevHash, e.canonical);
    m_data->events.push_back(e);
    m_data->results.push_back(r);
    return r;
}

qint64 LabTestChain::size() const {
    const QMutexLocker lock(&m_data->mutex);
    return qint64(m_data->events.size());
}

std::unique_ptr<LabSource> LabTestChain::source() const {
    return std::make_unique<MemorySource>(m_instrument, m_data);
}
