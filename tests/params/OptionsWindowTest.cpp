#include "TableFixture.h"
#include "params/SoundList.h"
#include "params/frmOptions.h"
#include "params/frmPreloadSpeed.h"
#include "tests/support/TestRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

// The options and preload speed windows over a real parameter table.
class OptionsWindowTest : public QObject {
    Q_OBJECT

    struct Rig : TableFixture {
        QString sounds = path(QStringLiteral("Sounds"));
        int played = 0, stopped = 0;
        QList<bool> noisyMarks;

        Rig() { QDir().mkpath(sounds); }
        void addSound(const QString& name) const { writeFile(QStringLiteral("Sounds/") + name, "RIFF"); }
        std::unique_ptr<frmOptions> options() {
            frmOptions::Hooks hooks;
            hooks.PlayBreakSound = [this] { ++played; };
            hooks.StopBreakSound = [this] { ++stopped; };
            hooks.NoisyChanged = [this](bool on) { noisyMarks << on; };
            return std::make_unique<frmOptions>(p, table, sounds, hooks);
        }
    };

private slots:
    void soundListMatchesRegardlessOfCaseAndFallsBackToBeep() {
        Rig r;
        r.addSound(QStringLiteral("Chime.wav"));
        r.addSound(QStringLiteral("bell.WAV"));
        const QStringList entries = SoundList::Entries(r.sounds);
        QCOMPARE(entries, (QStringList{"Beep (default)", "bell.WAV", "Chime.wav"}));
        QCOMPARE(SoundList::Entries(r.path("absent")), QStringList{"Beep (default)"});

        struct Case {
            QString stored;
            int index;
            QString after; // BreakSound once the window has shown its list
        };
        const QList<Case> cases{{"CHIME.WAV", 2, "CHIME.WAV"},
                                {"Beep", 0, "Beep"},
                                {"gone.wav", 0, "Beep"},
                                {"", 0, "Beep"},
                                {"Beep (default)", 0, "Beep"}};
        for (const Case& c : cases) {
            r.p.BreakSound = c.stored;
            auto w = r.options();
            QCOMPARE(w->cmbWaveList->currentIndex(), c.index);
            QCOMPARE(r.p.BreakSound, c.after);
        }
        // Choosing an entry sets BreakSound to its text; the first entry is "Beep".
        auto w = r.options();
        w->cmbWaveList->setCurrentIndex(1);
        QCOMPARE(r.p.BreakSound, QStringLiteral("bell.WAV"));
        w->cmbWaveList->setCurrentIndex(0);
        QCOMPARE(r.p.BreakSound, QStringLiteral("Beep"));

        // A file whose name no settings file can hold is refused when chosen; the list goes back.
        r.addSound(QStringLiteral("ring\ntwice.wav"));
        w = r.options();
        w->cmbWaveList->setCurrentIndex(1);
        r.op.answer(MsgResult::Ok);
        w->cmbWaveList->setCurrentIndex(3);
        QCOMPARE(r.p.BreakSound, QStringLiteral("bell.WAV"));
        QCOMPARE(w->cmbWaveList->currentIndex(), 1);
        QCOMPARE(r.op.last().title, QStringLiteral("BAD VALUE"));
    }

    void controlsAreBoundToTheirParameters() {
        Rig r;
        r.p.MaxStepRate = 3200;
        r.p.Noisy = false;
        r.p.ReverseSense = true;
        r.p.SaveLoadTimePlots = true;
        r.p.SaveLoadTimeData = false;
        auto w = r.options();
        QCOMPARE(w->windowTitle(), QStringLiteral("OPTIONS MENU"));
        QCOMPARE(w->txtMaxStepRate->text(), QStringLiteral("3200"));
        QVERIFY(!w->txtMaxStepRate->isEnabled()); // the System Controller's limit: shown only
        QVERIFY(!w->chkNoisy->isChecked());
        QVERIFY(w->chkReverseSense->isChecked());
        QVERIFY(!w->chkSaveLTData->isChecked());
        QVERIFY(w->chkSaveLTPlots->isChecked());
        QVERIFY(w->txtCleanGap->isHidden() && w->lblGap->isHidden() && w->lblGapUnit->isHidden());
        QVERIFY(w->lblConfig->text().contains(QStringLiteral("configuartion parameters")));
        QCOMPARE(w->chkNoisy->toolTip(),
                 QStringLiteral("Click speaker for each step - useful feedback (Noisy)"));

        w->chkNoisy->click();
        w->chkReverseSense->click();
        w->chkSaveLTData->click();
        w->chkSaveLTPlots->click();
        QVERIFY(r.p.Noisy);
        QVERIFY(!r.p.ReverseSense);
        QVERIFY(r.p.SaveLoadTimeData);
        QVERIFY(!r.p.SaveLoadTimePlots);
        QCOMPARE(r.noisyMarks, QList<bool>{true});

        // Play starts the break sound; closing the window stops its repetition.
        w->cmdPlay->click();
        QCOMPARE(r.played, 1);
        w->cmdDone->click();
        QCOMPARE(r.stopped, 1);
        QVERIFY(r.op.prompts.isEmpty());
    }

    void readingAConfigurationFileRefreshesTheWindow() {
        Rig r;
        r.addSound(QStringLiteral("Chime.wav"));
        auto w = r.options();
        QVERIFY(w->chkNoisy->isChecked());
        r.op.answer(
            r.writeFile("quiet.cfg", "Noisy False\r\nBreakSound chime.wav\r\nSaveLoadTimeData 0\r\n"));
        r.op.answer(MsgResult::Ok);
        w->cmdReadCfg->click();
        QCOMPARE(r.op.prompts[0].file.title, QStringLiteral("OPEN CONFIGURATION FILE"));
        QVERIFY(!w->chkNoisy->isChecked());
        QVERIFY(!w->chkSaveLTData->isChecked());
        QCOMPARE(w->cmbWaveList->currentText(), QStringLiteral("Chime.wav"));

        // Reset to defaults, after the operator agrees with the preview.
        r.op.answer(MsgResult::Yes);
        w->cmdResetCfg->click();
        QVERIFY(w->chkNoisy->isChecked());
        QVERIFY(w->chkSaveLTData->isChecked()); // every break keeps its load/time record by default
        QCOMPARE(w->cmbWaveList->currentIndex(), 0);
    }

    void preloadSpeedModesEnableTheUserSpeed() {
        Rig r;
        r.p.MaxStepRate = 2500;
        r.p.MicronsPerStep = 0.5; // 1250 µm/s at most
        r.p.PreloadUserSpeed = 800;
        r.p.PreloadSpeedMode = 2;
        frmPreloadSpeed w(r.p, r.table);
        QCOMPARE(w.windowTitle(), QStringLiteral("PRELOAD SPEED"));
        QCOMPARE(w.optMode[0]->text(), QStringLiteral("Maximum - 1250 µm/s"));
        QCOMPARE(w.optMode[1]->text(), QStringLiteral("0.3 %/min (nominal) - specified by FOTP-28C"));
        QVERIFY(w.optMode[2]->isChecked());
        QVERIFY(w.txtSpeed->isEnabled());
        QCOMPARE(w.txtSpeed->text(), QStringLiteral("800"));

        for (int mode : {0, 1}) {
            w.optMode[size_t(mode)]->click();
            QCOMPARE(r.p.PreloadSpeedMode, mode);
            QVERIFY(!w.txtSpeed->isEnabled());
            QCOMPARE(w.txtSpeed->text(), QStringLiteral("800"));
        }
        w.optMode[2]->click();
        QVERIFY(w.txtSpeed->isEnabled());
        QCOMPARE(r.p.PreloadUserSpeed, 800.0);

        // A speed above the motor's limit is refused and the one in force comes back.
        w.txtSpeed->setText(QStringLiteral("2000"));
        w.txtSpeed->setModified(true);
        r.op.answer(MsgResult::Ok);
        QVERIFY(!w.validateSpeed());
        QCOMPARE(r.op.last().title, QStringLiteral("BAD VALUE"));
        QCOMPARE(w.txtSpeed->text(), QStringLiteral("800"));
        w.txtSpeed->setText(QStringLiteral("1250"));
        w.txtSpeed->setModified(true);
        w.cmdOK->click(); // closing checks the typed speed too
        QCOMPARE(r.p.PreloadUserSpeed, 1250.0);
        QCOMPARE(w.result(), int(QDialog::Accepted));

        // Whole µm/s, halves to the even number.
        r.p.MaxStepRate = 2501;
        QCOMPARE(frmPreloadSpeed::MaximumCaption(r.p), QStringLiteral("Maximum - 1250 µm/s"));
        r.p.MaxStepRate = 2503;
        QCOMPARE(frmPreloadSpeed::MaximumCaption(r.p), QStringLiteral("Maximum - 1252 µm/s"));
    }
};

STAVELY_TEST(OptionsWindowTest)
#include "OptionsWindowTest.moc"
