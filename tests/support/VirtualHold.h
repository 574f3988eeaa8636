#pragma once

#include "experiments/Fiber.h"
#include "experiments/HoldControl.h"
#include "experiments/StaticRun.h"
#include "params/Parameters.h"
#include "sim/SimInstrument.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/ScriptedOperator.h"

#include <cmath>
#include <functional>
#include <memory>
#include <optional>

// A static hold as the program runs it, exchange by exchange against the simulated instrument on a
// virtual clock: the preload move up to the threshold, then the hold's status polls, as often as the
// program makes them, with the hold's control law deciding the corrections. Each exchange takes its
// 19200-baud wire time on that clock.
class VirtualHold {
public:
    static constexpr double Gain = 51, Intercept = 100; // channel 0 of the simulator's load cell
    static constexpr double PollMs = 300;
    static constexpr int Samples = 64;

    struct Poll {
        double seconds = 0;  // since the hold began
        double measured = 0; // N, from the status reply
        double truth = 0;    // N on the fiber, without the cell's noise
        qint32 position = 0;
        bool broken = false;
    };

    explicit VirtualHold(const SimConfig& config) : m_config(config), sim(config), fiber(params, op) {
        params.GaugeLength = float(config.gaugeMm);
        params.Modulus = config.modulusGpa;
        params.ModulusA = config.modulusA;
        params.CoatingEA = config.coatingEA;
        params.FiberDiameter = config.diameterUm;
        params.MicronsPerStep = config.micronsPerStep;
        fiber.Initialise();
    }

    QByteArray send(const QByteArray& command) {
        const QByteArray reply = sim.receive(command + "\r", nowMs);
        nowMs += m_config.charMs * double(command.size() + 1 + reply.size());
        return reply;
    }
    SimTest::LoadStatus status() { return SimTest::parseLoadStatus(send("L")); }
    double load(const SimTest::LoadStatus& s) const { return (double(s.load) / Samples - Intercept) / Gain; }

    // Pulls at speed (steps/s) until the cell reads `newtons`; false when the move ended otherwise.
    bool preload(double newtons, double speed) {
        send(SimTest::sampling(0, Samples, int(std::lround(newtons * Gain + Intercept))));
        send(SimTest::moveCommand(200000, float(speed), 95, 0));
        for (;;) {
            nowMs += PollMs;
            const SimTest::LoadStatus s = status();
            if (s.status != SimInstrument::Moving)
                return s.status == SimInstrument::Overload;
        }
    }

    // Holds `target` N for `seconds` or until the fiber breaks, calling onPoll at every poll.
    void hold(double target, double seconds, const std::function<void(const Poll&)>& onPoll) {
        send(SimTest::sampling(0, Samples, 4090));
        control.emplace(target, StaticRun::Stiffness(fiber, params, target), 500);
        const double start = nowMs;
        while (nowMs - start < seconds * 1000) {
            nowMs += 1000 * StaticRun::HoldPollPeriod((nowMs - start) / 1000);
            const SimTest::LoadStatus s = status();
            Poll p;
            p.seconds = (nowMs - start) / 1000;
            p.measured = load(s);
            p.truth = sim.load();
            p.position = s.position;
            p.broken = sim.fiber().broken();
            if (onPoll)
                onPoll(p);
            if (p.broken)
                return;
            if (const auto move = control->Step(p.measured, s.position, s.status == SimInstrument::Moving))
                send(SimTest::moveCommand(move->target, float(move->speed), 0, 1));
        }
    }

    SimConfig m_config;
    SimInstrument sim;
    ScriptedOperator op;
    Parameters params;
    Fiber fiber;
    std::optional<HoldControl> control;
    double nowMs = 0;
};
