#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <optional>

// Injected faults. Every field can also be changed while the simulator runs.
struct SimFaults {
    enum class BadHex { Off, Next, Every };

    // What the stray bytes before a reply carry besides strayBytes.
    enum class Stray {
        Noise,      // nothing more
        EchoLetter, // the reply's own echo letter, as if the line had doubled it
        StaleReply, // the instrument's previous reply again, whole, as a late one would come
    };

    bool stray = false;                // a few stray bytes before every reply
    QByteArray strayBytes = "~#*";     // never contains an echo letter
    Stray strayKind = Stray::Noise;    // what else comes before the reply
    bool chunks = false;               // replies dribble out in small chunks
    int chunkSize = 3;                 // characters per chunk
    int chunkIntervalMs = 300;         // gap between chunk starts
    int silenceAfter = -1;             // no replies after this many commands (-1: never)
    BadHex badHex = BadHex::Off;       // a non-hexadecimal digit in the next or every reply
    bool lowercase = false;            // hexadecimal fields in lower case
    bool overload = false;             // the move running, or else the next one, ends at once with status 7
    bool localControl = false;         // drive in local control: status 10, moves refused
    std::optional<qint32> interruptAt; // a move that reaches this position waits in status 12
    int vanishAfterMs = -1;            // the port disappears once a move has run this long (-1: never)
    int returnAfterMs = -1;            // stavely-sim brings a vanished port back this much later (-1: never)
};

// Everything that describes one simulated instrument. Positions are in motor steps.
struct SimConfig {
    quint64 seed = 1;
    QByteArray firmwareVersion = "1.05";

    // Stepper and travel, in physical steps (the position counter starts equal to them).
    qint64 closedLimit = -2500;
    qint64 openLimit = 205000;
    double maxStepRate = 20000; // what the drive can follow at most, steps/s

    // Fiber wound between the capstans.
    bool fiberPresent = true;
    bool autoThread = true;   // a broken fiber is replaced once the capstans come back to load it
    double slackSteps = 300;  // travel from threading until the fiber takes load
    double takeUpSteps = 200; // the last turns settle: the load comes in softly over this travel
    double gaugeMm = 500;
    double micronsPerStep = 1;
    double diameterUm = 125; // glass
    double modulusGpa = 72;  // at zero strain
    double modulusA = 3;     // secant modulus E0 * (1 + a * strain)
    double coatingEA = 0;    // N; share of the load carried by the coating
    // Creep of the wound fiber under load: at rest its stretch gives way by this share, reached with
    // this time constant, so a held load relaxes and a static hold must correct it. 0: none.
    double creepShare = 0.005;
    double creepSeconds = 30;
    double strengthGpa = 5;   // median of the Weibull strength distribution
    double weibullShape = 20; // 0: every fiber breaks exactly at the median
    // Stress corrosion: a slower pull breaks at a lower stress, by (rate / reference)^(1 / (n + 1)).
    // The drawn strength is the breaking stress of a pull at the reference rate. 0: no fatigue.
    double fatigueN = 20;
    double fatigueRefRate = 60; // MPa/s
    // Multiplies every time to failure (under a constant load or a slow pull) so that a static test
    // can be tried in minutes: 0.01 makes a held fiber break a hundred times sooner.
    double fatigueTimeScale = 1;

    // Load cell on three A/D channels, 12-bit converter.
    std::array<double, 3> gain{51, 204, 816};       // au per N
    std::array<double, 3> intercept{100, 100, 100}; // au at zero load
    double noiseAu = 2;                             // standard deviation of one sample
    QByteArray loadCellSerial = "SIM-2041";
    double extraLoad = 0; // N, a mass hung on the load cell

    // Serial line: 19200 baud, 11 bits a character.
    bool instant = false;
    double charMs = 11.0 * 1000.0 / 19200.0;

    SimFaults faults;
};
