#include "instrument/PortMap.h"
#include "params/SettingsStore.h"
#include "tests/support/TestRegistry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class PortMapTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { qunsetenv("STAVELY_COM2"); }

    void defaultTable() {
#ifdef Q_OS_WIN
        QCOMPARE(PortMap::defaultPath(7), QStringLiteral("COM7"));
#else
        const QStringList expected = {"/dev/ttyS0",   "/dev/ttyS1",   "/dev/ttyS2",   "/dev/ttyS3",
                                      "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB3",
                                      "/dev/ttyACM0", "/dev/ttyACM1", "/dev/ttyACM2", "/dev/ttyACM3",
                                      "/dev/ttyS4",   "/dev/ttyS5",   "/dev/ttyS6",   "/dev/ttyS7"};
        for (int n = 1; n <= 16; ++n)
            QCOMPARE(PortMap::defaultPath(n), expected.at(n - 1));
#endif
        QVERIFY(PortMap::defaultPath(0).isEmpty());
        QVERIFY(PortMap::defaultPath(17).isEmpty());
        QVERIFY(PortMap().devicePath(-3).isEmpty());
        QVERIFY(!PortMap().deviceExists(17));
    }

    void environmentWinsOverSettings() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("settings.ini")));
        const PortMap map(&store);
        QCOMPARE(map.devicePath(2), PortMap::defaultPath(2));
        store.saveText(QStringLiteral("STAVELY"), QStringLiteral("PortCOM2"),
                       QStringLiteral("/tmp/from-settings"));
        QCOMPARE(map.devicePath(2), QStringLiteral("/tmp/from-settings"));
        QCOMPARE(map.devicePath(3), PortMap::defaultPath(3));
        qputenv("STAVELY_COM2", "/tmp/from-environment");
        QCOMPARE(map.devicePath(2), QStringLiteral("/tmp/from-environment"));
        QCOMPARE(PortMap().devicePath(2), QStringLiteral("/tmp/from-environment"));
    }

#ifndef Q_OS_WIN
    void missingDeviceIsAbsent() {
        QTemporaryDir dir;
        const QString device = dir.filePath(QStringLiteral("device"));
        const QString link = dir.filePath(QStringLiteral("COM2"));
        QFile file(device);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(QFile::link(device, link));
        qputenv("STAVELY_COM2", link.toLocal8Bit());
        QVERIFY(PortMap().deviceExists(2));
        QVERIFY(QFile::remove(device)); // the link now dangles
        QVERIFY(!PortMap().deviceExists(2));
        qputenv("STAVELY_COM2", dir.filePath(QStringLiteral("nothing")).toLocal8Bit());
        QVERIFY(!PortMap().deviceExists(2));
    }
#endif
};

STAVELY_TEST(PortMapTest)
#include "PortMapTest.moc"
