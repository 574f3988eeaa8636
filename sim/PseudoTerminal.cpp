#include "sim/PseudoTerminal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

PseudoTerminal::PseudoTerminal(QObject* parent) : QObject(parent) {}

PseudoTerminal::~PseudoTerminal() {
    close();
}

#ifdef Q_OS_UNIX

bool PseudoTerminal::open(const QString& linkPath) {
    close();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        close();
        return false;
    }
    char name[256] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        close();
        return false;
    }
    m_devicePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave >= 0) {
        termios tio{};
        if (::tcgetattr(m_slave, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_slave, TCSANOW, &tio);
        }
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    if (!linkPath.isEmpty()) {
        const QFileInfo existing(linkPath);
        // Only a link (perhaps left by a simulator that was killed) may be replaced, never a file.
        if (existing.exists() && !existing.isSymLink()) {
            m_error = linkPath + QStringLiteral(" exists and is not a link");
            close();
            return false;
        }
        QDir().mkpath(existing.absolutePath());
        if (existing.isSymLink())
            QFile::remove(linkPath);
        if (!QFile::link(m_devicePath, linkPath)) {
            m_error = QStringLiteral("cannot create link ") + linkPath;
            close();
            return false;
        }
        m_linkPath = linkPath;
    }

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::onReadable);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::flush);
    return true;
}

void PseudoTerminal::close() {
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (!m_linkPath.isEmpty()) {
        // Another simulator may have taken the name over since.
        const QFileInfo link(m_linkPath);
        if (link.isSymLink() && link.symLinkTarget() == m_devicePath)
            QFile::remove(m_linkPath);
        m_linkPath.clear();
    }
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
    m_outgoing.clear();
}

void PseudoTerminal::write(const QByteArray& bytes) {
    if (m_master < 0)
        return;
    m_outgoing += bytes;
    flush();
}

void PseudoTerminal::flush() {
    while (!m_outgoing.isEmpty() && m_master >= 0) {
        const ssize_t n = ::write(m_master, m_outgoing.constData(), size_t(m_outgoing.size()));
        if (n <= 0)
            break;
        m_outgoing.remove(0, qsizetype(n));
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_outgoing.isEmpty());
    if (m_outgoing.isEmpty())
        emit bytesWritten();
}

void PseudoTerminal::onReadable() {
    if (drain())
        emit readyRead();
}

bool PseudoTerminal::drain() {
    char buffer[4096];
    bool any = false;
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        m_incoming.append(buffer, qsizetype(n));
        any = true;
    }
    return any;
}

QByteArray PseudoTerminal::readAll() {
    drain();
    QByteArray bytes;
    bytes.swap(m_incoming);
    return bytes;
}

#else

bool PseudoTerminal::open(const QString&) {
    m_error = QStringLiteral("pseudo-terminals are not available on this platform");
    return false;
}
void PseudoTerminal::close() {}
void PseudoTerminal::write(const QByteArray&) {}
void PseudoTerminal::flush() {}
void PseudoTerminal::onReadable() {}
bool PseudoTerminal::drain() {
    return false;
}
QByteArray PseudoTerminal::readAll() {
    return {};
}

#endif
