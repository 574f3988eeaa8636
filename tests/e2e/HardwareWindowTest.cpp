#include "MotionRig.h"
#include "app/frmInstrumentPanel.h"
#include "instrument/frmHardware.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/TestRegistry.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

// The hardware window's bytes on the simulated System Controller.
class HardwareWindowTest : public QObject {
    Q_OBJECT

    struct Rig : MotionRig {
        QList<int> sounds;
        std::unique_ptr<frmHardware> window;
        bool open() {
            if (!start())
                return false;
            link.setControllerFound(true);
            link.setFirmwareVersion(QStringLiteral("1.20"));
            link.setPositionHandler([this](qint32 p) { motion.setPosition(p); });
            sim.clearCommandLog();
            window = std::make_unique<frmHardware>(link, motion, 3, dir.filePath(QStringLiteral("Sounds")));
            window->tmrIO.setInterval(3600000); // the test ticks by hand
            QObject::connect(window.get(), &frmHardware::bleeped, [this](int n) { sounds << n; });
            window->show();
            return true;
        }
        // The commands since opening, without the input reads.
        QList<QByteArray> writes() const {
            QList<QByteArray> out;
            for (const QByteArray& c : commands())
                if (c != "R")
                    out << c;
            return out;
        }
    };

private slots:
    void openAndCloseWithoutAModeRestoresTheLinesAndThePosition() {
        Rig r;
        QVERIFY(r.open());
        r.motion.setPosition(1234);
        QCOMPARE(r.window->lblRabbit->text(),
                 QStringLiteral("System Controller on COM3\r\nFirmware version 1.20"));
        QVERIFY(r.window->optOutputs[6]->isChecked());
        QVERIFY(r.window->optOutputs[2]->isHidden());
        QVERIFY(!r.window->cmdCancel->isEnabled());
        QCOMPARE(r.window->lblOutputs[1]->text(), QStringLiteral("Step High")); // idle step line
        QCOMPARE(r.window->lblOutputs[3]->text(), QStringLiteral("Low"));
        r.window->tick();
        r.window->tick();
        r.window->cmdOK->click();
        QCOMPARE(r.commands(), (QList<QByteArray>{"R", "W0000", "R", "R", "W0000", "s000004D2", "?"}));
        QCOMPARE(r.motion.Position(), 1234);
        QCOMPARE(r.sim.state().position, 1234);
        QVERIFY(r.sounds.isEmpty());
    }

    void stepOpenTogglesEveryFourthTickAndCountsSteps() {
        Rig r;
        QVERIFY(r.open());
        r.window->optOutputs[1]->click();
        QCOMPARE(r.window->io().TicksPerToggle(), 4);
        for (int i = 0; i < 16; ++i)
            r.window->tick();
        // Two whole cycles: bits 2 and 16 on, off, on, off; one step per "on".
        QCOMPARE(r.writes(), (QList<QByteArray>{"W0000", "W0000", "W1212", "W0000", "W1212", "W0000"}));
        QCOMPARE(r.count("R"), 1 + 12);
        QCOMPARE(r.motion.Position(), 2);
        QCOMPARE(r.sounds, (QList<int>{1, 2, 1, 2}));

        // A faster slider position toggles more often; it never reaches zero ticks.
        r.window->Slider1->setValue(6);
        QCOMPARE(r.window->io().TicksPerToggle(), 1);
        r.window->io().SetSlider(9);
        QCOMPARE(r.window->io().TicksPerToggle(), 1);
        r.window->tick(); // on: a third step
        QCOMPARE(r.window->lblOutputs[1]->text(), QStringLiteral("Step Low"));
        QCOMPARE(r.window->lblOutputs[5]->text(), QStringLiteral("High"));
        QCOMPARE(r.motion.Position(), 3);

        // Closing in the "on" half brings the lines back before the base byte and the position.
        r.sim.clearCommandLog();
        QTest::keyClick(r.window.get(), Qt::Key_Escape);
        QCOMPARE(r.commands(), (QList<QByteArray>{"W0000", "W0000", "s00000003", "?"}));
        QCOMPARE(r.sim.state().outputs[0], quint8(0));
        QCOMPARE(r.sim.state().position, 3);
    }

    void directionAndInputChangesFromTheInstrumentPanel() {
        Rig r;
        QVERIFY(r.open());
        frmInstrumentPanel panel(r.sim);
        r.window->optOutputs[3]->click();
        for (int i = 0; i < 4; ++i)
            r.window->tick();
        QCOMPARE(r.sim.state().outputs[0], quint8(8));
        QCOMPARE(r.motion.Position(), 0); // direction alone makes no step
        r.sounds.clear();

        // Each change of the lines sounds once; an unchanged byte is silent.
        r.window->Slider1->setValue(1); // six ticks per toggle: five reads
        panel.chkContact->setChecked(true);
        panel.chkOpenLimit->setChecked(true);
        r.window->tick();
        QCOMPARE(r.window->lblContact->text(), QStringLiteral("High"));
        QCOMPARE(r.window->lblOpen->text(), QStringLiteral("High"));
        QCOMPARE(r.window->lblHalt->text(), QStringLiteral("Low"));
        r.window->tick();
        panel.chkStopButton->setChecked(true);
        r.window->tick();
        QCOMPARE(r.window->lblHalt->text(), QStringLiteral("High"));
        panel.chkContact->setChecked(false);
        r.window->tick();
        QCOMPARE(r.window->lblContact->text(), QStringLiteral("Low"));
        QCOMPARE(r.sounds, (QList<int>{3, 3, 3}));
        QCOMPARE(r.window->io().LastInputs(), (1 << 1) | (1 << 5));

        // Choosing another mode first brings the lines back from the "on" half.
        r.window->tick(); // 5th read
        r.window->tick(); // toggle: direction off
        r.window->tick();
        r.window->tick();
        r.window->tick();
        r.window->tick();
        r.window->tick();
        r.window->tick(); // direction on
        QCOMPARE(r.sim.state().outputs[0], quint8(8));
        r.sim.clearCommandLog();
        r.window->optOutputs[4]->click();
        QCOMPARE(r.writes(), (QList<QByteArray>{"W0000", "W0000"}));
        r.window->close(); // the close control
        QCOMPARE(r.sim.state().outputs[0], quint8(0));
    }

    void withoutTheSystemControllerNothingIsSent() {
        Rig r;
        QVERIFY(r.start(false)); // discovery chose to continue without it
        frmHardware window(r.link, r.motion, 1, QString());
        window.optOutputs[HardwareIO::StepOpen]->click();
        for (int i = 0; i < 8; ++i)
            window.tick();
        window.done(QDialog::Accepted);
        QVERIFY(r.commands().isEmpty());
        QVERIFY(r.op.prompts.isEmpty());
    }

    void programEndRestoresTheLinesWithoutWaiting() {
        Rig r;
        QVERIFY(r.open());
        r.window->optOutputs[5]->click();
        for (int i = 0; i < 4; ++i)
            r.window->tick();
        QCOMPARE(r.sim.state().outputs[0], quint8(16));
        r.window->restoreLinesNow();
        r.link.closePort();
        r.window.reset(); // the window goes without a word on the closed port
        QTRY_COMPARE(r.sim.state().outputs[0], quint8(0));
        QVERIFY(r.op.prompts.isEmpty());
    }
};

STAVELY_TEST(HardwareWindowTest)
#include "HardwareWindowTest.moc"
