#pragma once

#include "instrument/HardwareIO.h"

#include <QDialog>
#include <QTimer>
#include <array>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class QSoundEffect;

// The hardware window: the System Controller's port and firmware, the input lines live, and the
// drive's output lines toggled in a test mode at the slider's rate. A thin window over HardwareIO.
class frmHardware : public QDialog {
    Q_OBJECT
public:
    static constexpr int TickMs = 100;
    static constexpr int SliderStart = 3; // four ticks per toggle

    frmHardware(ControllerLink& link, Motion& motion, int comNumber, const QString& soundsFolder,
                QWidget* parent = nullptr);
    ~frmHardware() override;

    HardwareIO& io() { return m_io; }
    // Plays sound 1 "HIGH.WAV", 2 "LOW.WAV" or 3 "CHANGE.WAV"; a missing file is silent.
    void Bleep(int n);
    void UpdateOutputStatus();
    void UpdateInputStatus();
    // The timer's tick, also for tests that drive the window tick by tick.
    void tick();
    // When the program ends with the window open.
    void restoreLinesNow() { m_io.RestoreLinesNow(); }

    void done(int result) override;

    QLabel* lblRabbit;
    QGroupBox* frameInputs;
    QLabel* lblOpen;
    QLabel* lblClose;
    QLabel* lblHalt;
    QLabel* lblBreak;
    QLabel* lblContact;
    QLabel* lblDisable;
    QGroupBox* frameOutput;
    std::array<QRadioButton*, 7> optOutputs{}; // 1 to 6
    std::array<QLabel*, 6> lblOutputs{};       // 1, 3, 4 and 5
    QSlider* Slider1;
    QTimer tmrIO;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

signals:
    void bleeped(int n);

protected:
    void changeEvent(QEvent* event) override;

private:
    void chooseMode(int mode);

    HardwareIO m_io;
    std::array<QSoundEffect*, 3> MM1{};
    bool m_closed = false;
};
