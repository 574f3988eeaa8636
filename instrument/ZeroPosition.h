#pragma once

class ControllerLink;
class Motion;
class Operator;
class ProgramEnd;
struct Parameters;

// What the zero window's buttons do. Each action returns true when the window is to close.
class ZeroPosition {
public:
    ZeroPosition(Motion& motion, ControllerLink& link, Operator& op, ProgramEnd& end);

    // Homes to the closed limit; closes once the position is zero.
    bool RunToZero();
    // Takes the position the operator types.
    bool SetPosition();
    // Closes only once the position is synchronised; otherwise Retry stays, Cancel ends the program.
    bool Cancel();

    bool ZeroValid() const;

private:
    Motion& m_motion;
    ControllerLink& m_link;
    Operator& m_op;
    ProgramEnd& m_end;
};
