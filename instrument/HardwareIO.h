#pragma once

#include <QString>
#include <functional>

class ControllerLink;
class Motion;

// What the hardware window does with the System Controller's digital lines: shows the inputs,
// toggles the drive's outputs in one of the test modes and counts the steps a toggle makes.
// The window's timer calls Tick; every byte goes through the link.
class HardwareIO {
public:
    enum Mode { StepOpen = 1, StepClose = 2, Direction = 3, Current = 4, Tick = 5, Off = 6 };
    enum Sound { SoundHigh = 1, SoundLow = 2, SoundChange = 3 };
    static constexpr int StartTicksPerToggle = 4;

    // Input bits of the "R" byte.
    static constexpr int OpenBit = 5, ClosedBit = 4, HaltBit = 1, BreakBit = 6, ContactBit = 7,
                         DisableBit = 3;

    HardwareIO(ControllerLink& link, Motion& motion);

    // Plays one of the three sounds (Bleep).
    void setSoundPlayer(std::function<void(int)> bleep) { m_bleep = std::move(bleep); }

    // Opening: "Off", the drive's start-up byte, the inputs read ("R") and the outputs written ("W").
    void Open();
    // Chooses an output test mode (1 to 6).
    void ChooseMode(int mode);
    // One tick of the window's timer: read the inputs, or toggle every TicksPerToggle ticks.
    void TimerTick();
    // Slider position to ticks per toggle (7 - value), never below 1.
    void SetSlider(int value);
    // Closing: lines back to the off half, the base byte written, the position re-sent and read back.
    // Runs once; later calls do nothing.
    void Close();
    // When the program ends with the window open: the lines back to rest without waiting for a reply.
    void RestoreLinesNow();

    bool isOpen() const { return m_open; }
    int OutByte() const { return m_outByte; }
    int ToggleMask() const { return m_toggleMask; }
    int StepIncrement() const { return m_stepIncrement; }
    bool ToggleOn() const { return m_toggleOn; }
    int LastInputs() const { return m_lastInputs; }
    int TicksPerToggle() const { return m_ticksPerToggle; }
    int mode() const { return m_mode; }

    // "High" or "Low" for an input bit of the last byte read.
    QString InputLevel(int bit) const;
    // "High" or "Low" for an output bit value, relative to the drive's output-line mask.
    QString OutputLevel(int bitValue) const;
    static int ToggleMaskFor(int mode);
    static int StepIncrementFor(int mode);

private:
    // Without the System Controller the window shows and counts, but sends nothing.
    bool online() const;
    void write(int byte);
    void Toggle();
    void bleep(int sound) const {
        if (m_bleep)
            m_bleep(sound);
    }

    ControllerLink& m_link;
    Motion& m_motion;
    std::function<void(int)> m_bleep;
    bool m_open = false;
    int m_mode = Off;
    int m_outByte = 0;
    int m_toggleMask = 0;
    int m_stepIncrement = 0;
    bool m_toggleOn = false;
    int m_lastInputs = 0;
    int m_tickCount = 0;
    int m_ticksPerToggle = StartTicksPerToggle;
};
