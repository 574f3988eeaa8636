#include "app/SimulatedInstrument.h"

#include "base/ProductIdentity.h"
#include "instrument/PortMap.h"
#include "params/SettingsStore.h"
#include "sim/SimInstrument.h"
#include "sim/SimServer.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

namespace {
const QString KeptSection = QStringLiteral("Simulator");
const QString KeptPhysical = QStringLiteral("CapstanSteps");
const QString KeptCounter = QStringLiteral("PositionCounter");
} // namespace

SimulatedInstrument::SimulatedInstrument() = default;

SimulatedInstrument::~SimulatedInstrument() {
    stop();
}

bool SimulatedInstrument::start(SettingsStore& store, QString* error) {
    bool ok = false;
    const int stored =
        store.getText(ProductIdentity::AppTitle, QStringLiteral("COMnum"), QStringLiteral("0")).toInt(&ok);
    m_com = ok && stored >= PortMap::FirstPort && stored <= PortMap::LastPort ? stored : 1;
    store.saveText(ProductIdentity::AppTitle, QStringLiteral("COMnum"), QString::number(m_com));
    store.sync();

    m_folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/stavely-sim-XXXXXX"));
    if (!m_folder->isValid()) {
        if (error)
            *error = QStringLiteral("cannot create a folder for the simulated port");
        return false;
    }
    m_linkPath = m_folder->filePath(QStringLiteral("COM") + QString::number(m_com));

    SimConfig config;
    // Every specimen breaks at its own strength, as real fibers do.
    config.seed = QRandomGenerator::global()->generate();
    m_loadCellSerial = QString::fromLatin1(config.loadCellSerial);
    m_server = std::make_unique<SimServer>(config);
    if (!m_server->startInThread(m_linkPath)) {
        if (error)
            *error = m_server->errorString();
        return false;
    }
    qputenv(qPrintable(PortMap::environmentName(m_com)), QFile::encodeName(m_linkPath));

    bool physicalOk = false, counterOk = false;
    const qint64 physical = store.getText(KeptSection, KeptPhysical, QString()).toLongLong(&physicalOk);
    const int counter = store.getText(KeptSection, KeptCounter, QString()).toInt(&counterOk);
    if (physicalOk && counterOk)
        m_server->update([&](SimInstrument& i) { i.restorePositions(physical, counter); });
    return true;
}

void SimulatedInstrument::keepPosition(SettingsStore& store) const {
    if (!m_server)
        return;
    const SimState state = m_server->state();
    store.saveText(KeptSection, KeptPhysical, QString::number(state.physical));
    store.saveText(KeptSection, KeptCounter, QString::number(state.position));
}

void SimulatedInstrument::removeLink() {
    if (m_folder)
        m_folder->remove();
}

void SimulatedInstrument::stop() {
    if (m_server)
        m_server->stop();
}
