#include "sim/SimInstrument.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace {

constexpr int MaxLine = 256;
constexpr int MaxLog = 20000;
constexpr qint64 Far = std::numeric_limits<qint64>::max() / 4;

// Parses fixed-width hexadecimal digits of either case.
bool parseHex(const QByteArray& text, qsizetype from, int width, quint32* value) {
    if (from + width > text.size())
        return false;
    quint32 v = 0;
    for (int i = 0; i < width; ++i) {
        const char c = text[from + i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return false;
        v = v << 4 | quint32(d);
    }
    *value = v;
    return true;
}

} // namespace

SimInstrument::SimInstrument(const SimConfig& config)
    : m_config(config), m_noise(config.seed), m_strengths(config.seed * 0x9E3779B97F4A7C15ull + 1) {
    if (m_config.fiberPresent)
        drawNewFiber();
}

void SimInstrument::setConfig(const SimConfig& config) {
    const SimFaults previous = m_config.faults;
    m_config = config;
    m_config.faults = previous; // applied through setFaults so local control takes effect
    setFaults(config.faults);
}

void SimInstrument::setFaults(const SimFaults& faults) {
    const bool wasLocal = m_config.faults.localControl;
    m_config.faults = faults;
    if (faults.overload && moving()) {
        // An overload struck during a move ends it at once, as it ends the next one otherwise.
        m_config.faults.overload = false;
        finish(Overload);
    } else if (faults.localControl && !wasLocal && moving())
        finish(LocalControl);
    else if (faults.localControl && !moving())
        m_status = LocalControl;
    else if (!faults.localControl && m_status == LocalControl)
        m_status = Done;
}

void SimInstrument::threadFiber() {
    drawNewFiber();
    m_config.fiberPresent = true;
}

void SimInstrument::restorePositions(qint64 physical, qint32 counter) {
    if (moving())
        return;
    m_physical = std::clamp(physical, m_config.closedLimit, m_config.openLimit);
    m_offset = qint64(counter) - m_physical;
    if (m_config.fiberPresent)
        drawNewFiber();
}

void SimInstrument::removeFiber() {
    m_fiber.remove();
    m_config.fiberPresent = false;
}

void SimInstrument::drawNewFiber() {
    m_fiber.thread(m_physical, SimFiber::drawStrength(m_strengths.uniform(), m_config), m_config);
    ++m_fibersThreaded;
}

void SimInstrument::setStopKey(bool down) {
    if (down && !m_stopKey && m_status == Moving)
        m_status = Interrupted;
    m_stopKey = down;
}

void SimInstrument::setLimitSwitches(bool closedTripped, bool openTripped) {
    m_closedTripped = closedTripped;
    m_openTripped = openTripped;
}

int SimInstrument::status() const {
    return m_config.faults.localControl ? int(LocalControl) : m_status;
}

double SimInstrument::loadAt(qint64 physical) const {
    return m_fiber.load(physical, m_config) + m_config.extraLoad;
}

double SimInstrument::load() const {
    return loadAt(m_physical);
}

double SimInstrument::glassStressGpa() const {
    const double e = m_fiber.strain(m_physical, m_config);
    return e > 0 ? SimFiber::glassStressGpa(e, m_config) : 0;
}

quint8 SimInstrument::inputs() const {
    quint8 bits = m_inputLines;
    if (m_stopKey)
        bits |= 1 << 1;
    if (m_physical <= m_config.closedLimit || m_closedTripped)
        bits |= 1 << 4;
    if (m_physical >= m_config.openLimit || m_openTripped)
        bits |= 1 << 5;
    return bits;
}

SimState SimInstrument::state() const {
    SimState s;
    s.timeMs = m_now;
    s.position = position();
    s.physical = m_physical;
    s.status = status();
    s.stepRate = stepRate();
    s.load = load();
    s.signal = signal();
    s.channel = m_loadCell.channel();
    s.samples = m_loadCell.samples();
    s.threshold = m_loadCell.threshold();
    s.inputs = inputs();
    s.outputs[0] = m_outputs[0];
    s.outputs[1] = m_outputs[1];
    s.loaderOutputs = m_loaderOutputs;
    s.motorSettings = m_motorSettings;
    s.fiberPresent = m_fiber.present();
    s.fiberBroken = m_fiber.broken();
    s.fiberStrengthGpa = m_fiber.strengthGpa();
    s.fiberDamage = m_fiber.damage();
    s.msToFailure = m_fiber.msToFailure(glassStressGpa(), m_config);
    s.fibersThreaded = m_fibersThreaded;
    s.extraLoad = m_config.extraLoad;
    s.moves = m_moveCount;
    return s;
}

QByteArray SimInstrument::hex(quint64 value, int width) {
    if (width < 16)
        value &= (quint64(1) << (4 * width)) - 1;
    return QByteArray::number(value, 16).toUpper().rightJustified(width, '0');
}

quint32 SimInstrument::floatBits(float value) {
    return std::bit_cast<quint32>(value);
}

// ---- time and motion ----

double SimInstrument::effectiveRate() const {
    const double rate = m_move.rate * m_move.doubling / m_move.periodFactor;
    return std::min(rate, m_config.maxStepRate);
}

void SimInstrument::advanceTo(double nowMs) {
    if (!(nowMs > m_now))
        return;
    while (m_status == Moving && m_now < nowMs) {
        // Sub-steps of 1 ms, but a slow move jumps straight to its next step: nothing changes before.
        const double rate = effectiveRate();
        const double untilStep = rate > 0 ? (1.0 - m_move.accumulator) * 1000.0 / rate : nowMs - m_now;
        const double span = std::max(1.0, untilStep);
        const double next = nowMs - m_now > span ? m_now + span : nowMs;
        m_move.accumulator += rate * (next - m_now) / 1000.0;
        const double whole = std::floor(m_move.accumulator);
        m_move.accumulator -= whole;
        const double spanMs = next - m_now;
        m_now = next;
        stepBy(qint64(std::min(whole, double(Far))));
        m_fiber.creep(m_physical, spanMs, m_config);
        if (m_fiber.intact() && m_fiber.fatigue(glassStressGpa(), spanMs, m_config)) {
            // The last reading before it gives way sees the full breaking load.
            notePeak(m_loadCell.readAverage(load(), m_config, m_noise));
            m_fiber.snap();
            ++m_move.breaksSeen;
        }
        if (m_status == Moving)
            sampleDuringMove();
    }
    // A fiber held under load at rest keeps corroding: it gives way when its damage is used up.
    if (m_now < nowMs && m_fiber.intact()) {
        m_fiber.creep(m_physical, nowMs - m_now, m_config);
        const double stress = glassStressGpa();
        if (m_fiber.msToFailure(stress, m_config) <= nowMs - m_now)
            m_fiber.snap();
        else
            m_fiber.fatigue(stress, nowMs - m_now, m_config);
    }
    m_now = nowMs;
}

// Takes up to `steps` steps toward the target, stopping exactly where a limit, the target, the
// fiber's break or the interrupt position lies.
void SimInstrument::stepBy(qint64 steps) {
    for (;;) {
        if (m_status != Moving)
            return;
        const qint64 target = qint64(m_move.target) - m_offset;
        if (target == m_physical) {
            finish(Done);
            return;
        }
        const int dir = target > m_physical ? 1 : -1;
        m_move.direction = dir;
        const qint64 limit = dir > 0 ? m_config.openLimit : m_config.closedLimit;
        const qint64 toLimit = (limit - m_physical) * dir;
        if (toLimit <= 0 || (dir > 0 ? m_openTripped : m_closedTripped)) {
            finish(HardLimit);
            return;
        }
        if (m_atInterrupt) {
            m_atInterrupt = false;
            m_status = Interrupted;
            return;
        }
        if (steps <= 0)
            return;
        const qint64 toTarget = (target - m_physical) * dir;
        qint64 toBreak = Far;
        if (dir > 0 && m_fiber.intact())
            toBreak = std::max<qint64>(0, m_fiber.limitPosition() - m_physical);
        qint64 toInterrupt = Far;
        if (m_config.faults.interruptAt) {
            const qint64 d = (qint64(*m_config.faults.interruptAt) - m_offset - m_physical) * dir;
            if (d > 0)
                toInterrupt = d;
        }
        const qint64 k = std::min({steps, toTarget, toLimit, toBreak, toInterrupt});
        m_physical += dir * k;
        steps -= k;
        if (k == toBreak && m_fiber.intact()) {
            // The last reading before it gives way sees the full breaking load.
            notePeak(m_loadCell.readAverage(load(), m_config, m_noise));
            m_fiber.snap();
            ++m_move.breaksSeen;
        }
        if (k == toInterrupt && k != toTarget)
            m_atInterrupt = true;
    }
}

void SimInstrument::sampleDuringMove() {
    const double average = m_loadCell.readAverage(load(), m_config, m_noise);
    notePeak(average);
    // The threshold guards a pull whose check mask asks for it (bit 6, as status 7 in the report
    // mask); moving back always unloads the fiber.
    if (m_move.direction > 0 && (m_move.checkMask & ThresholdCheck) != 0 && average >= m_loadCell.threshold())
        finish(Overload);
}

void SimInstrument::notePeak(double average) {
    if (!m_hasPeak || average > m_peakAverage) {
        m_hasPeak = true;
        m_peakAverage = average;
        m_peakMs = m_now;
        m_peakPosition = position();
    }
}

void SimInstrument::startMove(qint32 target, float rate, quint8 checkMask, quint8 breaks) {
    if (m_config.faults.localControl) {
        m_status = LocalControl;
        return;
    }
    ++m_moveCount;
    m_move = Move{};
    m_move.target = target;
    m_move.rate = double(rate);
    m_move.checkMask = checkMask;
    m_move.breaks = breaks;
    m_move.startMs = m_now;
    m_move.direction = qint64(target) - m_offset >= m_physical ? 1 : -1;
    m_hasPeak = false;
    m_peakAverage = 0;
    m_atInterrupt = false;
    m_status = Moving;
    if (m_config.faults.overload) {
        m_config.faults.overload = false;
        finish(Overload);
        return;
    }
    if (!std::isfinite(m_move.rate) || m_move.rate <= 0) {
        finish(Done); // a rate the drive cannot run: nothing moves
        return;
    }
    stepBy(0);
    if (m_status == Moving)
        sampleDuringMove(); // a threshold already reached stops the pull before its first step
}

void SimInstrument::finish(int status) {
    m_move.lastRate = effectiveRate();
    m_move.endMs = m_now;
    m_status = status;
    m_atInterrupt = false;
    // Bringing the capstans back to load a broken fiber threads the next one.
    if (m_config.autoThread && m_fiber.broken() && m_physical <= m_fiber.anchor())
        drawNewFiber();
}

// ---- protocol ----

QByteArray SimInstrument::receive(const QByteArray& bytes, double nowMs) {
    advanceTo(nowMs);
    QByteArray out;
    for (const char c : bytes) {
        if (c == '\n')
            continue;
        if (c != '\r') {
            if (m_line.size() >= MaxLine) {
                m_lineOverflow = true; // garbage without a CR: drop it whole
                m_line.clear();
            }
            m_line.append(c);
            continue;
        }
        const QByteArray line = m_line;
        const bool overflow = m_lineOverflow;
        m_line.clear();
        m_lineOverflow = false;
        if (line.isEmpty() || overflow)
            continue;
        ++m_commandCount;
        m_log.append({m_now, line});
        if (m_log.size() > MaxLog)
            m_log.remove(0, m_log.size() - MaxLog * 9 / 10);
        const QByteArray answer = processLine(line);
        const int silence = m_config.faults.silenceAfter;
        if (silence < 0 || m_commandCount <= silence)
            out += answer;
    }
    return out;
}

QByteArray SimInstrument::processLine(const QByteArray& line) {
    const char letter = line[0];
    const qsizetype n = line.size();
    quint32 a = 0, b = 0, c = 0, d = 0;
    switch (letter) {
    case '?':
        if (n != 1)
            return {};
        return reply('?', hex(quint32(status()), 2) + hex(quint32(position()), 8) + hex(0, 2));
    case 'L':
        if (n != 1)
            return {};
        {
            const double average = m_loadCell.readAverage(load(), m_config, m_noise);
            const qint64 peak = m_hasPeak ? m_loadCell.sumOf(m_peakAverage) : 0;
            return reply('L', hex(quint32(status()), 2) + hex(quint32(position()), 8) +
                                  hex(quint64(m_loadCell.sumOf(average)), 6) + hex(quint64(peak), 6) +
                                  hex(quint64(m_now), 8));
        }
    case 'F':
    case 'A':
        if (n != 1)
            return {};
        return finalData(letter);
    case 'z':
        if (n != 1)
            return {};
        return reply('z', hex(0, 4) + hex(quint32(m_loadCell.samples()), 4));
    case 'R':
        if (n != 1)
            return {};
        return reply('R', hex(inputs(), 2));
    case 'V':
        if (n != 1)
            return {};
        return versionReply();
    case 'l':
        if (n != 14 || !parseHex(line, 1, 1, &a) || !parseHex(line, 2, 4, &b) || !parseHex(line, 6, 4, &c) ||
            !parseHex(line, 10, 4, &d))
            return {};
        m_loadCell.setSampling(int(a), int(b), quint16(c), quint16(d));
        return reply('l', hex(quint32(m_loadCell.channel()), 2));
    case 'W':
        if (n != 5 || !parseHex(line, 1, 2, &a) || !parseHex(line, 3, 2, &b))
            return {};
        m_outputs[0] = quint8(a);
        m_outputs[1] = quint8(b);
        return reply('W', {});
    case 'w':
        if (n != 3 || !parseHex(line, 1, 2, &a))
            return {};
        m_loaderOutputs = quint8(a);
        return reply('w', {});
    case 's':
        if (n == 9 && parseHex(line, 1, 8, &a))
            m_offset = qint64(qint32(a)) - m_physical;
        return {};
    case 'S':
        if (n == 5 &&
            std::all_of(line.begin() + 1, line.end(), [](char ch) { return ch == '0' || ch == '1'; }))
            m_motorSettings = line.mid(1);
        return {};
    case 'M':
        if (n == 21 && parseHex(line, 1, 8, &a) && parseHex(line, 9, 8, &b) && parseHex(line, 17, 2, &c) &&
            parseHex(line, 19, 2, &d))
            startMove(qint32(a), std::bit_cast<float>(b), quint8(c), quint8(d));
        return {};
    case 'X':
        if (n == 1 && moving())
            m_move.doubling *= 2;
        return {};
    case 'v':
        if (n == 9 && parseHex(line, 1, 8, &a) && moving()) {
            const double f = double(std::bit_cast<float>(a));
            if (std::isfinite(f) && f > 0)
                m_move.periodFactor = f;
        }
        return {};
    case '!':
        if (n == 1 && moving())
            finish(Stopped);
        else if (n == 2 && line[1] == '!' && moving())
            finish(BreakStop);
        return {};
    case 'g':
        if (n == 1 && m_status == Interrupted)
            m_status = Moving;
        return {};
    default:
        return {};
    }
}

QByteArray SimInstrument::finalData(char letter) {
    QByteArray fields;
    if (letter == 'F') {
        // Fields after the load: last move's final rate, samples, end time, channel, threshold,
        // peak sum, and the time and position of the peak (the break).
        const double average = m_loadCell.readAverage(load(), m_config, m_noise);
        const bool moved = m_moveCount > 0;
        const double endMs = moving() ? m_now : m_move.endMs;
        const float rate = float(moving() ? effectiveRate() : m_move.lastRate);
        const qint64 peak = m_hasPeak ? m_loadCell.sumOf(m_peakAverage) : 0;
        fields = hex(quint32(std::min(m_move.breaksSeen, 15)), 1) +
                 hex(quint64(m_loadCell.sumOf(average)), 6) + hex(floatBits(rate), 8) +
                 hex(quint32(m_loadCell.samples()), 4) + hex(quint64(moved ? endMs : 0), 8) +
                 hex(quint32(m_loadCell.channel()), 4) + hex(m_loadCell.threshold(), 4) +
                 hex(quint64(peak), 8) + hex(quint64(m_hasPeak ? m_peakMs : m_now), 8) +
                 hex(quint32(m_hasPeak ? m_peakPosition : position()), 8);
    } else {
        // Statistics of one reading taken sample by sample.
        const SimSampleStats stats = m_loadCell.readSamples(load(), m_config, m_noise);
        fields = hex(quint32(m_loadCell.channel()), 1) + hex(quint64(stats.sum), 6) +
                 hex(floatBits(float(stats.deviation)), 8) + hex(quint32(m_loadCell.samples()), 4) +
                 hex(quint64(m_now), 8) + hex(quint32(stats.minimum), 4) + hex(quint32(stats.maximum), 4) +
                 hex(floatBits(float(stats.mean)), 8) + hex(quint64(m_now), 8) + hex(quint32(position()), 8);
    }
    return reply(letter, fields);
}

QByteArray SimInstrument::reply(char letter, QByteArray fields) {
    SimFaults& faults = m_config.faults;
    if (faults.lowercase)
        fields = fields.toLower();
    if (faults.badHex != SimFaults::BadHex::Off && !fields.isEmpty()) {
        fields[fields.size() - 1] = faults.lowercase ? 'g' : 'G';
        if (faults.badHex == SimFaults::BadHex::Next)
            faults.badHex = SimFaults::BadHex::Off;
    }
    QByteArray clean;
    clean += letter;
    clean += fields;
    clean += "\r\n";
    QByteArray out;
    if (faults.stray) {
        out += faults.strayBytes;
        if (faults.strayKind == SimFaults::Stray::EchoLetter)
            out += letter;
        else if (faults.strayKind == SimFaults::Stray::StaleReply)
            out += m_lastReply;
    }
    m_lastReply = clean;
    return out + clean;
}

QByteArray SimInstrument::versionReply() {
    QByteArray out;
    if (m_config.faults.stray)
        out += m_config.faults.strayBytes;
    // The probe waits for a CR at the end of the text.
    out += "System Controller firmware version " + m_config.firmwareVersion + "\r";
    return out;
}
