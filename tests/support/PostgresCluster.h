#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A PostgreSQL server of the test run's own: a fresh cluster in a temporary folder, owned and run by an
// unprivileged user (the server refuses to run as root), listening on a Unix socket in that folder and
// on a free loopback port. The superuser "admin" connects through the socket without a password; every
// other role comes through the loopback port with its password, as a tester's program would.
// The server is a child of the test and dies with it; the folder is removed at the end.
class PostgresCluster {
public:
    PostgresCluster();
    ~PostgresCluster();
    PostgresCluster(const PostgresCluster&) = delete;
    PostgresCluster& operator=(const PostgresCluster&) = delete;

    // Creates and starts the cluster; false with the reason (no server installed, no user to run it).
    bool start(QString* why);
    // Fast shutdown (clients are disconnected) and start again on the same folder and port.
    bool stop();
    bool restart(QString* why);
    bool running() const;

    // psql as the superuser on `database`; the output (unaligned, tuples only) or nullopt-like empty
    // with ok false.
    QString sql(const QString& statements, bool* ok = nullptr,
                const QString& database = QStringLiteral("lab"));
    // A role that logs in with a password.
    bool createLogin(const QString& role, const QString& password);
    // A tester's login (in the role stavely_tester) and its URI with a password file; empty on failure.
    QString testerUri(const QString& role, const QString& password);

    int port() const { return m_port; }
    QString socketDir() const;
    QString folder() const { return m_dir ? m_dir->path() : QString(); }
    // A URI for `role` on the lab database through the loopback port.
    QString uri(const QString& role, const QString& extra = QString()) const;
    // A superuser URI through the socket (no password).
    QString adminUri(const QString& database = QStringLiteral("lab")) const;
    // Writes a password file (0600) for `role` and returns its path; `name` tells several apart.
    QString passFile(const QString& role, const QString& password, const QString& name = QString()) const;

    // The server's binaries, or empty.
    static QString binDir();

private:
    bool launch(QString* why);
    QStringList asUser(const QString& program, const QStringList& args) const;
    QString runAs(const QString& program, const QStringList& args, bool* ok) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_server;
    QString m_bin;
    QString m_user; // who runs the server when the test runs as root (else empty)
    int m_port = 0;
};

// Skips the test where no PostgreSQL server is installed; fails it, with the reason, where one is
// installed but cannot be started.
#define STAVELY_START_POSTGRES(cluster)                                                                      \
    do {                                                                                                     \
        QString why_;                                                                                        \
        if (!(cluster).start(&why_)) {                                                                       \
            if (PostgresCluster::binDir().isEmpty())                                                         \
                QSKIP(qPrintable(QStringLiteral("No PostgreSQL server for this test: ") + why_));            \
            QFAIL(qPrintable(QStringLiteral("The test's PostgreSQL server did not start: ") + why_));        \
        }                                                                                                    \
    } while (false)
