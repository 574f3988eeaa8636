#include "instrument/HardwareIO.h"

#include "instrument/ControllerLink.h"
#include "instrument/HardwareTexts.h"
#include "instrument/Motion.h"

#include <QtGlobal>

namespace {
constexpr int StepBits = 2 | 16;
constexpr int DirectionBit = 8;
constexpr int CurrentBit = 1;
constexpr int TickBit = 16;
} // namespace

HardwareIO::HardwareIO(ControllerLink& link, Motion& motion) : m_link(link), m_motion(motion) {}

int HardwareIO::ToggleMaskFor(int mode) {
    switch (mode) {
    case StepOpen:
    case StepClose:
        return StepBits;
    case Direction:
        return DirectionBit;
    case Current:
        return CurrentBit;
    case Tick:
        return TickBit;
    default:
        return 0;
    }
}

int HardwareIO::StepIncrementFor(int mode) {
    return mode == StepOpen ? 1 : mode == StepClose ? -1 : 0;
}

bool HardwareIO::online() const {
    return m_link.ControllerFound() && m_link.isOpen();
}

void HardwareIO::write(int byte) {
    if (online())
        m_link.WriteOutputs(byte);
}

void HardwareIO::Open() {
    m_mode = Off;
    m_outByte = m_motion.BaseOutputByte();
    m_toggleMask = 0;
    m_stepIncrement = 0;
    m_open = true;
    m_lastInputs = online() ? m_link.GetRabbitInPortByte() : 0;
    if (!m_link.ReplyValid())
        m_lastInputs = 0;
    write(m_outByte);
    m_ticksPerToggle = StartTicksPerToggle;
    m_toggleOn = false;
    m_tickCount = 0;
}

void HardwareIO::ChooseMode(int mode) {
    if (!m_open || mode < StepOpen || mode > Off)
        return;
    if (m_toggleOn)
        Toggle();
    m_mode = mode;
    m_outByte = m_motion.BaseOutputByte();
    if (mode == StepClose)
        m_outByte ^= DirectionBit;
    m_toggleMask = ToggleMaskFor(mode);
    m_stepIncrement = StepIncrementFor(mode);
    write(m_outByte);
    m_tickCount = 0;
}

void HardwareIO::SetSlider(int value) {
    m_ticksPerToggle = qMax(1, 7 - value);
}

void HardwareIO::TimerTick() {
    if (!m_open)
        return;
    ++m_tickCount;
    if (m_tickCount < m_ticksPerToggle) {
        if (!online())
            return;
        const int inputs = m_link.GetRabbitInPortByte();
        // A garbled reply is no reading: the levels shown stay as they were.
        if (m_link.ReplyValid() && inputs != m_lastInputs) {
            m_lastInputs = inputs;
            bleep(SoundChange);
        }
        return;
    }
    Toggle();
}

void HardwareIO::Toggle() {
    m_outByte ^= m_toggleMask;
    m_toggleOn = !m_toggleOn;
    m_tickCount = 0;
    write(m_outByte);
    if (m_toggleOn && m_stepIncrement != 0)
        m_motion.setPosition(m_motion.Position() + m_stepIncrement);
    if (m_toggleMask != 0)
        bleep(m_toggleOn ? SoundHigh : SoundLow);
}

void HardwareIO::Close() {
    if (!m_open)
        return;
    // The program's end closes the port before its windows: nothing can be sent then.
    if (!online()) {
        m_open = false;
        return;
    }
    if (m_toggleOn)
        Toggle();
    m_open = false;
    m_outByte = m_motion.BaseOutputByte();
    m_link.WriteOutputs(m_outByte);
    // Steps made by the test modes count in the System Controller's position too.
    m_link.SetControllerPosition(m_motion.Position());
    m_link.GetStatus();
}

void HardwareIO::RestoreLinesNow() {
    if (!m_open || !online())
        return;
    m_open = false;
    m_toggleOn = false;
    m_outByte = m_motion.BaseOutputByte();
    const QByteArray base = ControllerLink::Hex2(m_outByte).toLatin1();
    m_link.WriteRaw("W" + base + base + "\r");
}

QString HardwareIO::InputLevel(int bit) const {
    return (m_lastInputs >> bit & 1) != 0 ? HardwareTexts::High : HardwareTexts::Low;
}

QString HardwareIO::OutputLevel(int bitValue) const {
    return ((m_outByte ^ m_motion.OutputMask()) & bitValue) != 0 ? HardwareTexts::High : HardwareTexts::Low;
}
