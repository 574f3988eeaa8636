#include "app/SingleInstance.h"
#include "tests/support/TestRegistry.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocalServer>
#include <QTest>
#include <QUuid>

#ifdef Q_OS_UNIX
#include <QDir>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {
QString uniqueName() {
    return QStringLiteral("stavely-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
}
} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void secondHolderOfTheSameNameIsRefused() {
        const QString name = uniqueName();
        SingleInstance first(name);
        QVERIFY(first.acquire());
        QVERIFY(first.held());
        {
            SingleInstance second(name);
            QVERIFY(!second.acquire());
            QVERIFY(!second.held());
            // Refusing a later instance leaves the first one holding the name.
            SingleInstance third(name);
            QVERIFY(!third.acquire());
        }
        QVERIFY(first.held());
        QVERIFY(!SingleInstance(name).acquire());
    }

    void nameIsFreeAgainAfterTheHolderEnds() {
        const QString name = uniqueName();
        {
            SingleInstance first(name);
            QVERIFY(first.acquire());
        }
        SingleInstance next(name);
        QVERIFY(next.acquire());
        next.release();
        QVERIFY(!next.held());
        QVERIFY(SingleInstance(name).acquire());
    }

    void differentNamesDoNotMeet() {
        SingleInstance a(uniqueName());
        SingleInstance b(uniqueName());
        QVERIFY(a.acquire());
        QVERIFY(b.acquire());
    }

#ifdef Q_OS_UNIX
    // What a crashed instance leaves behind: a socket file nobody listens on.
    void staleNameFromACrashedInstanceIsTakenOver() {
        const QString name = uniqueName();
        const QString path = QDir::tempPath() + QLatin1Char('/') + name;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray encoded = QFile::encodeName(path);
        std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        ::close(fd);
        QVERIFY(QFile::exists(path));

        SingleInstance next(name);
        QVERIFY(next.acquire());
        QVERIFY(next.held());
        QVERIFY(!SingleInstance(name).acquire());
    }
#endif
};

STAVELY_TEST(SingleInstanceTest)
#include "SingleInstanceTest.moc"
