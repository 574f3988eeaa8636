// The servo loop against the simulated instrument with its noise and Weibull fibers, on a virtual
// clock so that slow rates finish at once: for each set stress or strain rate, the rate achieved over
// the analysis window and its error. The exchanges take their 19200-baud wire time on that clock,
// and the program polls as the move loop does. Not run by ctest.
//
// Beside the measured rate it shows the fiber's own: the straight-line fit, over the same window, of
// the simulator's exact stress (strain) at the exact instants of the polls. Their gap is the
// measurement's error (load-cell noise, the controller's whole milliseconds); the fiber's own error
// is what the loop really did.
//
// SERVO_SPECIMENS=60 runs more specimens per rate (12 by default); SERVO_DEBUG=1 lists each specimen;
// SERVO_NOISE=0 takes the load-cell noise away (2 A/D units a sample by default), to tell the loop's
// own error from the noise's; SERVO_JITTER=1 wakes each poll up to 1 ms late (uniformly), as a real
// host does: a virtual clock polls at a fixed cadence whose phase against the controller's whole
// milliseconds drifts as a slow sawtooth.

#include "base/ProgramEnd.h"
#include "experiments/BreakAnalysis.h"
#include "experiments/Fiber.h"
#include "experiments/LoadTimeRecorder.h"
#include "experiments/ServoLoop.h"
#include "instrument/ControllerLink.h"
#include "instrument/Motion.h"
#include "instrument/RunState.h"
#include "params/Parameters.h"
#include "results/LineFit.h"
#include "sim/SimFiber.h"
#include "sim/SimInstrument.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/ScriptedOperator.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>

namespace {

class EndAborts : public ProgramEnd {
public:
    [[noreturn]] void EndProgram(const QString& message, const QString&) override {
        std::fprintf(stderr, "program end: %s\n", qPrintable(message));
        std::abort();
    }
};

struct Outcome {
    bool broke = false;
    double achieved = 0;
    double physical = 0; // the fiber's own rate over the same window
    double breakStress = 0;
    int windowPoints = 0;
};

// One break run as the program makes it, exchange by exchange.
class VirtualRun {
public:
    VirtualRun(int exptType, double rate, quint64 seed) {
        SimConfig config;
        config.seed = seed;
        config.instant = false;
        if (std::getenv("SERVO_NOISE"))
            config.noiseAu = std::atof(std::getenv("SERVO_NOISE"));
        m_sim = std::make_unique<SimInstrument>(config);
        p.ExptType = exptType;
        if (exptType == 1)
            p.ExptStressRate = float(rate);
        else
            p.ExptStrainRate = float(rate);
        p.MaxStepRate = 6000;
        p.GaugeLength = float(config.gaugeMm);
        p.Modulus = config.modulusGpa;
        p.ModulusA = config.modulusA;
        p.CoatingEA = config.coatingEA;
        p.FiberDiameter = config.diameterUm;
        m_charMs = config.charMs;
        m_config = config;
        if (std::getenv("SERVO_JITTER"))
            m_jitterMs = std::atof(std::getenv("SERVO_JITTER"));
        m_jitter.seed(std::uint_fast32_t(seed));
        m_recorder.setClock([this] { return m_nowMs / 1000; });
        m_servo.setClock([this] { return m_nowMs / 1000; });
        ServoLoop::Io io;
        io.readLoad = [this](double& load, double& ms) {
            const SimTest::LoadStatus s = poll();
            load = toLoad(s.load);
            ms = s.timeMs;
        };
        io.speedCorrection = [this](double f) { exchange("v" + ControllerLink::FloatHex(f).toLatin1()); };
        m_servo.setIo(io);
    }

    Outcome run() {
        Outcome out;
        sampling(64, 4090);
        const double pull = p.ExptType == 1 ? double(p.ExptStressRate) / p.Modulus * double(p.GaugeLength)
                                            : double(p.ExptStrainRate) / 6 * double(p.GaugeLength);
        const double t5 = double(p.GaugeLength) * 0.05 * 1000 / pull;
        m_run.RecordPeriod = float(t5 / 500);
        m_recorder.LtStart(m_run.RecordPeriod);
        if (p.ExptType == 2) { // a strain-rate run preloads to the servo's minimum
            sampling(64, int(std::lround(51 * double(p.MinServoLoad) + 100)));
            exchange(SimTest::moveCommand(200000, 5000, 95, 0));
            while (pollWait().status == SimInstrument::Moving) {
            }
        }
        if (t5 > 500)
            sampling(256, 4090);
        m_run.CommandedSpeed = pull;
        m_servo.svoInit();
        m_run.PeakLoad = 0;
        m_run.BreakRunActive = 1;
        exchange(SimTest::moveCommand(200000, float(m_run.CommandedSpeed), 8, 1));
        for (;;) {
            const SimTest::LoadStatus s = pollWait();
            m_run.CurrentLoad = float(toLoad(s.load));
            m_run.PeakLoad = float(toLoad(s.peak));
            m_run.ElapsedMs = qint32(s.timeMs);
            if (m_recorder.LtSample(m_run.CurrentLoad, s.position, s.timeMs / 1000.0, m_run.CommandedSpeed))
                m_truth.push_back({s.timeMs, m_pollMs, exactQuantity()});
            m_servo.svoCheck();
            if (Motion::BreakDetected(p.BreakFactor, m_run.PeakLoad, m_run.CurrentLoad, p.MinBreakLoad)) {
                exchange("!!");
                out.broke = true;
                break;
            }
            if (s.status != SimInstrument::Moving)
                return out;
        }
        m_run.BreakRunActive = 0;
        const SimTest::LoadStatus s = poll();
        const QByteArray f = exchange("F");
        const qsizetype at = f.indexOf('F');
        const double peakMs = f.mid(at + 44, 8).toUInt(nullptr, 16);
        const qint32 peakPosition = qint32(f.mid(at + 52, 8).toUInt(nullptr, 16));
        m_run.CurrentLoad = float(toLoad(s.peak));
        m_recorder.setLtNextLoad(m_run.CurrentLoad - 1);
        m_recorder.LtSample(m_run.CurrentLoad, peakPosition, peakMs / 1000, m_run.CommandedSpeed);
        const BreakResult r = m_analysis.Analyse(m_recorder);
        out.achieved = p.ExptType == 1 ? r.StressRate : r.StrainRate;
        out.breakStress = m_fiber.Load2Stress(r.BreakLoad);
        out.windowPoints = r.BreakIndex - r.RateStartIndex + 1;
        out.physical = physicalRate(r, peakMs);
        return out;
    }

private:
    struct Truth {
        quint32 ms;      // as the controller reported it
        double exactMs;  // when the reading was taken
        double quantity; // exact stress (MPa) or strain (%) then
    };

    double exactQuantity() const {
        const double stressGpa = m_sim->glassStressGpa();
        return p.ExptType == 1 ? stressGpa * 1000 : SimFiber::strainAtStress(stressGpa, m_config) * 100;
    }

    // The fit of the exact values at the exact instants of the window's polls. The break reading the
    // controller kept has no exact instant here and is left out.
    double physicalRate(const BreakResult& r, double peakMs) const {
        const int kept = std::min(int(m_truth.size()), r.LtCount - 1);
        if (kept < 1 || r.RateStartIndex < 1)
            return 0;
        std::map<quint32, const Truth*> byMs;
        for (size_t i = m_truth.size() - size_t(kept); i < m_truth.size(); ++i)
            byMs[m_truth[i].ms] = &m_truth[i];
        const double firstMs = std::min(double(byMs.begin()->first), peakMs);
        QList<double> t, y;
        for (int k = r.RateStartIndex; k <= r.BreakIndex; ++k) {
            const auto hit = byMs.find(quint32(std::lround(firstMs + m_recorder.LtTime(k) * 1000)));
            if (hit == byMs.end() || (k == r.BreakIndex && m_recorder.LtTime(k) * 1000 + firstMs == peakMs))
                continue;
            t.append(hit->second->exactMs / 1000);
            y.append(hit->second->quantity);
        }
        const double slope = t.size() >= 2 ? LineFit(t, y).m.value_or(0) : 0;
        return p.ExptType == 1 ? slope : slope * 60;
    }

    QByteArray exchange(const QByteArray& command) {
        m_nowMs += double(command.size() + 1) * m_charMs;
        m_pollMs = m_nowMs;
        const QByteArray reply = m_sim->receive(command + "\r", m_nowMs);
        m_nowMs += double(reply.size()) * m_charMs;
        return reply;
    }
    void sampling(int samples, int threshold) {
        m_samples = samples;
        exchange(SimTest::sampling(0, samples, threshold));
    }
    SimTest::LoadStatus poll() { return SimTest::parseLoadStatus(exchange("L")); }
    // The move loop's wait, then its status exchange.
    SimTest::LoadStatus pollWait() {
        m_nowMs += 1000.0 * double(Motion::PollPeriod(m_run.RecordPeriod));
        if (m_jitterMs > 0)
            m_nowMs += std::uniform_real_distribution<double>(0, m_jitterMs)(m_jitter);
        return poll();
    }
    double toLoad(qint64 sum) const { return (double(sum) / m_samples - 100) / 51; }

    Parameters p;
    ScriptedOperator m_op;
    EndAborts m_end;
    Fiber m_fiber{p, m_op};
    RunState m_run;
    ServoLoop m_servo{p, m_fiber, m_run, m_op, m_end};
    LoadTimeRecorder m_recorder;
    BreakAnalysis m_analysis{p, m_fiber, m_op};
    std::unique_ptr<SimInstrument> m_sim;
    double m_nowMs = 1000;
    double m_charMs = 0;
    int m_samples = 64;
    SimConfig m_config;
    double m_pollMs = 0;
    double m_jitterMs = 0;
    std::mt19937 m_jitter;
    std::vector<Truth> m_truth;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    struct Case {
        int type;
        double rate;
        const char* unit;
    };
    // Each band of the gain schedule at its ends and inside it: 2, 20 and 120 MPa/s are band edges;
    // 1 to 10 %/min is 12 to 120 MPa/s at 72 GPa.
    const Case cases[] = {{1, 1, "MPa/s"},   {1, 1.5, "MPa/s"}, {1, 2, "MPa/s"},   {1, 3, "MPa/s"},
                          {1, 5, "MPa/s"},   {1, 10, "MPa/s"},  {1, 20, "MPa/s"},  {1, 25, "MPa/s"},
                          {1, 40, "MPa/s"},  {1, 60, "MPa/s"},  {1, 90, "MPa/s"},  {1, 120, "MPa/s"},
                          {1, 150, "MPa/s"}, {1, 200, "MPa/s"}, {1, 300, "MPa/s"}, {1, 400, "MPa/s"},
                          {1, 500, "MPa/s"}, {1, 600, "MPa/s"}, {2, 1, "%/min"},   {2, 2, "%/min"},
                          {2, 3, "%/min"},   {2, 5, "%/min"},   {2, 7, "%/min"},   {2, 10, "%/min"}};
    const int Specimens = std::getenv("SERVO_SPECIMENS") ? std::atoi(std::getenv("SERVO_SPECIMENS")) : 12;
    constexpr double WorstAim = 0.1, MeanAim = 0.02; // %
    double worstOfAll = 0, meanOfAll = 0, fiberWorstOfAll = 0, measuredWorstOfAll = 0;
    std::printf("%-14s %11s %11s %9s %9s | %9s %9s %8s | %9s  %s\n", "set rate", "mean", "worst", "mean err",
                "worst err", "fiber mean", "worst", "sd", "meas. err",
                "aim: worst <= 0.1 %, mean within 0.02 %");
    for (const Case& c : cases) {
        double sum = 0, worst = 0, worstError = 0;
        double fiberSum = 0, fiberSquares = 0, fiberWorst = 0, measuredWorst = 0;
        int broke = 0;
        auto percent = [&c](double rate) { return (rate - c.rate) / c.rate * 100; };
        for (int k = 0; k < Specimens; ++k) {
            VirtualRun run(c.type, c.rate, 1000 + 17 * quint64(k));
            const Outcome o = run.run();
            if (!o.broke)
                continue;
            ++broke;
            sum += o.achieved;
            const double error = std::abs(percent(o.achieved));
            const double fiberError = percent(o.physical);
            fiberSum += fiberError;
            fiberSquares += fiberError * fiberError;
            fiberWorst = std::max(fiberWorst, std::abs(fiberError));
            measuredWorst = std::max(measuredWorst, std::abs(o.achieved - o.physical) / c.rate * 100);
            if (std::getenv("SERVO_DEBUG"))
                std::printf("  seed %d achieved %.5f fiber %.5f break %.1f window %d\n", k, o.achieved,
                            o.physical, o.breakStress, o.windowPoints);
            if (error >= worstError) {
                worstError = error;
                worst = o.achieved;
            }
        }
        if (broke == 0) {
            std::printf("%6g %-7s  no break\n", c.rate, c.unit);
            continue;
        }
        const double mean = sum / broke;
        const double meanError = percent(mean);
        const double fiberMean = fiberSum / broke;
        const double fiberSd =
            broke > 1 ? std::sqrt(std::max(0.0, (fiberSquares - broke * fiberMean * fiberMean) / (broke - 1)))
                      : 0;
        worstOfAll = std::max(worstOfAll, worstError);
        meanOfAll = std::max(meanOfAll, std::abs(meanError));
        fiberWorstOfAll = std::max(fiberWorstOfAll, fiberWorst);
        measuredWorstOfAll = std::max(measuredWorstOfAll, measuredWorst);
        std::printf("%6g %-7s %11.4f %11.4f %+8.3f%% %8.3f%% | %+8.3f%% %8.3f%% %7.3f%% | %8.3f%%  %s\n",
                    c.rate, c.unit, mean, worst, meanError, worstError, fiberMean, fiberWorst, fiberSd,
                    measuredWorst,
                    worstError <= WorstAim && std::abs(meanError) <= MeanAim ? "meets" : "falls short");
    }
    std::printf("worst error %.3f %%, largest mean error %.3f %%: %s\n", worstOfAll, meanOfAll,
                worstOfAll <= WorstAim && meanOfAll <= MeanAim ? "meets" : "falls short");
    std::printf("the fiber's own worst error %.3f %%; the measurement's worst error %.3f %%\n",
                fiberWorstOfAll, measuredWorstOfAll);
    return 0;
}
