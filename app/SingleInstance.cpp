#include "app/SingleInstance.h"

#include "base/ProductIdentity.h"

#include <QLocalServer>
#include <QLocalSocket>

#ifdef Q_OS_WIN
#include <QtGlobal>
#else
#include <unistd.h>
#endif

namespace {
constexpr int kAnswerWaitMs = 1000;

QString userId() {
#ifdef Q_OS_WIN
    return qEnvironmentVariable("USERNAME", QStringLiteral("user"));
#else
    return QString::number(::getuid());
#endif
}
} // namespace

SingleInstance::SingleInstance(QString name) : m_name(std::move(name)) {}

SingleInstance::~SingleInstance() {
    release();
}

void SingleInstance::release() {
    if (m_server)
        m_server->close();
    m_server.reset();
    m_held = false;
}

QString SingleInstance::defaultName() {
    return ProductIdentity::Organisation + QLatin1Char('-') + ProductIdentity::AppTitle + QLatin1Char('-') +
           userId();
}

bool SingleInstance::acquire() {
    if (m_held)
        return true;
    {
        QLocalSocket probe;
        probe.connectToServer(m_name);
        if (probe.waitForConnected(kAnswerWaitMs)) {
            probe.abort();
            return false;
        }
    }
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A probe from a later instance only needs the connection to succeed; drop it at once.
    QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(), [server = m_server.get()] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            socket->abort();
            socket->deleteLater();
        }
    });
    if (!m_server->listen(m_name)) {
        // Nobody answered, so the name is a leftover of an instance that did not end cleanly.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name)) {
            // The name cannot be taken at all (no socket folder, permissions): uniqueness cannot be
            // enforced, which must not keep the operator from working.
            m_server.reset();
            return true;
        }
    }
    m_held = true;
    return true;
}
