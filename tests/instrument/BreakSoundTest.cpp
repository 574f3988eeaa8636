#include "instrument/BreakSound.h"
#include "params/Parameters.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct SoundRig {
    QTemporaryDir dir;
    Parameters params;
    ScriptedOperator op;
    BreakSound sound{params, op, dir.filePath(QStringLiteral("Sounds"))};
    QStringList played;

    SoundRig() {
        QDir(dir.path()).mkdir(QStringLiteral("Sounds"));
        sound.setPlayer([this](const QString& path) {
            played.append(QFileInfo(path).fileName());
            return true;
        });
    }
    void addSound(const QString& name, const QByteArray& bytes = "RIFF") {
        QFile file(QDir(sound.soundsFolder()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

} // namespace

class BreakSoundTest : public QObject {
    Q_OBJECT
private slots:
    void beepOrWaveFile() {
        SoundRig rig;
        rig.addSound(QStringLiteral("Glass.wav"));
        rig.sound.PlaySound(); // "Beep" by default
        QCOMPARE(rig.op.beeps, 1);
        QVERIFY(rig.played.isEmpty());

        rig.params.BreakSound = QStringLiteral("Glass.wav");
        rig.sound.PlaySound();
        rig.params.BreakSound = QStringLiteral("GLASS.WAV");
        rig.sound.PlaySound();
        QCOMPARE(rig.played, QStringList({QStringLiteral("Glass.wav"), QStringLiteral("Glass.wav")}));

        // A file that is not there, or outside the folder, calls the operator with the beep instead.
        rig.params.BreakSound = QStringLiteral("Gone.wav");
        rig.sound.PlaySound();
        QFile outside(rig.dir.filePath(QStringLiteral("Outside.wav")));
        QVERIFY(outside.open(QIODevice::WriteOnly));
        outside.close();
        rig.params.BreakSound = QStringLiteral("../Outside.wav");
        rig.sound.PlaySound();
        QCOMPARE(rig.op.beeps, 3);
        QCOMPARE(rig.played.size(), 2);
    }

    void repeatsUntilStopped() {
        SoundRig rig;
        rig.sound.StartBreakSound(); // RepeatSounds 0: once
        QCOMPARE(rig.op.beeps, 1);
        QVERIFY(!rig.sound.tmrSounds.isActive());

        rig.params.RepeatSounds = 1;
        rig.sound.StartBreakSound();
        QCOMPARE(rig.op.beeps, 2);
        QVERIFY(rig.sound.tmrSounds.isActive());
        QCOMPARE(rig.sound.tmrSounds.interval(), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.op.beeps, 3, 1500);
        rig.sound.StopBreakSound();
        QVERIFY(!rig.sound.tmrSounds.isActive());
        QTest::qWait(1200);
        QCOMPARE(rig.op.beeps, 3);
    }

    void realPlayerSurvivesBadFiles() {
        Parameters params;
        ScriptedOperator op;
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("Sounds"));
        BreakSound sound{params, op, dir.filePath(QStringLiteral("Sounds"))};
        QFile bad(dir.filePath(QStringLiteral("Sounds/Broken.wav")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("this is not a wave file");
        bad.close();
        params.BreakSound = QStringLiteral("Broken.wav");
        sound.PlaySound();
        // The sound loads in the background; a file it cannot decode ends in a beep.
        QTRY_COMPARE_WITH_TIMEOUT(op.beeps, 1, 3000);
        sound.PlaySound();
        QCOMPARE(op.beeps, 2);

        // The wave file shipped with the program is one it can play.
        const QString shipped = QFINDTESTDATA("../../data/Sounds/Chime.wav");
        QVERIFY(!shipped.isEmpty());
        QVERIFY(QFile::copy(shipped, dir.filePath(QStringLiteral("Sounds/Chime.wav"))));
        params.BreakSound = QStringLiteral("Chime.wav");
        sound.PlaySound();
        QTest::qWait(500);
        QCOMPARE(op.beeps, 2);
    }
};

STAVELY_TEST(BreakSoundTest)
#include "BreakSoundTest.moc"
