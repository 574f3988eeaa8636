#include "experiments/ServoLoop.h"

#include "base/Operator.h"
#include "base/ProgramEnd.h"
#include "experiments/BreakTexts.h"
#include "experiments/Fiber.h"
#include "instrument/ApTimer.h"
#include "instrument/RunState.h"
#include "params/NumberFormat.h"
#include "params/Parameters.h"

#include <algorithm>
#include <cmath>

ServoLoop::ServoLoop(Parameters& params, Fiber& fiber, RunState& run, Operator& op, ProgramEnd& end)
    : m_params(params), m_fiber(fiber), m_run(run), m_op(op), m_end(end) {
    m_clock = [] { return double(ApTimer::Now()) / double(ApTimer::CounterFrequency()); };
}

double ServoLoop::EquivalentStressRate(const Parameters& p) {
    switch (p.ExptType) {
    case 1:
        return double(p.ExptStressRate);
    case 2:
        return double(p.ExptStrainRate) / 60 / 100 * p.Modulus * 1000;
    case 3:
        return 0;
    default:
        return -1;
    }
}

ServoGains ServoLoop::GainSchedule(double R, double fiberDiameter) {
    ServoGains g; // the base tuning: Kc 2, Pc 1, Kp 1.2, Ki 2.4, Kd 0.15, SI 0.5 s
    const bool thick = fiberDiameter >= 100;
    if (R > 120) {
        g.CF = 1.0;
        g.SI = 0.25;
        g.Kc = thick ? 0.5 : 2;
        g.Pc = 1;
        g.Kp = 0.6 * g.Kc;
        g.Ki = 2 * g.Kp / 1;
        g.Kd = g.Kp / 8;
    } else if (R > 20) {
        g.CF = 1.2;
    } else if (R > 2) {
        g.CF = 1.3;
        g.Kc = thick ? 4 : 2;
        g.Pc = thick ? 2 : 1;
        g.Kp = 0.6 * g.Kc;
        g.Ki = 2 * g.Kp / g.Pc;
        g.Kd = g.Kp * g.Pc / 8;
    } else {
        // Slow pulls: far more proportional and derivative action, little integral.
        g.CF = 1.8;
        g.SI = 1.0;
        g.Kp = 4 * 1.2;
        g.Ki = 2.4 / 16;
        g.Kd = 0.15 * 16;
    }
    return g;
}

double ServoLoop::SpeedFactorOf(double u) {
    double m = std::exp(u * std::log(2.0));
    if (m < MinFactor)
        m = MinFactor;
    if (m > MaxFactor)
        m = MaxFactor;
    return m;
}

QString ServoLoop::HeaderLine(const ServoGains& g) {
    auto n = [](double v) { return FormatNum(v, 4, 2); };
    return QStringLiteral("Kp ") + n(g.Kp) + QStringLiteral("  Ki ") + n(g.Ki) + QStringLiteral("  Kd ") +
           n(g.Kd) + QStringLiteral("  CF ") + n(g.CF) + QStringLiteral("  SI ") + n(g.SI) +
           QStringLiteral("  Kc ") + n(g.Kc) + QStringLiteral("  Pc ") + n(g.Pc);
}

QString ServoLoop::CycleLine(double err, double errMax, double errMin, double m, double p, double i, double d,
                             int count) {
    auto e = [](double v) { return FormatNum(v, 5, 2); };
    auto t = [](double v) { return FormatNum(v, 6, 3); };
    const QString factor = (m < 0 ? QStringLiteral("-") : QStringLiteral("+")) + fixedText(std::abs(m), 3);
    return QStringLiteral("Err ") + e(-err) + QStringLiteral(" (") + e(-errMax) + QStringLiteral(" ") +
           e(-errMin) + QStringLiteral(") ") + factor + QStringLiteral("  P") + t(p) + QStringLiteral("  I") +
           t(i) + QStringLiteral("  D") + t(d) + QStringLiteral("  ") + QString::number(count);
}

void ServoLoop::svoInit() {
    init(true);
}

void ServoLoop::init(bool firstOfRun) {
    if (firstOfRun)
        m_nominalSpeed = m_run.CommandedSpeed;
    double elapsedMs = 0;
    if (m_io.readLoad)
        m_io.readLoad(m_load0, elapsedMs);
    m_fiber.Load2StrainStress(m_load0, m_strain0, m_stress0);
    m_t0 = elapsedMs / 1000;
    if (m_params.ExptType == 0)
        return;

    const double R = EquivalentStressRate(m_params);
    if (R < 0)
        m_end.EndProgram(BreakTexts::BadExptType, BreakTexts::ProgramEndingTitle);
    m_gains = GainSchedule(R, m_params.FiberDiameter);

    // The compliance factor raises the speed the motor starts at, once per run: a new reference point
    // while the load is still low sends nothing to the motor, so the speed it runs at is unchanged.
    if (firstOfRun) {
        m_nominalSpeed = m_gains.CF * m_run.CommandedSpeed;
        m_run.CommandedSpeed = m_nominalSpeed;
    }
    m_params.ComplianceFactor = float(m_gains.CF);

    m_errSum = m_errSum2 = m_err = m_errPrev = m_errPrev2 = 0;
    m_servoCount = 0;
    m_speedFactor = 0;
    m_errMin = 10000;
    m_errMax = -10000;
    m_log.clear();
    m_logLines = 0;
    if (m_io.servoInfo)
        m_io.servoInfo(QString());
    m_header = HeaderLine(m_gains);
    m_deadline = now() + m_gains.SI;
}

void ServoLoop::svoCheck() {
    m_newTarget.reset();
    if (m_params.ExptType == 0 || now() < m_deadline)
        return;
    if (float(m_load0) < m_params.MinServoLoad) {
        init(false);
        m_deadline = now() + m_gains.SI;
        return;
    }
    m_errPrev2 = m_errPrev;
    m_errPrev = m_err;

    const double t = double(m_run.ElapsedMs) / 1000;
    double target = 0;
    switch (m_params.ExptType) {
    case 1: {
        const double sigma = (t - m_t0) * double(m_params.ExptStressRate) + m_stress0;
        target = m_fiber.FiberLoad2Load(m_fiber.Stress2Load(sigma));
        m_err = target - double(m_run.CurrentLoad);
        m_newTarget = target;
        break;
    }
    case 2: {
        const double s = (t - m_t0) * double(m_params.ExptStrainRate) / 60 + m_strain0;
        target = m_fiber.FiberLoad2Load(m_fiber.Stress2Load(m_fiber.Strain2Stress(s)));
        m_err = target - double(m_run.CurrentLoad);
        m_newTarget = target;
        break;
    }
    case 3:
        m_op.msgBox(BreakTexts::StaticNotImplemented, MsgStyle::OkOnly);
        break;
    default:
        m_op.msgBox(BreakTexts::BadCase, MsgStyle::OkOnly);
        break;
    }

    m_errMax = std::max(m_errMax, m_err);
    m_errMin = std::min(m_errMin, m_err);
    // The nominal interval, not the time that really passed.
    const double si = m_gains.SI;
    m_errSum += si * m_err;
    m_errSum2 += si * m_errSum;
    m_errRate = (m_err - m_errPrev) / si;
    m_pTerm = m_gains.Kp * m_err;
    m_iTerm = m_gains.Ki * m_errSum;
    m_dTerm = m_gains.Kd * m_errRate;
    const double m = SpeedFactorOf(m_pTerm + m_iTerm + m_dTerm);
    m_speedFactor = m;
    m_run.CommandedSpeed = m_nominalSpeed * m;
    if (m_io.speedCorrection)
        m_io.speedCorrection(1 / m);
    ++m_servoCount;

    if (m_params.DebugMode) {
        if (m_logLines >= LogLines) {
            const qsizetype end = m_log.indexOf(QStringLiteral("\r\n"));
            m_log.remove(0, end < 0 ? m_log.size() : end + 2);
            --m_logLines;
        }
        m_log += CycleLine(m_err, m_errMax, m_errMin, m, m_pTerm, m_iTerm, m_dTerm, m_servoCount) +
                 QStringLiteral("\r\n");
        ++m_logLines;
        if (m_io.servoInfo)
            m_io.servoInfo(m_log + m_header);
    }
    if (m_servoCount == 10) {
        m_errMin = 10000;
        m_errMax = -10000;
    }
    m_deadline = now() + si;
}
