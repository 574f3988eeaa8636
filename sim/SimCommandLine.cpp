#include "sim/SimCommandLine.h"

#include <QCommandLineParser>
#include <cmath>

namespace {

struct NumberReader {
    QCommandLineParser& parser;
    QString& error;

    template <class T> void read(const QString& name, T& target, double low, double high) {
        if (!parser.isSet(name) || !error.isEmpty())
            return;
        bool ok = false;
        const QString text = parser.value(name);
        const double v = text.toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < low || v > high) {
            error = QStringLiteral("--%1: %2 is not a number from %3 to %4")
                        .arg(name, text, QString::number(low, 'g', 17), QString::number(high, 'g', 17));
            return;
        }
        if constexpr (std::is_integral_v<T>) {
            if (v != std::floor(v)) {
                error = QStringLiteral("--%1: %2 is not a whole number").arg(name, text);
                return;
            }
        }
        target = T(v);
    }
};

} // namespace

SimCommandLine SimCommandLine::parse(const QStringList& arguments) {
    SimCommandLine result;
    SimConfig& c = result.config;

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated System Controller on a pseudo-terminal, reachable through a link."));
    parser.addHelpOption();
    parser.addOptions({
        {"link", "Make PATH a link to the simulator's serial device (required).", "PATH"},
        {"seed", "Seed of noise and fiber strengths (default 1).", "N"},
        {"firmware", "Firmware version the \"V\" query reports (default 1.05).", "VERSION"},
        {"instant", "Send replies at once instead of at 19200 baud."},
        {"strength-gpa", "Median breaking strength of the glass (default 5).", "GPA"},
        {"weibull-shape", "Weibull shape of the strengths, 0 for no scatter (default 20).", "M"},
        {"diameter", "Glass diameter (default 125).", "UM"},
        {"gauge-mm", "Gauge length (default 500).", "MM"},
        {"slack", "Travel before a new fiber takes load (default 300).", "STEPS"},
        {"take-up", "Travel over which the load of a new fiber comes in softly (default 200).", "STEPS"},
        {"fatigue-n", "Stress-corrosion exponent; 0 breaks every fiber at its strength (default 20).", "N"},
        {"fatigue-time-scale",
         "Multiply every time to failure by F, e.g. 0.01 for static tests in minutes (default 1).", "F"},
        {"coating-ea", "Coating modulus times area (default 0).", "N"},
        {"no-fiber", "Start with no fiber between the capstans."},
        {"manual-thread", "Do not thread a new fiber when the capstans return after a break."},
        {"stray", "Send stray bytes before every reply."},
        {"stray-echo", "Send stray bytes and the reply's echo letter before every reply."},
        {"stray-stale", "Send stray bytes and the previous reply again before every reply."},
        {"chunks", "Send replies in chunks of 3 characters every 300 ms."},
        {"silence-after", "Stop replying after N commands.", "N"},
        {"bad-hex", "Put a non-hexadecimal digit in the first reply."},
        {"bad-hex-every", "Put a non-hexadecimal digit in every reply."},
        {"lowercase", "Send hexadecimal digits in lower case."},
        {"overload", "End the first move with status 7 (overload)."},
        {"local", "Drive in local control: status 10, moves refused."},
        {"interrupt-at", "Interrupt moves that reach POS (status 12).", "POS"},
        {"vanish-after-ms", "Remove the port once a move has run MS milliseconds.", "MS"},
        {"return-after-ms", "Bring a removed port back after MS milliseconds (a glitch).", "MS"},
    });
    result.helpText = parser.helpText();

    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        result.help = true;
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("unexpected argument ") + parser.positionalArguments().constFirst();
        return result;
    }
    result.link = parser.value(QStringLiteral("link"));
    if (result.link.isEmpty()) {
        result.error = QStringLiteral("--link PATH is required");
        return result;
    }

    NumberReader number{parser, result.error};
    number.read("seed", c.seed, 0, 9007199254740992.0);
    number.read("strength-gpa", c.strengthGpa, 0.001, 100);
    number.read("weibull-shape", c.weibullShape, 0, 1000);
    number.read("diameter", c.diameterUm, 1, 10000);
    number.read("gauge-mm", c.gaugeMm, 1, 10000);
    number.read("slack", c.slackSteps, 0, 1e6);
    number.read("take-up", c.takeUpSteps, 0, 1e6);
    number.read("fatigue-n", c.fatigueN, 0, 1000);
    number.read("fatigue-time-scale", c.fatigueTimeScale, 1e-9, 1e9);
    number.read("coating-ea", c.coatingEA, 0, 1e6);
    number.read("silence-after", c.faults.silenceAfter, 0, 1e9);
    number.read("vanish-after-ms", c.faults.vanishAfterMs, 0, 1e9);
    number.read("return-after-ms", c.faults.returnAfterMs, 0, 1e9);
    if (parser.isSet("interrupt-at")) {
        qint32 at = 0;
        number.read("interrupt-at", at, -2147483648.0, 2147483647.0);
        c.faults.interruptAt = at;
    }
    if (!result.error.isEmpty())
        return result;

    if (parser.isSet("firmware"))
        c.firmwareVersion = parser.value("firmware").toLatin1();
    c.instant = parser.isSet("instant");
    c.fiberPresent = !parser.isSet("no-fiber");
    c.autoThread = !parser.isSet("manual-thread");
    c.faults.stray = parser.isSet("stray") || parser.isSet("stray-echo") || parser.isSet("stray-stale");
    if (parser.isSet("stray-echo"))
        c.faults.strayKind = SimFaults::Stray::EchoLetter;
    if (parser.isSet("stray-stale"))
        c.faults.strayKind = SimFaults::Stray::StaleReply;
    c.faults.chunks = parser.isSet("chunks");
    if (parser.isSet("bad-hex"))
        c.faults.badHex = SimFaults::BadHex::Next;
    if (parser.isSet("bad-hex-every"))
        c.faults.badHex = SimFaults::BadHex::Every;
    c.faults.lowercase = parser.isSet("lowercase");
    c.faults.overload = parser.isSet("overload");
    c.faults.localControl = parser.isSet("local");
    return result;
}
