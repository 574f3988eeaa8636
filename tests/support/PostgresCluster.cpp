#include "tests/support/PostgresCluster.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QVersionNumber>

#ifdef Q_OS_UNIX
#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {
const QString AdminRole = QStringLiteral("admin");

int freeLoopbackPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}
} // namespace

PostgresCluster::PostgresCluster() = default;

PostgresCluster::~PostgresCluster() {
    stop();
}

QString PostgresCluster::binDir() {
    const QString fromEnvironment = qEnvironmentVariable("STAVELY_PG_BIN");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    // Debian keeps each major version's server apart; the newest one wins.
    QString best;
    QVersionNumber bestVersion;
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    for (const QString& version : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString bin = root.filePath(version + QStringLiteral("/bin"));
        const QVersionNumber number = QVersionNumber::fromString(version);
        if (QFile::exists(bin + QStringLiteral("/initdb")) && number > bestVersion) {
            best = bin;
            bestVersion = number;
        }
    }
    if (best.isEmpty()) {
        const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
        if (!initdb.isEmpty())
            best = QFileInfo(initdb).absolutePath();
    }
    return best;
}

QStringList PostgresCluster::asUser(const QString& program, const QStringList& args) const {
    if (m_user.isEmpty())
        return QStringList{program} + args;
    // setpriv keeps the parent-death signal across the change of user, so the server goes when the test does.
    return QStringList{QStringLiteral("setpriv"),
                       QStringLiteral("--reuid=") + m_user,
                       QStringLiteral("--regid=") + m_user,
                       QStringLiteral("--clear-groups"),
                       QStringLiteral("--pdeathsig=KILL"),
                       QStringLiteral("--"),
                       program} +
           args;
}

QString PostgresCluster::runAs(const QString& program, const QStringList& args, bool* ok) const {
    const QStringList command = asUser(program, args);
    QProcess process;
    process.setWorkingDirectory(folder());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.first(), command.mid(1));
    const bool done = process.waitForFinished(60000);
    const QString output = QString::fromLocal8Bit(process.readAll());
    *ok = done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return output;
}

bool PostgresCluster::start(QString* why) {
    m_bin = binDir();
    if (m_bin.isEmpty()) {
        *why = QStringLiteral(
            "no PostgreSQL server installed (scripts/install-deps installs Debian's postgresql)");
        return false;
    }
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/pg-XXXXXX"));
    if (!m_dir->isValid()) {
        *why = QStringLiteral("cannot create a temporary folder: ") + m_dir->errorString();
        return false;
    }
#ifdef Q_OS_UNIX
    if (::geteuid() == 0) {
        // The server refuses to run as root: hand the folder to the server's own user, else to nobody.
        for (const char* name : {"postgres", "nobody"}) {
            if (const passwd* user = ::getpwnam(name)) {
                const QByteArray path = QFile::encodeName(folder());
                if (::chown(path.constData(), user->pw_uid, user->pw_gid) != 0)
                    continue;
                m_user = QString::fromLatin1(name);
                break;
            }
        }
        if (m_user.isEmpty()) {
            *why = QStringLiteral(
                "running as root and no unprivileged user (postgres, nobody) to run the server");
            return false;
        }
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) {
            *why = QStringLiteral("running as root and setpriv (util-linux) is missing");
            return false;
        }
    }
#endif
    bool ok = false;
    const QString output =
        runAs(m_bin + QStringLiteral("/initdb"),
              {QStringLiteral("-D"), folder() + QStringLiteral("/data"), QStringLiteral("-U"), AdminRole,
               QStringLiteral("--auth-local=trust"), QStringLiteral("--auth-host=scram-sha-256"),
               QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C"),
               QStringLiteral("--no-sync"), QStringLiteral("--no-instructions")},
              &ok);
    if (!ok) {
        *why = QStringLiteral("initdb failed: ") + output.trimmed();
        return false;
    }
    if (!launch(why))
        return false;
    sql(QStringLiteral("CREATE DATABASE lab"), &ok, QStringLiteral("postgres"));
    if (!ok) {
        *why = QStringLiteral("cannot create the lab database");
        return false;
    }
    return true;
}

bool PostgresCluster::launch(QString* why) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = m_port != 0 && attempt == 0 ? m_port : freeLoopbackPort();
        const QStringList command = asUser(
            m_bin + QStringLiteral("/postgres"),
            {QStringLiteral("-D"), folder() + QStringLiteral("/data"), QStringLiteral("-k"), socketDir(),
             QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(m_port),
             // A throw-away cluster: no durability, small memory, quick start.
             QStringLiteral("-c"), QStringLiteral("fsync=off"), QStringLiteral("-c"),
             QStringLiteral("full_page_writes=off"), QStringLiteral("-c"),
             QStringLiteral("shared_buffers=16MB"), QStringLiteral("-c"),
             QStringLiteral("max_connections=60"), QStringLiteral("-c"),
             QStringLiteral("logging_collector=off")});
        m_server = std::make_unique<QProcess>();
        m_server->setWorkingDirectory(folder());
        m_server->setProcessChannelMode(QProcess::MergedChannels);
        m_server->start(command.first(), command.mid(1));
        QString log;
        const QDeadlineTimer deadline(30000);
        while (!log.contains(QLatin1String("ready to accept connections")) &&
               m_server->state() != QProcess::NotRunning && !deadline.hasExpired()) {
            m_server->waitForReadyRead(int(deadline.remainingTime()));
            log += QString::fromLocal8Bit(m_server->readAll());
        }
        if (log.contains(QLatin1String("ready to accept connections")))
            return true;
        m_server->kill();
        m_server->waitForFinished(5000);
        // Another test may have taken the port between the probe and the start.
        if (!log.contains(QLatin1String("could not bind"))) {
            *why = QStringLiteral("the server did not start: ") + log.trimmed();
            return false;
        }
    }
    *why = QStringLiteral("no free loopback port for the server");
    return false;
}

bool PostgresCluster::stop() {
    if (!m_server || m_server->state() == QProcess::NotRunning)
        return true;
#ifdef Q_OS_UNIX
    // SIGINT is the fast shutdown: clients are cut off, as when a server goes down under them.
    ::kill(pid_t(m_server->processId()), SIGINT);
#else
    m_server->terminate();
#endif
    if (!m_server->waitForFinished(30000)) {
        m_server->kill();
        m_server->waitForFinished(5000);
        return false;
    }
    return true;
}

bool PostgresCluster::restart(QString* why) {
    stop();
    return launch(why);
}

bool PostgresCluster::running() const {
    return m_server && m_server->state() == QProcess::Running;
}

QString PostgresCluster::socketDir() const {
    return folder();
}

QString PostgresCluster::sql(const QString& statements, bool* ok, const QString& database) {
    QProcess psql;
    psql.start(m_bin + QStringLiteral("/psql"),
               {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"),
                QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), socketDir(),
                QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"), AdminRole,
                QStringLiteral("-d"), database, QStringLiteral("-c"), statements});
    const bool done = psql.waitForFinished(60000);
    const bool success = done && psql.exitStatus() == QProcess::NormalExit && psql.exitCode() == 0;
    if (ok)
        *ok = success;
    if (!success)
        qWarning("psql failed: %s", psql.readAllStandardError().constData());
    return QString::fromUtf8(psql.readAllStandardOutput()).trimmed();
}

bool PostgresCluster::createLogin(const QString& role, const QString& password) {
    bool ok = false;
    QString literal = password;
    literal.replace(QLatin1Char('\''), QStringLiteral("''"));
    sql(QStringLiteral("CREATE ROLE \"%1\" LOGIN PASSWORD '%2'").arg(role, literal), &ok);
    return ok;
}

QString PostgresCluster::testerUri(const QString& role, const QString& password) {
    bool granted = false;
    if (!createLogin(role, password))
        return {};
    sql(QStringLiteral("GRANT stavely_tester TO \"%1\"").arg(role), &granted);
    return granted ? uri(role, QStringLiteral("passfile=") + passFile(role, password)) : QString();
}

QString PostgresCluster::uri(const QString& role, const QString& extra) const {
    return QStringLiteral("postgresql://%1@127.0.0.1:%2/lab").arg(role).arg(m_port) +
           (extra.isEmpty() ? QString() : QStringLiteral("?") + extra);
}

QString PostgresCluster::adminUri(const QString& database) const {
    return QStringLiteral("host=%1 port=%2 user=%3 dbname=%4")
        .arg(socketDir())
        .arg(m_port)
        .arg(AdminRole, database);
}

QString PostgresCluster::passFile(const QString& role, const QString& password, const QString& name) const {
    const QString path = folder() + QStringLiteral("/pgpass-") + (name.isEmpty() ? role : name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(QStringLiteral("127.0.0.1:%1:lab:%2:%3\n").arg(m_port).arg(role, password).toUtf8());
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    return path;
}
