#include "tests/support/LabTestStore.h"

#include "store/LabStoreSource.h"

#include <QUuid>

LabTestStore::LabTestStore() : LabTestStore(QString()) {}

LabTestStore::LabTestStore(const QString& path)
    : m_path(path.isEmpty() ? m_dir.filePath(QStringLiteral("STAVELY-results.sqlite")) : path) {
    m_db.open(m_path);
    m_db.setWho(QStringLiteral("lab"), QString());
}

QString LabTestStore::dataFile(const QString& sample) const {
    return m_dir.filePath(sample + QStringLiteral(".csv"));
}

bool LabTestStore::add(int row, const QString& sample, const QString& operatorName) {
    StoredResult r;
    r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.dataFile = dataFile(sample);
    r.rowNumber = row;
    const double stress = 4801 + row % 400; // MPa
    const QString time = QStringLiteral("%1:%2:%3")
                             .arg(10 + row / 3600, 2, 10, QLatin1Char('0'))
                             .arg(row / 60 % 60, 2, 10, QLatin1Char('0'))
                             .arg(row % 60, 2, 10, QLatin1Char('0'));
    r.fields = QStringList{QString::number(row),
                           QStringLiteral("61.1"),
                           QStringLiteral("61.1"),
                           QString::number(stress),
                           QStringLiteral("6.45"),
                           QStringLiteral("60 MPa/s"),
                           QStringLiteral("101"),
                           QStringLiteral("1"),
                           QStringLiteral("3.1"),
                           QStringLiteral("0.1"),
                           QStringLiteral("60.1"),
                           QStringLiteral("0.2"),
                           QStringLiteral("12.1"),
                           QStringLiteral("26/12/07"),
                           time,
                           QString(),
                           QStringLiteral("125 500 0 72 3 0.5N/100 26/12/07 10:00:00 30.1mm/1.00")};
    // A break at 60 MPa/s sampled ten times a second: some 800 lines of time and load.
    QString record;
    for (int i = 0; i < 800; ++i)
        record += QStringLiteral("%1\t%2\n").arg(i * 0.1, 0, 'f', 1).arg(i * 0.0765, 0, 'f', 4);
    r.record = record;
    r.context.operatorName = operatorName;
    r.context.sample = sample;
    r.context.calibrationSerial = QStringLiteral("SIM-2041");
    r.context.calibrationSlope = 0.0123;
    r.context.parameters = QStringLiteral("FiberDiameter=125 GaugeLength=500 ExptStressRate=60");
    r.context.programVersion = QStringLiteral("1.05");
    r.context.host = QStringLiteral("rig");
    r.origin = QStringLiteral("test");
    return m_db.addResult(r);
}

std::unique_ptr<LabSource> LabTestStore::source() const {
    return std::make_unique<LabStoreSource>(m_path);
}
