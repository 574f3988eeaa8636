#pragma once

#include <QString>
#include <functional>
#include <optional>

// Fiber lifetime under a constant service stress by the power law of crack growth (v = A K^n), for
// fiber that passed a proof test and for fiber known from a tensile batch only. No windows, no I/O.
//
// Units throughout: stress MPa, time s, fiber length km, proof breaks per km, stress rate MPa/s; the
// gauge length of a tensile batch in m.
//
// Proof-tested fiber (flaws that survived σp for tp, N_p breaks per km in the proof, Weibull m of the
// low-strength population):
//   F = 1 − exp(−L N_p [(1 + σa^n ts / (σp^n tp))^(m/(n−2)) − 1])
// Tensile batch (Weibull m, σ0 at gauge length L0, tested at stress rate σ̇): a hold at σa for t is
// worth a dynamic strength S = ((n+1) σ̇ σa^n t)^(1/(n+1)), and
//   F = 1 − exp(−(L/L0) (S/σ0)^m).
class LifetimeModel {
public:
    static constexpr double SecondsPerYear = 365.25 * 86400;

    struct Proof {
        double m = 0;           // Weibull modulus of the low-strength (proof) population
        double n = 0;           // fatigue parameter
        double proofStress = 0; // σp, MPa
        double proofTime = 0;   // tp, s
        double breaksPerKm = 0; // N_p
        double lengthKm = 0;    // L
    };
    struct Batch {
        double m = 0;
        double n = 0;
        double sigma0 = 0;       // MPa at the gauge length
        double gaugeLengthM = 0; // L0
        double stressRate = 0;   // MPa/s of the batch's pulls
        double lengthKm = 0;     // L
    };

    // Empty when the inputs can be used; otherwise why not (n ≤ 2, m ≤ 0, a time, length or stress
    // not above 0).
    static QString Check(const Proof& p);
    static QString Check(const Batch& b);
    // Empty for 0 < F < 1.
    static QString CheckProbability(double f);

    // Each answer is empty when the inputs give none (checks failed, or no stress or time can reach
    // the target, e.g. a target below what the proof already leaves at ts = 0).
    static std::optional<double> ProofFailure(const Proof& p, double serviceStress, double serviceTime);
    static std::optional<double> ProofLifetime(const Proof& p, double serviceStress, double f);
    static std::optional<double> ProofAllowedStress(const Proof& p, double f, double serviceTime);
    // The σp that a proof of p.proofTime needs so that σa for ts fails with probability f at most
    // (p.proofStress is not read).
    static std::optional<double> ProofStressNeeded(const Proof& p, double serviceStress, double f,
                                                   double serviceTime);

    static std::optional<double> EquivalentStrength(double n, double stressRate, double stress, double time);
    static std::optional<double> BatchFailure(const Batch& b, double serviceStress, double serviceTime);
    static std::optional<double> BatchLifetime(const Batch& b, double serviceStress, double f);
    static std::optional<double> BatchAllowedStress(const Batch& b, double f, double serviceTime);

    // One answer with the span that the 90 % bounds of n and m give it.
    struct Range {
        std::optional<double> value, low, high;
        bool partial = false; // a corner of the bounds gave no answer (e.g. n's lower bound at or below 2)
        // Orders of magnitude between low and high (0 when not known).
        double decades() const;
    };
    // The bounds that the spans are taken over; a missing bound is the estimate itself.
    struct Bounds {
        std::optional<double> nLow, nHigh, mLow, mHigh;
    };
    // Evaluates answer(m, n) at the estimate and at the 3 × 3 grid of (bound, estimate, bound) of m
    // and n: the answers are monotonic in each, so the extremes lie on that grid.
    static Range Spread(double m, double n, const Bounds& bounds,
                        const std::function<std::optional<double>(double m, double n)>& answer);
    // Read at or above one decade: "spans N orders of magnitude"; empty below.
    static QString SpreadNote(const Range& r);
};
