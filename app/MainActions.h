#pragma once

#include <QtGlobal>
#include <functional>

class ControllerLink;
class LoadCell;
class Motion;
class Operator;
struct Parameters;

// What the main window's command buttons and menu entries do. The windows that other parts of the
// program own are reached through hooks; an empty hook does nothing.
class MainActions {
public:
    static constexpr int ButtonSamples = 256; // load sampling before operator moves
    static constexpr qint32 TestTarget = 1000;
    static constexpr double TestSpeed = 5000;
    static constexpr int TestRepeats = 6;
    // Operator moves watch nothing special and report every abnormal ending.
    static constexpr int MoveCheckMask = 0;
    static constexpr int MoveReportMask = 95;

    struct Hooks {
        std::function<void()> BreakRun;         // the tensile break run
        std::function<bool()> FiberLoaded;      // the run left a whole fiber under load
        std::function<void()> Calibrate;        // the load-cell calibration windows
        std::function<void()> Review;           // the load/time plots of the last break
        std::function<void()> HardwareWindow;   // the hardware window, its cancel button reading "Cancel"
        std::function<void()> Calculator;       // the stress / strain / load calculator
        std::function<void()> Options;          // the options window
        std::function<void()> PreloadSpeed;     // the preload speed window
        std::function<void()> ZeroWindow;       // the position synchronisation window
        std::function<void()> DataFileCommand;  // choosing or creating the data file
        std::function<bool()> DataFileAttached; // whether the datasheet has a data file
    };

    MainActions(Parameters& params, Operator& op, ControllerLink& link, LoadCell& loadCell, Motion& motion);

    Hooks& hooks() { return m_hooks; }

    void LoadFiber();
    void Goto();
    void Zero();
    // The wait before the break, the break run and the residual-load note. Returns true when the
    // note was shown (the window then runs its activation steps again).
    bool BreakFiber();
    void Test();
    void Calibrate();
    void Review();
    void HardwareMenu();
    void HardwareButton();
    void Calculator();
    void OptionsMenu();
    void OptionsButton();
    void PreloadSpeed();
    void ToggleNoisy();

    // On activation: with the instrument there and its load cell not calibrated, says so and returns
    // true (the calibration follows).
    bool CalibrationNotice(bool windowVisible);
    // An error event of the System Controller's port.
    void SerialPortError(int error);

    float lastGotoTarget() const { return m_gotoTarget; }

private:
    static void run(const std::function<void()>& hook) {
        if (hook)
            hook();
    }

    Parameters& m_params;
    Operator& m_op;
    ControllerLink& m_link;
    LoadCell& m_loadCell;
    Motion& m_motion;
    Hooks m_hooks;
    float m_gotoTarget = 0;
};
