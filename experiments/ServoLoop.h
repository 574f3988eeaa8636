#pragma once

#include <QString>
#include <functional>
#include <optional>

class Fiber;
class Operator;
class ProgramEnd;
struct Parameters;
struct RunState;

// Gains of the servo loop for one equivalent stress rate.
struct ServoGains {
    double CF = 1, SI = 0.5, Kc = 2, Pc = 1, Kp = 1.2, Ki = 2.4, Kd = 0.15;
};

// The PID loop that holds a stress or strain rate: every servo interval it compares the measured
// load with the load the ramp should have reached and scales the capstan speed by m = 2^u.
class ServoLoop {
public:
    static constexpr double MinFactor = 1.0 / 3.0;
    static constexpr double MaxFactor = 3.0;
    static constexpr int LogLines = 50;

    // What the loop needs from the instrument and the main window.
    struct Io {
        // One reading now: load in N and the controller's elapsed time in ms.
        std::function<void(double& load, double& elapsedMs)> readLoad;
        // "v": the factor on the step period (1/m).
        std::function<void(double periodFactor)> speedCorrection;
        // The debug display (txtServoInfo).
        std::function<void(const QString&)> servoInfo;
    };

    ServoLoop(Parameters& params, Fiber& fiber, RunState& run, Operator& op, ProgramEnd& end);

    void setIo(Io io) { m_io = std::move(io); }
    // Seconds on a steady clock for the servo timer; the performance counter by default.
    void setClock(std::function<double()> seconds) { m_clock = std::move(seconds); }

    // Starts the loop for a pull; CommandedSpeed holds the nominal speed. Applies the compliance
    // factor once: the motor is started at the speed this leaves in CommandedSpeed.
    void svoInit();
    // Called at every poll of the pull; acts once per expired servo interval.
    void svoCheck();

    // Gain schedule by equivalent stress rate R (MPa/s) and glass diameter (µm).
    static ServoGains GainSchedule(double R, double fiberDiameter);
    // Equivalent stress rate of the experiment; nullopt-like -1 for a type that has none.
    static double EquivalentStressRate(const Parameters& params);
    // m = 2^u held to [1/3, 3].
    static double SpeedFactorOf(double u);
    // "Kp  1.20  Ki  2.40 ..." and the cycle line of the log.
    static QString HeaderLine(const ServoGains& g);
    static QString CycleLine(double err, double errMax, double errMin, double m, double p, double i, double d,
                             int count);

    // State, read by tests and the debug display.
    const ServoGains& gains() const { return m_gains; }
    double NominalSpeed() const { return m_nominalSpeed; }
    double T0() const { return m_t0; }
    double Load0() const { return m_load0; }
    double Stress0() const { return m_stress0; }
    double Strain0() const { return m_strain0; }
    double Err() const { return m_err; }
    // The target load of a servo cycle run by the last svoCheck (rate modes); none when it ran none.
    std::optional<double> NewTarget() const { return m_newTarget; }
    double ErrSum() const { return m_errSum; }
    double ErrMin() const { return m_errMin; }
    double ErrMax() const { return m_errMax; }
    double PTerm() const { return m_pTerm; }
    double ITerm() const { return m_iTerm; }
    double DTerm() const { return m_dTerm; }
    int ServoCount() const { return m_servoCount; }
    double SpeedFactor() const { return m_speedFactor; }
    const QString& ServoHeader() const { return m_header; }
    const QString& ServoLog() const { return m_log; }

private:
    void init(bool firstOfRun);
    double now() const { return m_clock(); }

    Parameters& m_params;
    Fiber& m_fiber;
    RunState& m_run;
    Operator& m_op;
    ProgramEnd& m_end;
    Io m_io;
    std::function<double()> m_clock;

    ServoGains m_gains;
    double m_nominalSpeed = 0;
    double m_t0 = 0;
    std::optional<double> m_newTarget;
    double m_load0 = 0, m_stress0 = 0, m_strain0 = 0;
    double m_err = 0, m_errPrev = 0, m_errPrev2 = 0;
    double m_errSum = 0, m_errSum2 = 0, m_errRate = 0;
    double m_pTerm = 0, m_iTerm = 0, m_dTerm = 0;
    double m_errMin = 10000, m_errMax = -10000;
    int m_servoCount = 0;
    double m_speedFactor = 0;
    QString m_header;
    QString m_log;
    int m_logLines = 0;
    double m_deadline = 0;
};
