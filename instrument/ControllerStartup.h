#pragma once

#include <functional>

class ControllerLink;
class LoadCell;
class Motion;
class Operator;
class ProgramEnd;
struct Parameters;

// Start-up with the System Controller, once discovery has decided whether it is there: load
// sampling and calibrations, the drive's initial state, the position the controller kept (or the
// zero window), and the loader's lines switched off.
class ControllerStartup {
public:
    static constexpr int StartupSamples = 128;
    static constexpr int StartupThreshold = 4090;

    ControllerStartup(ControllerLink& link, LoadCell& loadCell, Motion& motion, Parameters& params,
                      Operator& op, ProgramEnd& end);

    // showZeroWindow runs the zero window modally. Ends the program silently when the position is
    // still not synchronised afterwards.
    void Run(bool controllerFound, const std::function<void()>& showZeroWindow);

private:
    ControllerLink& m_link;
    LoadCell& m_loadCell;
    Motion& m_motion;
    Parameters& m_params;
    Operator& m_op;
    ProgramEnd& m_end;
};
