#include "base/ProgramFolder.h"
#include "tests/support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString buildFolder() {
    const QString dir = qEnvironmentVariable("STAVELY_BIN_DIR");
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/..") : dir;
}
// The build places a copy of docs/ beside the program.
QString sourceFolder() {
    return buildFolder();
}
QByteArray run(const QString& program, const QStringList& args, int timeoutMs = 300000) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return "FAILED: " + p.readAll();
    return p.readAll();
}
// The pictures the manual shows.
QStringList manualImages() {
    QFile manual(sourceFolder() + QStringLiteral("/docs/STAVELY.html"));
    if (!manual.open(QIODevice::ReadOnly))
        return {};
    const QString html = QString::fromUtf8(manual.readAll());
    QStringList images;
    for (const auto& m : QRegularExpression(QStringLiteral("<img[^>]*src=\"([^\"]+)\"")).globalMatch(html))
        images << m.captured(1);
    return images;
}
} // namespace

// What an installation holds and where the installed program looks for its files.
class PackageTest : public QObject {
    Q_OBJECT
private slots:
    void programFilesAreFoundBesideTheProgramOrInShare() {
        QTemporaryDir dir;
        const QString build = dir.filePath(QStringLiteral("build"));
        const QString bin = dir.filePath(QStringLiteral("usr/bin"));
        const QString share = dir.filePath(QStringLiteral("usr/share/stavely"));
        QVERIFY(QDir().mkpath(build + QStringLiteral("/docs")) && QDir().mkpath(bin));
        QVERIFY(QDir().mkpath(share + QStringLiteral("/Sounds")));
        QCOMPARE(ProgramFolder::choose(build), build);
        QCOMPARE(ProgramFolder::choose(bin), QDir::cleanPath(share));
        QCOMPARE(ProgramFolder::choose(dir.filePath(QStringLiteral("nowhere"))),
                 dir.filePath(QStringLiteral("nowhere")));
    }

    void manualShowsOnlyPicturesThatShip() {
        const QStringList images = manualImages();
        QVERIFY(images.size() >= 5);
        for (const QString& image : images)
            QVERIFY2(QFileInfo::exists(sourceFolder() + QStringLiteral("/docs/") + image), qPrintable(image));
    }

    void debianPackageHoldsTheProgramAndItsFiles() {
        const QString cpack = QStandardPaths::findExecutable(QStringLiteral("cpack"));
        const QString dpkgDeb = QStandardPaths::findExecutable(QStringLiteral("dpkg-deb"));
        const QString config = buildFolder() + QStringLiteral("/CPackConfig.cmake");
        const QString shlibdeps = QStandardPaths::findExecutable(QStringLiteral("dpkg-shlibdeps"));
        if (cpack.isEmpty() || dpkgDeb.isEmpty() || shlibdeps.isEmpty() || !QFileInfo::exists(config))
            QSKIP("cpack, dpkg-deb, dpkg-shlibdeps or the build's package configuration is missing");
        QTemporaryDir out;
        const QByteArray made =
            run(cpack, {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"), config,
                        QStringLiteral("-B"), out.path()});
        QVERIFY2(!made.startsWith("FAILED"), made.constData());
        const QStringList debs = QDir(out.path()).entryList({QStringLiteral("stavely_*.deb")});
        QCOMPARE(debs.size(), 1);
        const QString deb = out.filePath(debs[0]);

        const QString listing = QString::fromUtf8(run(dpkgDeb, {QStringLiteral("-c"), deb}));
        QStringList files;
        for (const QString& line : listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            files << line.section(QLatin1Char(' '), -1);
        QStringList expected{"./usr/bin/stavely",
                             "./usr/bin/stavely-sim",
                             "./usr/share/stavely/docs/STAVELY.html",
                             "./usr/share/stavely/docs/lab-database.sql",
                             "./usr/share/stavely/Sounds/HIGH.WAV",
                             "./usr/share/stavely/Sounds/LOW.WAV",
                             "./usr/share/stavely/Sounds/CHANGE.WAV",
                             "./usr/share/stavely/Sounds/Chime.wav",
                             "./usr/share/stavely/SIM-2041.cal",
                             "./usr/share/applications/stavely.desktop",
                             "./usr/share/doc/stavely/copyright",
                             "./usr/share/icons/hicolor/128x128/apps/stavely.png"};
        for (const QString& image : manualImages())
            expected << QStringLiteral("./usr/share/stavely/docs/") + image;
        for (const QString& file : expected)
            QVERIFY2(files.contains(file), qPrintable(file + QStringLiteral(" missing from\n") + listing));
        for (const QString& file : files)
            QVERIFY2(!file.contains(QStringLiteral("test_")) && !file.endsWith(QStringLiteral(".keep")),
                     qPrintable(file));

        const QString depends =
            QString::fromUtf8(run(dpkgDeb, {QStringLiteral("-f"), deb, QStringLiteral("Depends")}));
        for (const char* package :
             {"libqt6widgets6", "libqt6serialport6", "libqt6charts6", "libqt6multimedia6", "libqt6network6",
              "qt6-qpa-plugins", "libqt6sql6-psql"})
            QVERIFY2(depends.contains(QLatin1String(package)), qPrintable(depends));

        // Unpacked, the program's folder is the share folder, not the build.
        QTemporaryDir root;
        QVERIFY(!run(dpkgDeb, {QStringLiteral("-x"), deb, root.path()}).startsWith("FAILED"));
        const QString share = ProgramFolder::choose(root.filePath(QStringLiteral("usr/bin")));
        QCOMPARE(share, QDir::cleanPath(root.filePath(QStringLiteral("usr/share/stavely"))));
        QVERIFY(QFileInfo::exists(share + QStringLiteral("/docs/STAVELY.html")));
    }
};

STAVELY_TEST(PackageTest)
#include "PackageTest.moc"
